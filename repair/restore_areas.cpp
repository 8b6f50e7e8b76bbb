#include "repair/restore_areas.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/file_system.h"

namespace qm {
namespace {

constexpr const char* kWow6432Node = "wow6432node";

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsDotName(const std::string& piece) { return piece == "." || piece == ".."; }

std::vector<std::string> LowerComponents(const char* path) {
    std::vector<std::string> out(1);
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\') out.emplace_back();
        else out.back().push_back(AsciiLower(*p));
    }
    return out;
}

// Stores `piece` (ASCII) in lower case at slot `count` of `components`.
bool PutPiece(const char* begin, std::size_t length, std::vector<std::string>& components, std::size_t& count) {
    if (length == 0) return false;
    if (count == components.size()) components.emplace_back();
    std::string& slot = components[count];
    slot.assign(begin, length);
    for (char& c : slot) c = AsciiLower(c);
    if (IsDotName(slot)) return false;
    ++count;
    return true;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// A name the system takes for a device in every folder: CON, PRN, AUX, NUL,
// COM0-9, LPT0-9 (also with the superscript digits), CONIN$, CONOUT$,
// whatever follows a dot and with blanks before it.
bool IsDeviceName(const std::u16string& component) {
    std::u16string base = component.substr(0, component.find(u'.'));
    while (!base.empty() && base.back() == u' ') base.pop_back();
    for (char16_t& c : base) c = UpperAscii(c);
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" ||
        base == u"CONOUT$")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0)) {
        const char16_t d = base[3];
        return (d >= u'0' && d <= u'9') || d == u'\u00b9' || d == u'\u00b2' || d == u'\u00b3';
    }
    return false;
}

bool OnlyDotsAndBlanks(const std::u16string& component) {
    for (const char16_t c : component)
        if (c != u'.' && c != u' ') return false;
    return true;
}

bool EndsWithLnk(const std::u16string& name) {
    if (name.size() < 4) return false;
    const std::u16string end = name.substr(name.size() - 4);
    return end[0] == u'.' && UpperAscii(end[1]) == u'L' && UpperAscii(end[2]) == u'N' && UpperAscii(end[3]) == u'K';
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

constexpr const char* kOutside = " lies outside the registry areas the program cleans";

}  // namespace

RestoreAreas::RestoreAreas(const RegistryArea* areas, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        Spelling plain{LowerComponents(areas[i].path), areas[i].shape, true};
        // Where the 64-bit view shows the 32-bit view's keys.
        std::size_t at = 0;
        if (plain.components[0] == "hkey_classes_root") at = 1;
        else if (plain.components.size() > 1 && plain.components[0] == "hkey_local_machine" &&
                 plain.components[1] == "software")
            at = 2;
        if (at != 0 && at < plain.components.size()) {
            Spelling wow = plain;
            wow.components.insert(wow.components.begin() + static_cast<std::ptrdiff_t>(at), kWow6432Node);
            wow.bothViews = false;
            spellings_.push_back(std::move(wow));
        }
        spellings_.push_back(std::move(plain));
    }
}

const RestoreAreas& RestoreAreas::Program() {
    static const RestoreAreas areas(kRegistryAreas);
    return areas;
}

void RestoreAreas::Start(RegView view, Candidates& candidates) const {
    candidates.clear();
    for (std::size_t i = 0; i < spellings_.size(); ++i)
        if (spellings_[i].bothViews || view == RegView::k64) candidates.push_back(static_cast<std::uint16_t>(i));
}

void RestoreAreas::Narrow(Candidates& candidates, const std::string& component, std::size_t index) const {
    std::size_t kept = 0;
    for (const std::uint16_t i : candidates) {
        const std::vector<std::string>& c = spellings_[i].components;
        // A path already below an area stays below it.
        if (index >= c.size() || c[index] == component) candidates[kept++] = i;
    }
    candidates.resize(kept);
}

KeyPlace RestoreAreas::PlaceOf(const Candidates& candidates, std::size_t count) const {
    KeyPlace best = KeyPlace::Outside;
    for (const std::uint16_t i : candidates) {
        const Spelling& s = spellings_[i];
        const std::size_t n = s.components.size();
        KeyPlace place;
        if (count < n) place = KeyPlace::Way;
        else if (count == n) place = s.shape == AreaShape::SubKeys ? KeyPlace::TreeTop : KeyPlace::Values;
        // Below a value area too: the backup of a value holds the sub-keys of
        // its key, which Windows reads nothing from (a Run key's sub-key
        // starts no program).
        else place = KeyPlace::Tree;
        best = std::max(best, place);
    }
    return best;
}

KeyPlace RestoreAreas::Place(const std::vector<std::string>& components, std::size_t count, RegView view) const {
    Candidates candidates;
    Start(view, candidates);
    for (std::size_t i = 0; i < count; ++i) Narrow(candidates, components[i], i);
    return PlaceOf(candidates, count);
}

bool AppendKeyPieces(const std::string& name, std::vector<std::string>& components, std::size_t& count) {
    if (name.find('\0') != std::string::npos) return false;
    if (IsAscii(name)) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = name.find('\\', start);
            const std::size_t stop = end == std::string::npos ? name.size() : end;
            if (!PutPiece(name.data() + start, stop - start, components, count)) return false;
            if (end == std::string::npos) return true;
            start = end + 1;
        }
    }
    // In a double-byte code page a backslash byte may be the second half of
    // a character: the registry splits the name as text.
    const std::u16string wide = AnsiToUtf16(name);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = wide.find(u'\\', start);
        const std::size_t stop = end == std::u16string::npos ? wide.size() : end;
        const std::u16string piece = wide.substr(start, stop - start);
        const std::string text = Utf16ToUtf8(piece);
        if (!PutPiece(text.data(), text.size(), components, count)) return false;
        if (end == std::u16string::npos) return true;
        start = end + 1;
    }
}

bool IsShellLink(const std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t kHeader[20] = {0x4C, 0x00, 0x00, 0x00,                          // header size
                                             0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,  // class
                                             0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    return bytes.size() >= 0x4C && std::equal(std::begin(kHeader), std::end(kHeader), bytes.begin());
}

std::string ShortcutPathProblem(const std::string& path, IFileSystem* fs) {
    if (path.find('\0') != std::string::npos) return "has a zero character in its path";
    const std::u16string wide = AnsiToUtf16(path);
    if (wide.size() >= 2 && (wide[0] == u'\\' || wide[0] == u'/') && (wide[1] == u'\\' || wide[1] == u'/'))
        return "is on a network share or a device, not on a local drive";
    if (wide.size() < 3 || !IsAsciiLetter(wide[0]) || wide[1] != u':' || wide[2] != u'\\')
        return "is not a full path on a local drive (X:\\...)";
    std::size_t nameStart = wide.rfind(u'\\') + 1;
    if (!EndsWithLnk(wide.substr(nameStart))) return "is not a shortcut (.lnk)";
    // A second separator, and the name of a file's other data stream (the
    // characters a file name cannot hold otherwise only make the write fail).
    for (std::size_t i = 3; i < wide.size(); ++i)
        if (wide[i] == u'/' || wide[i] == u':')
            return "has the character '" + std::string(1, static_cast<char>(wide[i])) + "' in its path";
    std::size_t start = 3;
    for (;;) {
        const std::size_t end = wide.find(u'\\', start);
        const std::u16string component =
            wide.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        if (component.empty()) return "has an empty folder name in its path";
        if (OnlyDotsAndBlanks(component)) return "has \"" + Utf16ToUtf8(component) + "\" in its path";
        if (IsDeviceName(component)) return "names the device \"" + Utf16ToAnsiText(component) + "\"";
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    if (fs != nullptr) {
        const std::string root = std::string(1, static_cast<char>(wide[0])) + ":\\";
        if (fs->GetDriveTypeA(root) == kDriveRemote) return "is on a network drive, not on a local drive";
    }
    return {};
}

bool RestoreAreaCheck::EnterKey(const std::string& name, RegView view, std::string& reason) {
    if (depth_ == 0) {
        view_ = view;
        count_ = 0;
    }
    const std::size_t before = count_;
    const bool pieces = AppendKeyPieces(name, components_, count_);
    if (depth_ == candidates_.size()) {
        names_.emplace_back();
        ends_.push_back(0);
        candidates_.emplace_back();
        places_.push_back(KeyPlace::Outside);
    }
    RestoreAreas::Candidates& candidates = candidates_[depth_];
    if (depth_ == 0) areas_.Start(view_, candidates);
    else candidates = candidates_[depth_ - 1];
    for (std::size_t i = before; pieces && i < count_; ++i) areas_.Narrow(candidates, components_[i], i);
    const KeyPlace place = pieces ? areas_.PlaceOf(candidates, count_) : KeyPlace::Outside;
    if (place == KeyPlace::Outside) {
        count_ = before;
        std::string path = KeyPath();
        if (!path.empty()) path.push_back('\\');
        path += name;
        reason = "key " + Quoted(path) + (view_ == RegView::k32 ? " (32-bit view)" : "") +
                 (pieces ? kOutside : " is not a registry key path (an empty name, \".\" or \"..\")");
        return false;
    }
    names_[depth_].assign(name);
    ends_[depth_] = count_;
    places_[depth_] = place;
    ++depth_;
    return true;
}

void RestoreAreaCheck::LeaveKey() {
    if (depth_ == 0) return;
    --depth_;
    count_ = depth_ == 0 ? 0 : ends_[depth_ - 1];
}

void RestoreAreaCheck::LowerPathInto(std::string& out) const {
    out.clear();
    for (std::size_t i = 0; i < count_; ++i) {
        if (i > 0) out.push_back('\\');
        out += components_[i];
    }
}

std::string RestoreAreaCheck::KeyPath() const {
    std::string path;
    for (std::size_t i = 0; i < depth_; ++i) {
        if (i > 0) path.push_back('\\');
        path += names_[i];
    }
    return path;
}

bool RestoreAreaCheck::CheckValue(const std::string& name, std::string& reason) const {
    if (HoldsValues(Place())) return true;
    reason = "value " + Quoted(name) + " of key " + Quoted(KeyPath()) +
             (view_ == RegView::k32 ? " (32-bit view)" : "") + kOutside;
    return false;
}

bool RestoreAreaCheck::CheckFile(const std::string& path, const std::vector<std::uint8_t>* bytes,
                                 std::string& reason) const {
    const std::string problem = ShortcutPathProblem(path, fs_);
    if (!problem.empty()) {
        reason = "file " + Quoted(path) + " " + problem;
        return false;
    }
    if (bytes != nullptr && !IsShellLink(*bytes)) {
        reason = "file " + Quoted(path) + " does not hold a shell link (a shortcut's content)";
        return false;
    }
    return true;
}

}  // namespace qm

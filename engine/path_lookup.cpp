#include "engine/path_lookup.h"

namespace qm {

namespace {

constexpr auto npos = std::string::npos;

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The first blank at or after `from` (npos: none); find_first_of would make
// a library call per character.
std::size_t FindBlank(const std::string& text, std::size_t from = 0) {
    for (std::size_t i = from; i < text.size(); ++i)
        if (IsBlank(text[i])) return i;
    return npos;
}

std::string TrimBlanks(const std::string& text) {
    std::size_t first = 0, end = text.size();
    while (first < end && IsBlank(text[first])) ++first;
    while (end > first && IsBlank(text[end - 1])) --end;
    return text.substr(first, end - first);
}

// A "%NAME%" still in a text after expansion names a variable this process
// does not have (it may belong to another user or session). A "%" that only
// stands in a file name ("100%\x.dll") is not followed by such a name.
bool HoldsUnknownVariable(const std::string& text) {
    for (auto p = text.find('%'); p != npos;) {
        const auto q = text.find('%', p + 1);
        if (q == npos) return false;
        const std::string name = text.substr(p + 1, q - p - 1);
        if (!name.empty() && name.size() <= 64 && name.find_first_of("\\/;:\"") == npos) return true;
        p = q;
    }
    return false;
}

// "C:\x.dll,1" or "app.exe,-101": the name in front of an icon or resource
// index; empty when there is no index.
std::string BeforeResourceIndex(const std::string& text) {
    const auto comma = text.rfind(',');
    if (comma == npos || comma == 0) return {};
    std::size_t i = comma + 1;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && text[i] == '-') ++i;
    if (i == text.size()) return {};
    for (; i < text.size(); ++i)
        if (!IsDigit(text[i])) return {};
    return TrimBlanks(text.substr(0, comma));
}

// True when the last component of a path has an extension.
bool HasExtension(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    const auto dot = path.rfind('.');
    return dot != npos && (slash == npos || dot > slash);
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

std::string Joined(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

}  // namespace

void PathLookup::ReadEnvironment() const {
    if (environmentRead_) return;
    environmentRead_ = true;
    ISystem& system = paths_.System();
    std::vector<std::string> seen;
    const auto add = [&](const std::string& folder) {
        std::string f = folder;
        while (f.size() > 3 && f.back() == '\\') f.pop_back();
        if (f.empty()) return;
        const std::string key = UpperAscii(f);
        for (const auto& s : seen)
            if (s == key) return;
        seen.push_back(key);
        searchPath_.push_back(f);
    };
    add(paths_.SystemDirectory());
    add(paths_.WindowsDirectory());
    std::string path;
    if (system.GetEnvironmentVariable("PATH", path)) {
        std::size_t from = 0;
        while (from <= path.size()) {
            auto semi = path.find(';', from);
            if (semi == npos) semi = path.size();
            std::string folder = TrimBlanks(path.substr(from, semi - from));
            from = semi + 1;
            while (!folder.empty() && folder.front() == '"') folder.erase(0, 1);
            while (!folder.empty() && folder.back() == '"') folder.pop_back();
            if (folder.empty()) continue;
            for (char& c : folder)
                if (c == '/') c = '\\';
            const Shape shape = ShapeOf(folder);
            // A folder on another machine or an absent drive may hold the
            // program: a name not found elsewhere cannot be judged.
            if (shape == Shape::Unc || (shape == Shape::Absolute && !DriveJudgeable(folder[0]))) {
                searchReachesBeyond_ = true;
                continue;
            }
            if (shape == Shape::Absolute) add(folder);  // relative folders follow the current one
        }
    }
    std::string pathext;
    if (!system.GetEnvironmentVariable("PATHEXT", pathext) || TrimBlanks(pathext).empty())
        pathext = ".COM;.EXE;.BAT;.CMD";
    bool exe = false;
    std::size_t from = 0;
    while (from <= pathext.size()) {
        auto semi = pathext.find(';', from);
        if (semi == npos) semi = pathext.size();
        const std::string ext = UpperAscii(TrimBlanks(pathext.substr(from, semi - from)));
        from = semi + 1;
        if (ext.size() < 2 || ext[0] != '.') continue;
        exe = exe || ext == ".EXE";
        extensions_.push_back(ext);
    }
    if (!exe) extensions_.insert(extensions_.begin(), ".EXE");  // what CreateProcess adds
}

const std::vector<std::string>& PathLookup::SearchPath() const {
    ReadEnvironment();
    return searchPath_;
}

const std::vector<std::string>& PathLookup::Extensions() const {
    ReadEnvironment();
    return extensions_;
}

bool PathLookup::DriveJudgeable(char letter) const {
    if (!IsLetter(letter)) return false;
    const int i = (letter | 0x20) - 'a';
    if (drives_[i] == 0) drives_[i] = paths_.System().IsLocalDrive(char('A' + i)) ? 1 : 2;
    return drives_[i] == 1;
}

bool PathLookup::Prepare(const std::string& text, std::string& out) const {
    out = TrimBlanks(text);
    if (out.find('%') != npos) {
        out = TrimBlanks(paths_.System().ExpandEnvironmentStrings(out));
        if (HoldsUnknownVariable(out)) return false;
    }
    for (char& c : out)
        if (c == '/') c = '\\';
    // The long-path and native forms of a local path: "\\?\C:\..." and
    // "\??\C:\..." are "C:\..." (a quoted one too).
    out = WithoutLongPathPrefix(std::move(out));
    return true;
}

PathLookup::Shape PathLookup::ShapeOf(const std::string& path) const {
    if (path.empty()) return Shape::Empty;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return Shape::Unc;
    if (IsLetter(path[0]) && path.size() >= 2 && path[1] == ':')
        return (path.size() == 2 || path[2] == '\\') ? Shape::Absolute : Shape::Unknown;  // "C:x": relative to C:'s current folder
    // "https:", "file:", "mailto:": a scheme of two or more characters.
    std::size_t i = 0;
    while (i < path.size() && (IsLetter(path[i]) || IsDigit(path[i]) || path[i] == '+' ||
                               path[i] == '-' || path[i] == '.'))
        ++i;
    if (i >= 2 && i < path.size() && path[i] == ':' && IsLetter(path[0])) return Shape::Url;
    if (path[0] == '\\') return Shape::RootRelative;
    if (path.find('\\') == npos) return Shape::Bare;
    return Shape::Relative;
}

bool PathLookup::FindsAt(const std::string& path, bool folderToo, bool addExtensions) const {
    ISystem& system = paths_.System();
    if (path != justMissing_ && system.FileExists(path) && (folderToo || !system.IsDirectory(path))) return true;
    if (!addExtensions || HasExtension(path)) return false;
    for (const std::string& ext : Extensions()) {
        const std::string withExt = path + ext;
        if (system.FileExists(withExt) && !system.IsDirectory(withExt)) return true;
    }
    return false;
}

bool PathLookup::Finds(const std::string& candidate, bool folderToo, bool addExtensions,
                       const std::vector<std::string>& folders) const {
    // Trailing blanks dropped; most candidates have none and are not copied.
    std::size_t size = candidate.size();
    while (size > 0 && IsBlank(candidate[size - 1])) --size;
    std::string trimmed;
    if (size != candidate.size()) trimmed.assign(candidate, 0, size);
    const std::string& c = size != candidate.size() ? trimmed : candidate;
    bool found = false;
    switch (ShapeOf(c)) {
        case Shape::Absolute:
            // "C:" alone is the drive's root.
            found = DriveJudgeable(c[0]) && (c.size() == 2 ? FindsAt(c + "\\", folderToo, addExtensions)
                                                           : FindsAt(c, folderToo, addExtensions));
            break;
        case Shape::RootRelative: {
            const std::string& windows = paths_.WindowsDirectory();
            found = windows.size() >= 2 && FindsAt(windows.substr(0, 2) + c, folderToo, addExtensions);
            break;
        }
        case Shape::Bare:
        case Shape::Relative:
            // A program is never a folder, wherever it is looked for.
            for (const std::string& folder : folders)
                if ((found = FindsAt(Joined(folder, c), folderToo, addExtensions))) break;
            break;
        default:
            break;
    }
    if (found) return true;
    const std::string beforeIndex = BeforeResourceIndex(c);
    return !beforeIndex.empty() && Finds(beforeIndex, folderToo, addExtensions, folders);
}

LookupResult PathLookup::Judged(const std::string& text, Shape shape, bool foldersGiven) const {
    LookupResult out;
    switch (shape) {
        case Shape::Absolute:
            out.verdict = DriveJudgeable(text[0]) && !paths_.System().PresenceUnknown(text)
                              ? LookupVerdict::NotFound
                              : LookupVerdict::CannotJudge;
            break;
        case Shape::RootRelative: {
            const std::string& windows = paths_.WindowsDirectory();
            out.verdict = windows.size() >= 2 && paths_.System().PresenceUnknown(windows.substr(0, 2) + text)
                              ? LookupVerdict::CannotJudge
                              : LookupVerdict::NotFound;
            break;
        }
        case Shape::Bare:
            ReadEnvironment();
            out.verdict = (!foldersGiven && searchReachesBeyond_) ? LookupVerdict::CannotJudge
                                                                  : LookupVerdict::NotFound;
            break;
        case Shape::Relative:
            // Relative to a current folder this scan does not know.
            out.verdict = foldersGiven ? LookupVerdict::NotFound : LookupVerdict::CannotJudge;
            break;
        default:  // UNC, URL, drive-relative, empty
            out.verdict = LookupVerdict::CannotJudge;
            break;
    }
    return out;
}

// A prefix with a folder is the program CreateProcess would start from it:
// the file as named when it has an extension, else the name with ".exe"
// ("C:\Program" is "C:\Program.exe"; never "C:\Program" itself nor
// "C:\Program.bat"). A bare name is looked for on the search path with the
// extensions of PATHEXT.
bool PathLookup::FindsPrefix(std::string prefix, const std::vector<std::string>& folders) const {
    if (prefix.find('\\') == npos) return Finds(prefix, false, true, folders);
    if (!HasExtension(prefix)) prefix += ".exe";
    return Finds(prefix, false, false, folders);
}

LookupResult PathLookup::UnquotedProgram(const std::string& text) const {
    const Shape shape = ShapeOf(text);
    if (shape == Shape::Unc || shape == Shape::Url || shape == Shape::Unknown || shape == Shape::Empty)
        return {LookupVerdict::CannotJudge, {}};
    if (shape == Shape::Absolute && !DriveJudgeable(text[0])) return {LookupVerdict::CannotJudge, {}};
    const std::vector<std::string>& folders = SearchPath();
    // Each prefix ending at a blank, shortest first, as CreateProcess tries
    // them; only the whole text may name a folder.
    for (auto blank = FindBlank(text); blank != npos; blank = FindBlank(text, blank + 1)) {
        if (blank > 0 && FindsPrefix(text.substr(0, blank), folders)) return {LookupVerdict::Found, {}};
    }
    if (Finds(text, true, true, folders)) return {LookupVerdict::Found, {}};
    // Where the program would be looked for decides whether "not found" can
    // be said: the shape of its first word.
    const auto blank = FindBlank(text);
    return Judged(text, ShapeOf(text.substr(0, blank)), false);
}

LookupResult PathLookup::Program(const std::string& commandLine) const {
    std::string text;
    if (!Prepare(commandLine, text) || text.empty()) return {LookupVerdict::CannotJudge, {}};
    if (text[0] != '"') return UnquotedProgram(text);
    // A quoted program ends at the closing quote.
    const auto close = text.find('"', 1);
    std::string inner = TrimBlanks(text.substr(1, close == npos ? npos : close - 1));
    while (!inner.empty() && inner.back() == '"') inner.pop_back();
    if (inner.empty()) return {LookupVerdict::CannotJudge, {}};
    if (Finds(inner, false, true, SearchPath())) return {LookupVerdict::Found, {}};
    // A whole command line written inside the quotes.
    return UnquotedProgram(inner);
}

LookupResult PathLookup::File(const std::string& path) const { return File(path, {}); }

LookupResult PathLookup::File(const std::string& path, const std::vector<std::string>& folders) const {
    std::string text;
    if (!Prepare(path, text)) return {LookupVerdict::CannotJudge, {}};
    while (!text.empty() && text.front() == '"') text.erase(0, 1);
    while (!text.empty() && text.back() == '"') text.pop_back();
    text = TrimBlanks(text);
    const Shape shape = ShapeOf(text);
    const bool foldersGiven = !folders.empty();
    const std::vector<std::string>& where = foldersGiven ? folders : SearchPath();
    if (Finds(text, true, false, where)) return {LookupVerdict::Found, {}};
    LookupResult out = Judged(text, shape, foldersGiven);
    if (out.verdict != LookupVerdict::NotFound) return out;
    if (shape == Shape::Absolute) {
        out.path = text;
    } else if (shape == Shape::RootRelative) {
        out.path = paths_.WindowsDirectory().substr(0, 2) + text;
    } else if (!where.empty()) {
        out.path = Joined(where.front(), text);
        if (paths_.System().PresenceUnknown(out.path)) return {LookupVerdict::CannotJudge, {}};
    }
    return out;
}

LookupResult HelpFileLookup(const std::string& folder, const std::string& name, const PathLookup& lookup,
                            const SystemPaths& paths) {
    std::string f = folder;
    while (!f.empty() && f.front() == '"') f.erase(0, 1);
    while (!f.empty() && f.back() == '"') f.pop_back();
    f = TrimBlanks(f);
    // The folder names a folder whether or not it ends in a backslash.
    const bool separated = f.empty() || f.back() == '\\' || f.back() == '/';
    return lookup.File(separated ? f + name : f + "\\" + name,
                       {paths.SystemDirectory(), paths.WindowsDirectory()});
}

LookupResult FontLookup(const std::string& data, const PathLookup& lookup, const SystemPaths& paths) {
    return lookup.File(data, {paths.WindowsDirectory() + "\\fonts"});
}

LookupResult DriverLookup(const std::string& data, const PathLookup& lookup, const SystemPaths& paths) {
    // A full path is the driver's own; a bare name lives in the system folder
    // (or, for old drivers, the Windows folder).
    return lookup.File(data, {paths.SystemDirectory(), paths.WindowsDirectory()});
}

}  // namespace qm

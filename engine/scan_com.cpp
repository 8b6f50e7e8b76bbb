// COM classes: every class key under HKEY_CLASSES_ROOT\CLSID whose server
// sub-keys name files that are gone.
//
// A class is judged as a whole. Healthy systems keep legacy entries such as a
// 16-bit "InprocServer" naming a file that no longer exists beside a working
// "InprocServer32"; since a finding removes the whole class key, a class is
// recorded only when none of its server sub-keys names a file that exists.
// So the server sub-keys of one class are all tested first and the class is
// settled afterwards; the counters and progress reports come out as if each
// entry had been handled on the spot.
#include "engine/scan_areas.h"
#include "engine/scan_frame.h"

namespace qm {

namespace {

// Listing a class's sub-keys and reading its ProgID's values.
constexpr std::uint32_t kClassKeyAccess = kKeyQueryValue | kKeyEnumerateSubKeys;

bool IsServerSubKey(const std::string& name) {
    switch (name.size()) {  // the four names differ in length
        case 14: return EqualsAsciiLower(name, "inprocserver32");
        case 13: return EqualsAsciiLower(name, "localserver32");
        case 12: return EqualsAsciiLower(name, "inprocserver");
        case 11: return EqualsAsciiLower(name, "localserver");
        default: return false;
    }
}

// "InprocServer32" or "InprocServer", of a name IsServerSubKey accepts.
bool IsInProcessServerSubKey(const std::string& name) { return name.size() == 14 || name.size() == 12; }

// Whether sub-key `name` may be the class's "ProgID" key. Names compare as
// the registry compares them, where only ASCII letters fold to ASCII; a name
// with other characters is taken as possible all the same (the open decides).
bool MayBeProgId(const std::string& name) {
    if (EqualsAsciiLower(name, "progid")) return true;
    for (const char c : name)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// One server sub-key's default value, tested but not yet settled. The
// entries of one class are used again for the next (their objects and
// buffers with them): a scan goes through tens of thousands of classes.
struct ServerEntry {
    std::unique_ptr<CRegValueItem> value;
    CleanedPath path;      // as cleaned: what progress shows
    std::string reported;  // what a finding names
    PathState state;
    std::int32_t defaultsSoFar;  // "(Default)" items of this class up to this one
};

// Counts the "(Default)" items of the class's ProgID sub-key (0 without one).
// `values` is a scratch list.
std::int32_t CountProgIdDefaults(CRegistryLib& lib, RegKey classKey, ValueList& values) {
    IRegistry& reg = lib.Registry();
    RegKeyHandle progId;
    if (reg.RegOpenKeyA(classKey, "ProgID", progId.Receive(reg)) != kRegSuccess) return 0;
    values.clear();
    lib.AddDefaultValues(progId.Get(), values);
    const auto n = std::int32_t(values.size());
    values.clear();
    return n;
}

// The class's name: the text of its key's unnamed value ("" when it has none
// or it is no text). Read only for a class that is a finding.
std::string ClassName(IRegistry& reg, RegKey classKey) {
    std::uint8_t buffer[512];
    std::uint32_t type = 0, size = sizeof buffer - 1;
    if (reg.RegQueryValueExA(classKey, "", &type, buffer, &size) != kRegSuccess) return std::string();
    if (type != kRegSz && type != kRegExpandSz) return std::string();
    buffer[size < sizeof buffer ? size : sizeof buffer - 1] = 0;
    return std::string(reinterpret_cast<const char*>(buffer));
}

// The examination of one registry view's classes, class by class: the server
// sub-keys are read and tested first (ReadServers), then the class is judged
// as a whole (KeepsClass) and its entries recorded and reported (Settle).
class ClassScan {
public:
    ClassScan(CRegistryLib& lib, ScanFrame& frame) : lib_(lib), frame_(frame), reg_(lib.Registry()) {}

    // Examines the class key `className` below the root. False ends the walk:
    // a stop request, or no buffer for the names (NoNameBuffer()).
    bool Class(const std::string& className);
    bool NoNameBuffer() const { return noNameBuffer_; }

private:
    LoopEnd ReadServers(RegKey classKey);
    void ReadServer(RegKey classKey, const std::string& sub);
    bool KeepsClass(LoopEnd inner) const;
    void Settle(RegKey classKey, const std::string& className, bool keep);

    CRegistryLib& lib_;
    ScanFrame& frame_;
    IRegistry& reg_;
    bool noNameBuffer_ = false;
    std::vector<ServerEntry> entries_;  // the first `used_` are this class's
    std::size_t used_ = 0;
    ValueList values_;  // refilled for each server sub-key
    // Of the class in hand: its "(Default)" items so far, and whether its
    // listing showed a sub-key that may be the ProgID one.
    std::int32_t defaults_ = 0;
    bool mayHaveProgId_ = false;
};

bool ClassScan::Class(const std::string& className) {
    // Opened with query and list rights: a class key that may not be read is
    // passed over whole. A class without server sub-keys (or whose sub-keys
    // cannot be listed) gives no entries, so no count and no finding.
    RegKeyHandle classKey;
    if (reg_.RegOpenKeyExA(frame_.Root(), className.c_str(), kClassKeyAccess, classKey.Receive(reg_)) !=
        kRegSuccess)
        return true;
    const LoopEnd inner = ReadServers(classKey.Get());
    if (inner == LoopEnd::NoNameBuffer) {
        noNameBuffer_ = true;
        return false;
    }
    Settle(classKey.Get(), className, KeepsClass(inner));
    return inner != LoopEnd::Stopped;
}

LoopEnd ClassScan::ReadServers(RegKey classKey) {
    used_ = 0;
    defaults_ = 0;
    mayHaveProgId_ = false;
    return frame_.ForEachSubKey(classKey, kAnyKeyNameChars, [&](const std::string& sub) {
        if (MayBeProgId(sub)) mayHaveProgId_ = true;
        if (IsServerSubKey(sub)) ReadServer(classKey, sub);
        return true;
    });
}

// Tests the "(Default)" items of server sub-key `sub` (only those count here).
void ClassScan::ReadServer(RegKey classKey, const std::string& sub) {
    const bool inProcess = IsInProcessServerSubKey(sub);
    RegKeyHandle server;
    if (reg_.RegOpenKeyA(classKey, sub.c_str(), server.Receive(reg_)) != kRegSuccess) return;
    const std::size_t count = lib_.ReadDefaultValues(server.Get(), values_);
    for (std::size_t i = 0; i < count; ++i) {
        ++defaults_;
        if (values_[i]->data == kValueNotSet) continue;
        if (used_ == entries_.size()) entries_.emplace_back();
        ServerEntry& e = entries_[used_++];
        e.value.swap(values_[i]);  // the entry's old item goes to the list
        ComServerPath(e.value->data, frame_.Paths(), e.path);
        // A local server is a program's command line; an in-process server
        // is a DLL's path, which Windows loads as written (never split at a
        // blank).
        e.reported.clear();
        const CRegValueItem& item = *e.value;
        e.state = frame_.Judge(
            e.path,
            [&] {
                return inProcess ? frame_.WindowsLookup().File(item.data)
                                 : frame_.WindowsLookup().Program(item.data);
            },
            e.reported, true);
        e.defaultsSoFar = defaults_;
    }
}

// Whether the class stays: one of its servers exists or could not be
// tested. A class whose examination a stop request cut short is not judged
// either: its unread server sub-keys might name files that exist.
bool ClassScan::KeepsClass(LoopEnd inner) const {
    if (inner == LoopEnd::Stopped) return true;
    for (std::size_t i = 0; i < used_; ++i)
        if (entries_[i].state == PathState::Exists || entries_[i].state == PathState::NotTested) return true;
    return false;
}

// Records the missing servers of a class that goes, and reports every entry
// with the counts as if each had been handled on the spot.
void ClassScan::Settle(RegKey classKey, const std::string& className, bool keep) {
    const std::int32_t scannedBefore = frame_.Scanned();
    std::int32_t progIdDefaults = 0;
    // Counted once per class, and only when the listing showed a sub-key
    // that may be the ProgID one.
    std::int32_t progIdDefaultsOfClass = -1;
    bool named = false;
    std::string name;
    for (std::size_t i = 0; i < used_; ++i) {
        ServerEntry& e = entries_[i];
        if (!keep && e.state == PathState::Missing) {
            frame_.Record(*e.value, frame_.RootPath() + "\\" + className, e.reported, nullptr,
                          reg_.RegClassesHiveOf(classKey));
            if (!named) {
                name = ClassName(reg_, classKey);
                named = true;
            }
            lib_.Findings().back()->SetOwnerName(name);
            if (progIdDefaultsOfClass < 0)
                progIdDefaultsOfClass = mayHaveProgId_ ? CountProgIdDefaults(lib_, classKey, values_) : 0;
            progIdDefaults += progIdDefaultsOfClass;
        }
        frame_.ReportCopy(e.path.path, scannedBefore + e.defaultsSoFar + progIdDefaults, frame_.Found());
    }
    frame_.CountScanned(defaults_ + progIdDefaults);
}

}  // namespace

void CRegistryLib::ScanRegistryCLSID(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Com, kStatusCom);
    if (!frame.Open(kComRoot)) return;
    ClassScan scan(*this, frame);
    do {
        const LoopEnd end =
            frame.ForEachSubKey(frame.Root(), [&](const std::string& className) { return scan.Class(className); });
        if (end == LoopEnd::NoNameBuffer || scan.NoNameBuffer()) return;
        if (end == LoopEnd::Stopped) break;
    } while (frame.NextView());
    frame.AppendRow();
}

}  // namespace qm

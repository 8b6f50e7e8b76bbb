// Where a key of the 32-bit view lives in the tree of both views.
#include "platform/registry_view.h"

#include "platform/key_path.h"

#include <cstddef>

namespace qm {

const std::vector<std::string> kWow64SharedSoftwareKeys = {
    "Classes\\HCP",
    "Microsoft\\COM3",
    "Microsoft\\Cryptography\\Calais\\Current",
    "Microsoft\\Cryptography\\Calais\\Readers",
    "Microsoft\\Cryptography\\Services",
    "Microsoft\\CTF\\SystemShared",
    "Microsoft\\CTF\\TIP",
    "Microsoft\\DFS",
    "Microsoft\\Driver Signing",
    "Microsoft\\EnterpriseCertificates",
    "Microsoft\\EventSystem",
    "Microsoft\\MSMQ",
    "Microsoft\\Non-Driver Signing",
    "Microsoft\\Notepad\\DefaultFonts",
    "Microsoft\\OLE",
    "Microsoft\\RAS",
    "Microsoft\\RPC",
    "Microsoft\\Shared Tools\\MSInfo",
    "Microsoft\\SystemCertificates",
    "Microsoft\\TermServLicensing",
    "Microsoft\\Transaction Server",
    "Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
    "Microsoft\\Windows\\CurrentVersion\\Group Policy",
    "Microsoft\\Windows\\CurrentVersion\\Policies",
    "Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Setup",
    "Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
    "Microsoft\\Windows NT\\CurrentVersion\\Console",
    "Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
    "Microsoft\\Windows NT\\CurrentVersion\\FontLink",
    "Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
    "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    "Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
    "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    "Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
    "Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "Microsoft\\Windows NT\\CurrentVersion\\Perflib",
    "Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "Microsoft\\Windows NT\\CurrentVersion\\Print",
    "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    "Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
    "Policies",
    "RegisteredApplications",
};

namespace {

constexpr const char* kWow6432Node = "Wow6432Node";
constexpr const char* kRedirectedClasses[] = {"CLSID", "DirectShow", "Interface", "Media Type",
                                              "MediaFoundation"};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Key names here are ASCII: an ASCII fold compares them as the registry does.
bool Same(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; b[i] != '\0'; ++i)
        if (i >= a.size() || Lower(a[i]) != Lower(b[i])) return false;
    return i == a.size();
}

bool EndsWith(const std::string& a, const char* tail) {
    const std::string t(tail);
    return a.size() >= t.size() && Same(a.substr(a.size() - t.size()), tail);
}

// True when path[from...] starts with the names of `prefix`.
bool StartsWith(const std::vector<std::string>& path, std::size_t from, const std::string& prefix) {
    const std::vector<std::string> names = KeyPathNames(prefix);
    if (path.size() - from < names.size()) return false;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!Same(path[from + i], names[i].c_str())) return false;
    return true;
}

std::vector<std::string> Inserted(std::vector<std::string> path, std::size_t at) {
    path.insert(path.begin() + static_cast<std::ptrdiff_t>(at), kWow6432Node);
    return path;
}

// `at` indexes the name right below a Classes key.
std::vector<std::string> ClassesPath(const std::vector<std::string>& path, std::size_t at) {
    if (at >= path.size() || Same(path[at], kWow6432Node)) return path;
    for (const char* name : kRedirectedClasses)
        if (Same(path[at], name)) return Inserted(path, at);
    return path;
}

}  // namespace

std::vector<std::string> ViewPath(RegKey root, const std::vector<std::string>& path,
                                  RegView view) {
    if (view != RegView::k32) return path;
    if (root == kHkeyClassesRoot) return ClassesPath(path, 0);
    if (root == kHkeyLocalMachine) {
        if (path.empty() || !Same(path[0], "SOFTWARE")) return path;
        if (path.size() > 1 && Same(path[1], kWow6432Node)) return path;
        if (path.size() > 1 && Same(path[1], "Classes")) {
            if (StartsWith(path, 1, "Classes\\HCP")) return path;
            return ClassesPath(path, 2);
        }
        for (const std::string& shared : kWow64SharedSoftwareKeys)
            if (StartsWith(path, 1, shared)) return path;
        return Inserted(path, 1);
    }
    if (root == kHkeyCurrentUser) {
        if (path.size() > 1 && Same(path[0], "Software") && Same(path[1], "Classes"))
            return ClassesPath(path, 2);
        return path;
    }
    if (root == kHkeyUsers) {
        if (!path.empty() && EndsWith(path[0], "_Classes")) return ClassesPath(path, 1);
        if (path.size() > 2 && Same(path[1], "Software") && Same(path[2], "Classes"))
            return ClassesPath(path, 3);
        return path;
    }
    return path;
}

std::string ViewPathText(const std::string& fullPath, RegView view) {
    std::string subKey;
    const std::string rootName = KeyPathRoot(fullPath, &subKey);
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey || view != RegView::k32) return fullPath;
    std::string out = rootName;
    for (const std::string& name : ViewPath(root, KeyPathNames(subKey), view)) out += "\\" + name;
    return out;
}

RegView ViewOfPath(const std::string& fullPath) {
    for (const std::string& name : KeyPathNames(fullPath))
        if (Same(name, kWow6432Node)) return RegView::k32;
    return RegView::k64;
}

}  // namespace qm

namespace qm {

bool ViewRegistry::ViewApplies(RegKey parent) const {
    return view_ == RegView::k32 && !RootKeyName(parent).empty();
}

RegStatus ViewRegistry::RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) {
    if (!ViewApplies(parent) || !subKey || !*subKey) return base_.RegOpenKeyA(parent, subKey, result);
    return base_.RegOpenKeyExA(parent, subKey, kMaximumAllowed | ViewAccess(view_), result);
}

RegStatus ViewRegistry::RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                                      RegKey* result) {
    if (ViewApplies(parent) && !(access & kKeyWow64Res)) access |= ViewAccess(view_);
    return base_.RegOpenKeyExA(parent, subKey, access, result);
}

RegStatus ViewRegistry::RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) {
    if (!ViewApplies(parent)) return base_.RegCreateKeyA(parent, subKey, result);
    return base_.RegCreateKeyExA(parent, subKey, result, nullptr, ViewAccess(view_));
}

RegStatus ViewRegistry::RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                                        bool* created, std::uint32_t view) {
    if (ViewApplies(parent) && !(view & kKeyWow64Res)) view |= ViewAccess(view_);
    return base_.RegCreateKeyExA(parent, subKey, result, created, view);
}

RegStatus ViewRegistry::RegDeleteKeyA(RegKey parent, const char* subKey) {
    if (!ViewApplies(parent) || !subKey) return base_.RegDeleteKeyA(parent, subKey);
    // The key's parent is opened in the view; the last name goes below it.
    std::string name;
    const std::string abovePath = KeyPathParent(subKey, &name);
    if (abovePath.empty()) return base_.RegDeleteKeyA(parent, subKey);
    RegKeyHandle above;
    const RegStatus opened =
        base_.RegOpenKeyExA(parent, abovePath.c_str(), kMaximumAllowed | ViewAccess(view_), above.Receive(base_));
    if (opened != kRegSuccess) return opened;
    return base_.RegDeleteKeyA(above.Get(), name.c_str());
}

}  // namespace qm

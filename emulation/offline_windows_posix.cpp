#include "emulation/offline_windows_posix.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "emulation/drive_map.h"
#include "emulation/name_case.h"
#include "platform/directory_stream_posix.h"

namespace qm {

namespace {

constexpr const char* kSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE";
constexpr const char* kSystem = "HKEY_LOCAL_MACHINE\\SYSTEM";
constexpr const char* kProfileList = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

using Environment = std::vector<std::pair<std::string, std::string>>;

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A text value as the 8-bit calls give it, up to its first zero; "" when missing.
std::string Text(const MemoryRegistry& reg, const std::string& key, const std::string& name) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    if (!reg.GetValue(key, name, &type, &bytes)) return "";
    if (type != kRegSz && type != kRegExpandSz) return "";
    std::string text(bytes.begin(), bytes.end());
    return text.substr(0, text.find('\0'));
}

std::uint32_t Dword(const MemoryRegistry& reg, const std::string& key, const std::string& name) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    if (!reg.GetValue(key, name, &type, &bytes) || type != kRegDword || bytes.size() != 4) return 0;
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

// %SystemDrive% and %SystemRoot% in a path the registry gives before any
// environment exists; the drive is always C: here.
std::string ExpandEarly(std::string path, const std::string& windowsDir) {
    const auto replace = [&path](const std::string& var, const std::string& value) {
        const std::u16string folded = FoldedName(var);
        for (std::size_t at = 0; (at = path.find('%', at)) != std::string::npos;) {
            const std::size_t end = path.find('%', at + 1);
            if (end == std::string::npos) break;
            if (FoldedName(path.substr(at, end - at + 1)) == folded) {
                path.replace(at, end - at + 1, value);
                at += value.size();
            } else {
                at = end;
            }
        }
    };
    replace("%SystemDrive%", "C:");
    replace("%SystemRoot%", windowsDir);
    replace("%windir%", windowsDir);
    return path;
}

std::string LastComponent(const std::string& windowsPath) {
    std::string p = windowsPath;
    while (!p.empty() && p.back() == '\\') p.pop_back();
    const auto slash = p.rfind('\\');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string HostPath(const DriveMap& drives, const std::string& windowsPath) {
    const auto host = drives.ToHostPath(windowsPath);
    return host ? *host : std::string();
}

std::string ProfileNames(const std::vector<OfflineProfile>& profiles) {
    std::string names;
    for (const OfflineProfile& p : profiles) names += (names.empty() ? "" : ", ") + p.name;
    return names;
}

}  // namespace

std::vector<OfflineProfile> FindOfflineProfiles(HiveRegistry& registry, const std::string& root) {
    DriveMap drives;
    drives.Map('C', root);
    const MemoryRegistry& reg = registry.Memory();
    std::vector<OfflineProfile> profiles;
    const std::string windowsDir = "C:\\Windows";
    for (const std::string& sid : reg.SubKeyNames(kProfileList)) {
        if (FoldedName(sid.substr(0, 9)) != FoldedName("S-1-5-21-")) continue;  // user accounts only
        const std::string path = ExpandEarly(Text(reg, std::string(kProfileList) + "\\" + sid, "ProfileImagePath"), windowsDir);
        if (path.size() < 3 || path[1] != ':') continue;
        OfflineProfile p{LastComponent(path), path, HostPath(drives, path)};
        if (!p.hostPath.empty() && IsFile(HostPath(drives, path + "\\NTUSER.DAT"))) profiles.push_back(p);
    }
    if (!profiles.empty()) return profiles;
    const std::string users = HostPath(drives, "C:\\Users");
    const DirectoryStream dir(::opendir(users.c_str()));
    if (!dir) return profiles;
    while (dirent* e = ::readdir(dir.Get())) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::u16string folded = FoldedName(name);
        if (folded == FoldedName("Default") || folded == FoldedName("Default User") ||
            folded == FoldedName("Public") || folded == FoldedName("All Users"))
            continue;
        const std::string path = "C:\\Users\\" + name;
        if (IsFile(HostPath(drives, path + "\\NTUSER.DAT"))) profiles.push_back({name, path, users + "/" + name});
    }
    std::sort(profiles.begin(), profiles.end(),
              [](const OfflineProfile& a, const OfflineProfile& b) { return a.name < b.name; });
    return profiles;
}

namespace {

// Mounts SOFTWARE (which must be there) and SYSTEM when present; returns the
// name of the current control set ("" when SYSTEM names none).
std::string MountMachineHives(HiveRegistry& registry, const DriveMap& drives, const std::string& root,
                              bool writable, OfflineWindows& w) {
    const std::string config = "C:\\Windows\\System32\\config\\";
    const std::string software = HostPath(drives, config + "SOFTWARE");
    if (!IsFile(software))
        throw HiveError("\"" + root + "\" holds no Windows installation: there is no Windows\\System32\\config\\SOFTWARE");
    registry.Mount(software, kSoftware, writable);
    w.hives.push_back(software);

    const std::string system = HostPath(drives, config + "SYSTEM");
    if (!IsFile(system)) return "";
    registry.Mount(system, kSystem, writable);
    w.hives.push_back(system);
    const std::uint32_t current = Dword(registry.Memory(), std::string(kSystem) + "\\Select", "Current");
    if (current == 0) return "";
    char name[32];
    std::snprintf(name, sizeof name, "ControlSet%03u", current);
    registry.SetCurrentControlSet(name);
    return name;
}

// The profile `user` names, or with `user` empty the only one (none when
// there is none).
OfflineProfile ChooseProfile(const std::vector<OfflineProfile>& profiles, const std::string& user,
                             const std::string& root) {
    if (!user.empty()) {
        OfflineProfile chosen;
        for (const OfflineProfile& p : profiles)
            if (FoldedName(p.name) == FoldedName(user)) chosen = p;
        if (chosen.name.empty())
            throw HiveError("no user profile \"" + user + "\" in \"" + root + "\"" +
                            (profiles.empty() ? std::string(" (it has none)")
                                              : "; its profiles: " + ProfileNames(profiles)));
        return chosen;
    }
    if (profiles.size() > 1)
        throw HiveError("\"" + root + "\" has several user profiles; choose one with --user NAME: " +
                        ProfileNames(profiles));
    return profiles.empty() ? OfflineProfile{} : profiles.front();
}

// The user's NTUSER.DAT as HKEY_CURRENT_USER and, when there is one, the
// user's UsrClass.dat as its Software\Classes.
void MountUserHives(HiveRegistry& registry, const DriveMap& drives, bool writable, OfflineWindows& w) {
    const std::string ntuser = HostPath(drives, w.user.windowsPath + "\\NTUSER.DAT");
    const std::string classes =
        HostPath(drives, w.user.windowsPath + "\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat");
    const bool haveClasses = IsFile(classes);
    registry.Mount(ntuser, "HKEY_CURRENT_USER", writable,
                   haveClasses ? std::vector<std::string>{"Software\\Classes"} : std::vector<std::string>{});
    w.hives.push_back(ntuser);
    if (haveClasses) {
        registry.Mount(classes, "HKEY_CURRENT_USER\\Software\\Classes", writable);
        w.hives.push_back(classes);
    }
}

// The Windows folder, where the installation's registry keeps it.
void FindWindowsFolders(const MemoryRegistry& reg, OfflineWindows& w) {
    const std::string ntVersion = std::string(kSoftware) + "\\Microsoft\\Windows NT\\CurrentVersion";
    const std::string systemRoot = Text(reg, ntVersion, "SystemRoot");
    if (systemRoot.size() < 3 || systemRoot[1] != ':') return;
    w.windowsDir = systemRoot;
    while (w.windowsDir.size() > 3 && w.windowsDir.back() == '\\') w.windowsDir.pop_back();
    w.systemDir = w.windowsDir + "\\System32";
}

// Appends variable `name` with the text of a registry value, when it has one.
void AddFromRegistry(const MemoryRegistry& reg, Environment& env, const std::string& name, const std::string& key,
                     const std::string& value) {
    const std::string text = Text(reg, key, value);
    if (!text.empty()) env.emplace_back(name, text);
}

// The machine's variables: the folders the registry names, then the control
// set's computer name and Session Manager environment.
void AddMachineEnvironment(const MemoryRegistry& reg, const std::string& controlSet, Environment& env) {
    const std::string version = std::string(kSoftware) + "\\Microsoft\\Windows\\CurrentVersion";
    AddFromRegistry(reg, env, "ProgramFiles", version, "ProgramFilesDir");
    AddFromRegistry(reg, env, "ProgramW6432", version, "ProgramW6432Dir");
    AddFromRegistry(reg, env, "ProgramFiles(x86)", version, "ProgramFilesDir (x86)");
    AddFromRegistry(reg, env, "CommonProgramFiles", version, "CommonFilesDir");
    AddFromRegistry(reg, env, "CommonProgramW6432", version, "CommonW6432Dir");
    AddFromRegistry(reg, env, "CommonProgramFiles(x86)", version, "CommonFilesDir (x86)");
    AddFromRegistry(reg, env, "ProgramData", kProfileList, "ProgramData");
    AddFromRegistry(reg, env, "ALLUSERSPROFILE", kProfileList, "ProgramData");
    AddFromRegistry(reg, env, "PUBLIC", kProfileList, "Public");
    if (controlSet.empty()) return;
    const std::string control = std::string(kSystem) + "\\" + controlSet + "\\Control";
    AddFromRegistry(reg, env, "COMPUTERNAME", control + "\\ComputerName\\ComputerName", "ComputerName");
    const std::string machineEnv = control + "\\Session Manager\\Environment";
    for (const std::string& name : reg.ValueNames(machineEnv)) AddFromRegistry(reg, env, name, machineEnv, name);
}

// The user's variables: the profile's folders, then the user's own
// Environment key.
void AddUserEnvironment(const MemoryRegistry& reg, const OfflineProfile& user, Environment& env) {
    const std::string& home = user.windowsPath;
    env.emplace_back("USERPROFILE", home);
    env.emplace_back("HOMEDRIVE", home.substr(0, 2));
    env.emplace_back("HOMEPATH", home.substr(2));
    env.emplace_back("USERNAME", user.name);
    env.emplace_back("APPDATA", home + "\\AppData\\Roaming");
    env.emplace_back("LOCALAPPDATA", home + "\\AppData\\Local");
    const std::string userEnv = "HKEY_CURRENT_USER\\Environment";
    for (const std::string& name : reg.ValueNames(userEnv)) {
        // The user's PATH comes after the machine's, as Windows joins them at logon.
        const std::string text = Text(reg, userEnv, name);
        if (FoldedName(name) == FoldedName("Path") && !text.empty()) env.emplace_back(name, "%Path%;" + text);
        else if (!text.empty()) env.emplace_back(name, text);
    }
}

}  // namespace

OfflineWindows LoadOfflineWindows(HiveRegistry& registry, const std::string& root, const std::string& user,
                                  bool writable) {
    OfflineWindows w;
    DriveMap drives;
    drives.Map('C', root);
    const std::string controlSet = MountMachineHives(registry, drives, root, writable, w);
    w.user = ChooseProfile(FindOfflineProfiles(registry, root), user, root);
    if (!w.user.name.empty()) MountUserHives(registry, drives, writable, w);
    registry.MergeUserClasses();

    const MemoryRegistry& reg = registry.Memory();
    FindWindowsFolders(reg, w);
    AddMachineEnvironment(reg, controlSet, w.environment);
    if (!w.user.name.empty()) AddUserEnvironment(reg, w.user, w.environment);
    return w;
}

std::string OfflineHivesNotWritable(const OfflineWindows& windows) {
    for (const std::string& hive : windows.hives) {
        const HiveCleanliness c = CheckHiveCleanliness(hive);
        if (!c.clean) return "\"" + hive + "\": " + c.reason;
    }
    return "";
}

}  // namespace qm

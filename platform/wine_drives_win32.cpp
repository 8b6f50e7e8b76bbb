// Under Wine every drive letter is a folder of the host: "C:" the prefix's
// drive_c, and by default "Z:" the whole Unix file system, which Wine reports
// as a fixed drive like any other. Wine's mount manager tells the folder a
// letter stands for (IOCTL_MOUNTMGR_QUERY_UNIX_DRIVE, the request winecfg
// makes): a path relative to the prefix's "dosdevices" folder, or an
// absolute one. The prefix itself is where Wine keeps the Windows
// directory's drive: "<prefix>/dosdevices/c:/windows".
#include "platform/wine_drives_win32.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "platform/handles_win32.h"

namespace qm {

namespace {

// Wine's mount manager request and reply (include/ddk/mountmgr.h in Wine).
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kIoctlQueryUnixDrive = CTL_CODE(static_cast<ULONG>('m'), 33, METHOD_BUFFERED, FILE_READ_ACCESS);

using UnixFileName = char*(CDECL*)(LPCWSTR);

// Wine's kernel32 export that maps a Windows path to a host path; null on
// Windows.
UnixFileName WineUnixFileName() {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")));
}

std::string HostPathOf(UnixFileName toUnix, const std::string& windowsPath) {
    WCHAR wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0) return {};
    char* unix = toUnix(wide);
    if (unix == nullptr) return {};
    std::string out(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

// "." and ".." resolved, doubled and trailing "/" dropped: "/" stays "/".
std::string Normalized(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (from <= path.size()) {
        auto slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string part = path.substr(from, slash - from);
        from = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else {
            parts.push_back(part);
        }
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

// The prefix folder: the part of the Windows directory's host path before
// "/dosdevices/"; failing that, WINEPREFIX.
std::string WinePrefix(UnixFileName toUnix) {
    char windows[MAX_PATH];
    const UINT n = ::GetWindowsDirectoryA(windows, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        const std::string host = HostPathOf(toUnix, std::string(windows, n));
        const auto at = host.find("/dosdevices/");
        if (at != std::string::npos) return Normalized(host.substr(0, at));
    }
    char env[MAX_PATH];
    const DWORD m = ::GetEnvironmentVariableA("WINEPREFIX", env, MAX_PATH);
    if (m > 0 && m < MAX_PATH && env[0] == '/') return Normalized(std::string(env, m));
    return {};
}

// The host folder the mount manager has for the letter, as stored; empty
// when it has none.
std::string MountPoint(char letter) {
    Win32Handle manager(::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    if (!manager) return {};
    WineUnixDrive request{};
    request.size = sizeof request;
    request.letter = static_cast<WCHAR>(letter | 0x20);
    std::vector<char> reply(sizeof(WineUnixDrive) + 4 * MAX_PATH, 0);
    DWORD returned = 0;
    if (!::DeviceIoControl(manager.Get(), kIoctlQueryUnixDrive, &request, sizeof request, reply.data(),
                           static_cast<DWORD>(reply.size()), &returned, nullptr))
        return {};
    const auto* drive = reinterpret_cast<const WineUnixDrive*>(reply.data());
    const std::size_t offset = drive->mountPointOffset;
    if (offset == 0 || offset >= returned || offset >= reply.size()) return {};
    const char* text = reply.data() + offset;
    return std::string(text, strnlen(text, reply.size() - offset));
}

}  // namespace

bool RunsUnderWine() { return WineUnixFileName() != nullptr; }

char WineDriveHolding(const std::string& windowsPath) {
    const UnixFileName toUnix = WineUnixFileName();
    if (toUnix == nullptr) return 0;
    const std::string host = HostPathOf(toUnix, windowsPath);
    if (host.empty() || host[0] != '/') return 0;
    const std::string file = Normalized(host);
    const std::string prefix = WinePrefix(toUnix);
    const DWORD drives = ::GetLogicalDrives();
    char best = 0;
    std::size_t bestLength = 0;
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0) continue;
        const char letter = static_cast<char>('A' + i);
        std::string folder = MountPoint(letter);
        if (folder.empty()) continue;
        if (folder[0] != '/') {
            if (prefix.empty()) continue;
            folder = prefix + "/dosdevices/" + folder;
        }
        folder = Normalized(folder);
        if (folder == "/") continue;
        const bool inside = file == folder || file.compare(0, folder.size() + 1, folder + "/") == 0;
        if (inside && folder.size() > bestLength) {
            best = letter;
            bestLength = folder.size();
        }
    }
    return best;
}

bool IsWineHostFolderDrive(char letter) {
    const UnixFileName toUnix = WineUnixFileName();
    if (toUnix == nullptr) return false;  // Windows itself
    const char root[] = {letter, ':', '\\', '\0'};
    std::string target = MountPoint(letter);
    if (target.empty()) return Normalized(HostPathOf(toUnix, root)) == "/";
    const std::string prefix = WinePrefix(toUnix);
    if (target[0] != '/') {
        if (prefix.empty()) return false;  // relative to a prefix not known: inside it
        target = prefix + "/dosdevices/" + target;
    }
    target = Normalized(target);
    if (target == "/") return true;
    if (prefix.empty()) return false;
    const bool inside = target == prefix || target.compare(0, prefix.size() + 1, prefix + "/") == 0;
    return !inside;
}

}  // namespace qm

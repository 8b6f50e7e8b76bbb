// Wine only: a drive letter of the test's prefix mapped onto a host folder for
// the life of the object, through Wine's mount manager (the request winecfg
// makes), so that the drive is listed by GetLogicalDriveStringsA as a fixed
// drive. Also runs host commands (ln -s) for things Win32 cannot make under
// Wine, such as a directory symlink.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/handles_win32.h"

namespace qm::test {

// Wine's own mount manager request (include/ddk/mountmgr.h in Wine).
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
constexpr DWORD kIoctlDefineUnixDrive =
    CTL_CODE(static_cast<ULONG>('m'), 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// The host path of a Windows path (Wine's wine_get_unix_file_name); empty
// when not running under Wine.
inline std::string HostPathOf(const std::string& windowsPath) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) return std::string();
    WCHAR wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0)
        return std::string();
    char* unix = toUnix(wide);
    if (unix == nullptr) return std::string();
    std::string out(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

inline bool DefineWineDrive(char letter, const std::string& hostFolder, ULONG type) {
    const Win32Handle manager(::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    if (!manager) return false;
    std::vector<char> buffer(sizeof(WineUnixDrive) + hostFolder.size() + 1, 0);
    auto* request = reinterpret_cast<WineUnixDrive*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->type = type;
    request->letter = static_cast<WCHAR>(letter | 0x20);
    if (!hostFolder.empty()) {
        std::memcpy(buffer.data() + sizeof(WineUnixDrive), hostFolder.c_str(), hostFolder.size());
        request->mountPointOffset = sizeof(WineUnixDrive);
    }
    DWORD returned = 0;
    return ::DeviceIoControl(manager.Get(), kIoctlDefineUnixDrive, buffer.data(),
                             static_cast<DWORD>(buffer.size()), nullptr, 0, &returned,
                             nullptr) != FALSE;
}

// Starts a host program (Wine runs host executables given by host path) and
// waits until `done` holds, for at most ten seconds: Wine gives no process
// handle for a host program, so its effect is what can be waited for.
template <typename Done>
bool RunHostCommand(const std::string& program, const std::vector<std::string>& args, Done done) {
    std::string commandLine = program;
    for (const std::string& a : args) commandLine += " \"" + a + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    // For a host program Wine returns no process handle and leaves the thread
    // handle field unset: closing it would close some other handle.
    if (process.hProcess != nullptr) {
        Win32Handle(process.hProcess).Close();
        Win32Handle(process.hThread).Close();
    }
    for (int waited = 0; waited < 10000; waited += 10) {
        if (done()) return true;
        ::Sleep(10);
    }
    return done();
}

// A fixed drive `letter` standing for the Windows folder `folder` (created if
// missing) while the object lives.
class ScratchDrive {
public:
    ScratchDrive(char letter, const std::string& folder) : letter_(letter) {
        ::CreateDirectoryA(folder.c_str(), nullptr);
        hostFolder_ = HostPathOf(folder);
        ok_ = !hostFolder_.empty() && DefineWineDrive(letter, hostFolder_, DRIVE_FIXED);
    }
    ~ScratchDrive() {
        if (ok_) DefineWineDrive(letter_, std::string(), DRIVE_NO_ROOT_DIR);
    }
    ScratchDrive(const ScratchDrive&) = delete;
    ScratchDrive& operator=(const ScratchDrive&) = delete;

    bool ok() const { return ok_; }
    const std::string& HostFolder() const { return hostFolder_; }
    // "Q:"
    std::string Root() const { return std::string(1, letter_) + ":"; }

private:
    char letter_;
    std::string hostFolder_;
    bool ok_ = false;
};

}  // namespace qm::test

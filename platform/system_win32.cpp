#include "platform/system_win32.h"

#include <windows.h>
#undef ExpandEnvironmentStrings
#undef GetSystemDirectory
#undef GetWindowsDirectory
#undef GetEnvironmentVariable

#include <io.h>

#include <atomic>

namespace qm {

namespace {
constexpr DWORD kBufferSize = 256;
}  // namespace

bool Win32System::FileExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

std::string Win32System::ExpandEnvironmentStrings(const std::string& text) {
    char buffer[kBufferSize];
    // The result counts the terminating zero; more than the buffer means the
    // buffer holds nothing usable.
    const DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), buffer, kBufferSize);
    if (needed == 0 || needed > kBufferSize) return text;
    return std::string(buffer);
}

std::string Win32System::GetSystemDirectory() {
    char buffer[kBufferSize];
    // Success gives the length without the zero; too small a buffer gives the
    // size needed, which is at least the buffer's.
    const UINT len = ::GetSystemDirectoryA(buffer, kBufferSize);
    if (len == 0 || len >= kBufferSize) return std::string();
    return std::string(buffer, len);
}

std::string Win32System::GetWindowsDirectory() {
    char buffer[kBufferSize];
    const UINT len = ::GetWindowsDirectoryA(buffer, kBufferSize);
    if (len == 0 || len >= kBufferSize) return std::string();
    return std::string(buffer, len);
}

std::uint32_t Win32System::GetVersion() { return ::GetVersion(); }

bool Win32System::GetEnvironmentVariable(const std::string& name, std::string& value) {
    std::string buffer(kBufferSize, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length = ::GetEnvironmentVariableA(name.c_str(), &buffer[0], DWORD(buffer.size()));
        if (length == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            value.clear();  // set, but empty
            return true;
        }
        if (length < buffer.size()) {
            value.assign(buffer.data(), length);
            return true;
        }
        buffer.assign(length + 1, '\0');  // the size needed, zero included
    }
    return false;
}

bool Win32System::IsDirectory(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32System::IsLocalDrive(char letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    const UINT type = ::GetDriveTypeA(root);
    return type == DRIVE_FIXED || type == DRIVE_RAMDISK;
}

namespace {
std::atomic<ISystem*> g_system{nullptr};
}  // namespace

ISystem& DefaultSystem() {
    if (ISystem* chosen = g_system.load()) return *chosen;
    static Win32System real;
    return real;
}

void SetDefaultSystem(ISystem* system) { g_system.store(system); }

}  // namespace qm

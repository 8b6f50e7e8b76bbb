// Files and environment as the engine's file test sees them: existence,
// environment expansion, the system and Windows directories, the platform
// version. Win32 backend: the real calls; portable backend: a table in memory
// (tests) or, later, a folder tree standing for the drives.
#pragma once

#include <cstdint>
#include <string>

// <windows.h> turns these names into macros for their ...A forms; a file that
// includes it before this header sees the interface's own names all the same
// (one that includes it afterwards must drop the macros itself).
#ifdef ExpandEnvironmentStrings
#undef ExpandEnvironmentStrings
#endif
#ifdef GetSystemDirectory
#undef GetSystemDirectory
#endif
#ifdef GetWindowsDirectory
#undef GetWindowsDirectory
#endif

namespace qm {

class ISystem {
public:
    virtual ~ISystem() = default;
    // True when `_access(path, 0)` succeeds: a file or a directory exists.
    virtual bool FileExists(const std::string& path) = 0;
    // ExpandEnvironmentStringsA: every %NAME% the environment knows is
    // replaced; unknown variables stay as written.
    virtual std::string ExpandEnvironmentStrings(const std::string& text) = 0;
    virtual std::string GetSystemDirectory() = 0;   // e.g. "C:\Windows\System32"
    virtual std::string GetWindowsDirectory() = 0;  // e.g. "C:\Windows"
    // GetVersion(): the top bit set means the Windows 95/98/Me family.
    virtual std::uint32_t GetVersion() = 0;
};

ISystem& DefaultSystem();
void SetDefaultSystem(ISystem* system);

}  // namespace qm

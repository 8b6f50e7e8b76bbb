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
#ifdef GetEnvironmentVariable
#undef GetEnvironmentVariable
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

    // The value of the environment variable `name` in full (no length
    // limit); false when it is not set. By default through the expansion of
    // "%name%".
    virtual bool GetEnvironmentVariable(const std::string& name, std::string& value);
    // True when `path` names an existing directory (not a file). By default
    // nothing is known to be a directory.
    virtual bool IsDirectory(const std::string& path);
    // True when what is stored on drive `letter` can be judged from this
    // machine: the drive is there and local (fixed or RAM disk), not a
    // removable, optical or network drive, whose files may simply be out of
    // reach. By default every drive is.
    virtual bool IsLocalDrive(char letter);
    // True when a path found missing on a local drive may be there all the
    // same, which this machine cannot tell: a folder on the way may not be
    // read, or a short name ("PROGRA~1") cannot be resolved. Asked only of
    // paths found missing. By default the file system's answer stands.
    virtual bool PresenceUnknown(const std::string& path);
};

ISystem& DefaultSystem();
void SetDefaultSystem(ISystem* system);

}  // namespace qm

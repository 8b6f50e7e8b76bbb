// Files and environment held in memory, behaving as the Win32 calls do:
// - paths compared without regard to case (ASCII and Windows-1252 letters),
//   "/" and "\\" alike, trailing separators, "." and ".." components resolved;
//   adding a file makes every directory above it exist;
// - environment names compared without regard to case; expansion follows
//   ExpandEnvironmentStringsA: each %NAME% of a known variable is replaced,
//   an unknown or empty one stays as written (both "%" kept) and scanning goes
//   on after it, a "%" without a closing one stays as it is;
// - the results are limited as the Win32 backend limits them (256-byte
//   buffers): an expansion that does not fit gives the text unexpanded, a
//   directory of 256 characters or more gives "".
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/system.h"

#ifdef _WIN32
#undef SetEnvironmentVariable  // a <windows.h> macro, when a file included it first
#endif

namespace qm {

class MemorySystem : public ISystem {
public:
    // GetVersion() of Windows XP (NT family) and of Windows 98.
    static constexpr std::uint32_t kVersionNt = 0x0A280105u;
    static constexpr std::uint32_t kVersionWin98 = 0xC0000A04u;

    // Starts with the Windows directory "C:\Windows", the system directory
    // "C:\Windows\System32" (both existing), an NT version and the variables
    // SystemDrive, SystemRoot, windir, ProgramFiles and CommonProgramFiles, and
    // their "(x86)" forms.
    MemorySystem();

    bool FileExists(const std::string& path) override;
    std::string ExpandEnvironmentStrings(const std::string& text) override;
    std::string GetSystemDirectory() override;
    std::string GetWindowsDirectory() override;
    std::uint32_t GetVersion() override;
    bool GetEnvironmentVariable(const std::string& name, std::string& value) override;
    // A path with something added below it, or one of the two directories.
    bool IsDirectory(const std::string& path) override;
    // A drive with some path on it (the Windows directory's drive always).
    bool IsLocalDrive(char letter) override;

    // A file (or directory) and every directory above it.
    void AddFile(const std::string& path);
    void AddDirectory(const std::string& path) { AddFile(path); }
    // Removes the path and everything below it.
    void RemovePath(const std::string& path);

    void SetEnvironmentVariable(const std::string& name, const std::string& value);
    void RemoveEnvironmentVariable(const std::string& name);

    // The directories are also added as existing paths.
    void SetSystemDirectory(const std::string& dir);
    void SetWindowsDirectory(const std::string& dir);
    void SetVersion(std::uint32_t version);
    // Shorthand for SetVersion(kVersionWin98) / SetVersion(kVersionNt).
    void SetWin9xFamily(bool win9x);

    // The canonical form paths are compared in (upper case, "\\", no trailing
    // separator, "." and ".." resolved).
    static std::string NormalizePath(const std::string& path);

private:
    void AddFileLocked(const std::string& path);

    std::mutex mutex_;
    std::set<std::string> paths_;                           // normalised
    std::map<std::string, std::pair<std::string, std::string>> env_;  // folded name -> (name, value)
    std::string systemDir_;
    std::string windowsDir_;
    std::uint32_t version_ = kVersionNt;
};

}  // namespace qm

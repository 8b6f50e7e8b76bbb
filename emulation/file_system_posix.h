// The portable file system: Windows paths looked up in host folders through a
// DriveMap (emulation/drive_map.h), with Win32 behaviour where the shortcut
// scan depends on it:
// - FindFirstFileA lists "." and ".." in every folder but a drive's root,
//   matches * and ? without regard to ASCII case, and skips host names that
//   a Windows path cannot hold (names with a backslash);
// - a symbolic link has kFileAttributeReparsePoint, plus
//   kFileAttributeDirectory when it leads to a directory; a file without the
//   owner's write permission is read-only; a name starting with "." is hidden;
// - DeleteFileA refuses directories and read-only files; SetFileAttributesA
//   sets or clears the read-only state (write permission).
// Every mapped letter is a fixed drive unless SetDriveType says otherwise.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "emulation/drive_map.h"
#include "platform/file_system.h"

namespace qm {

class PosixFileSystem : public IFileSystem {
public:
    // `drives` must outlive this object; its mapping may change in between calls.
    explicit PosixFileSystem(const DriveMap& drives);

    void SetDriveType(char letter, std::uint32_t type);

    std::vector<std::string> GetLogicalDriveStringsA() override;
    std::uint32_t GetDriveTypeA(const std::string& root) override;
    std::unique_ptr<FindHandle> FindFirstFileA(const std::string& pattern, FindData& data) override;
    bool GetFileIdentity(const std::string& path, FileIdentity& identity) override;
    std::uint32_t GetFileAttributesA(const std::string& path) override;
    bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) override;
    bool DeleteFileA(const std::string& path) override;
    bool Access(const std::string& path) override;
    bool PresenceUnknown(const std::string& path) override;
    // The mapped drive whose folder holds the link's target once every link
    // on the way is resolved (the deepest, where one drive's folder lies in
    // another's).
    char LinkTargetDrive(const std::string& path) override;
    bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes,
                       std::size_t limit) override;
    bool CreateFileWithBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) override;

    const DriveMap& Drives() const { return drives_; }

private:
    const DriveMap& drives_;
    std::map<char, std::uint32_t> types_;
};

// Matches a name against a pattern of * and ? without regard to ASCII case,
// as FindFirstFileA does ("*.*" and "*" match every name).
bool MatchesFilePattern(const std::string& pattern, const std::string& name);

// The drives the native DefaultFileSystem() and DefaultShortcutResolver()
// work on: empty until the program maps some (before any scan starts).
DriveMap& DefaultFileSystemDrives();

}  // namespace qm

// Files and drives as the shortcut scan sees them: the logical drives and
// their types, directory enumeration (FindFirstFileA / FindNextFileA /
// FindClose), the identity of a directory, file attributes, deletion and the
// existence test `_access(path, 0)`. Paths are Windows paths in the ANSI code
// page ("C:\Users\x\Desktop\a.lnk").
//
// Win32 backend: the real calls. Portable backend: a folder of the host for
// each drive letter (emulation/drive_map.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qm {

// GetDriveTypeA results.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;
constexpr std::uint32_t kDriveCdrom = 5;
constexpr std::uint32_t kDriveRamdisk = 6;

// File attribute bits.
constexpr std::uint32_t kFileAttributeReadonly = 0x1;
constexpr std::uint32_t kFileAttributeHidden = 0x2;
constexpr std::uint32_t kFileAttributeSystem = 0x4;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeArchive = 0x20;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
// Symbolic links, junctions and other reparse points (on a link to a
// directory, together with kFileAttributeDirectory).
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

// What makes a file or directory itself: two paths with equal identities name
// the same object (volume serial number and file index on Windows, device and
// inode on the host).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
        return a.volume == b.volume && a.index == b.index;
    }
    friend bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }
};

// One entry of a directory enumeration (the parts of WIN32_FIND_DATAA used).
struct FindData {
    std::uint32_t attributes = 0;
    std::string name;  // cFileName: the bare name, no folder
    // The entry's identity, when the enumeration had it at no extra cost
    // (natively; Win32 enumerations leave it unset: ask GetFileIdentity).
    bool hasIdentity = false;
    FileIdentity identity;
    // The entry's file index on the volume of the folder listed, when the
    // listing had it at no extra cost (Win32 ListFolder). For a reparse point
    // it may be the link's own index or its target's: ask GetFileIdentity.
    bool hasFileIndex = false;
    std::uint64_t fileIndex = 0;
};

// An open enumeration; destroying it is FindClose.
class FindHandle {
public:
    virtual ~FindHandle() = default;
    // FindNextFileA: false at the end or on any error.
    virtual bool FindNextFileA(FindData& data) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // GetLogicalDriveStringsA: the root path of each drive ("C:\"), in
    // drive-letter order.
    virtual std::vector<std::string> GetLogicalDriveStringsA() = 0;
    // GetDriveTypeA(root), root as returned above; kDriveNoRootDir for a
    // drive that does not exist.
    virtual std::uint32_t GetDriveTypeA(const std::string& root) = 0;

    // FindFirstFileA(pattern): `pattern` is a folder, a backslash and a name
    // pattern with the wildcards * and ? ("C:\Users\*.*", "C:\x\*.lnk").
    // Returns null when nothing matches or the folder cannot be read;
    // otherwise the first entry is in `data`.
    virtual std::unique_ptr<FindHandle> FindFirstFileA(const std::string& pattern,
                                                      FindData& data) = 0;

    // Every entry of `folder` ("C:\Users", or "C:" for a drive's root), as
    // FindFirstFileA(folder + "\*.*") and FindNextFileA list them, in one
    // call; false (and nothing listed) when the folder cannot be read. The
    // default lists through FindFirstFileA; the Win32 backend reads the
    // directory in large blocks that carry each entry's file index.
    virtual bool ListFolder(const std::string& folder, std::vector<FindData>& entries);

    // The identity of an existing file or directory (links followed); false
    // when it cannot be had.
    virtual bool GetFileIdentity(const std::string& path, FileIdentity& identity) = 0;

    // GetFileAttributesA: kInvalidFileAttributes when the path does not exist.
    virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;
    // SetFileAttributesA: only the read-only bit has an effect on the host.
    virtual bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) = 0;
    // DeleteFileA: fails for a directory and for a read-only file.
    virtual bool DeleteFileA(const std::string& path) = 0;
    // `_access(path, 0) == 0`: a file or a directory exists at the path.
    virtual bool Access(const std::string& path) = 0;

    // True for a drive that Wine maps onto the host's whole file system (the
    // Unix root, its "Z:") or onto a host folder outside the Wine prefix: the
    // host's own files, not the Windows installation's. `root` as returned by
    // GetLogicalDriveStringsA. False on Windows and for the drive folders of
    // the portable backend.
    virtual bool IsHostFolderDrive(const std::string& root);
    // The drive a link (symbolic link, junction) at `path` leads onto: the
    // upper-case letter of the drive that holds its target's own place, as
    // the system names it (under Wine a host folder outside every drive of
    // the prefix is on "Z:", the host's root; natively the mapped drive whose
    // folder holds it); 0 when the target is on no drive or cannot be had;
    // kAnyDrive where the system cannot tell (a volume mounted in a folder on
    // Windows) and the link may be followed as before.
    static constexpr char kAnyDrive = '*';
    virtual char LinkTargetDrive(const std::string& path);
    // As ISystem::PresenceUnknown: a path found missing (Access false) that
    // may be there all the same. False on Windows, whose file system
    // answers for itself.
    virtual bool PresenceUnknown(const std::string& path);

    // The whole content of a regular file; false when it cannot be read or
    // holds more than `limit` bytes.
    virtual bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes,
                               std::size_t limit) {
        (void)path, (void)bytes, (void)limit;
        return false;
    }
    // Creates a new file holding `bytes`; never replaces an existing one.
    // False when it cannot, with no file left behind.
    virtual bool CreateFileWithBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        (void)path, (void)bytes;
        return false;
    }
};

// The process's file system: the real one in the Windows build; natively the
// drives of DefaultFileSystemDrives() (emulation/file_system_posix.h), with no drives
// until some are mapped.
IFileSystem& DefaultFileSystem();
// Replaces what DefaultFileSystem returns (not owned); null restores the
// platform's own.
void SetDefaultFileSystem(IFileSystem* fileSystem);

}  // namespace qm

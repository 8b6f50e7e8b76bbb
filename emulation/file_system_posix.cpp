#include "emulation/file_system_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/directory_stream_posix.h"
#include "platform/file_descriptor_posix.h"

namespace qm {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::uint32_t AttributesOf(const struct stat& st, const char* name) {
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= kFileAttributeDirectory;
    else attributes |= kFileAttributeArchive;
    if ((st.st_mode & S_IWUSR) == 0 && !S_ISDIR(st.st_mode)) attributes |= kFileAttributeReadonly;
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
        attributes |= kFileAttributeHidden;
    return attributes;
}

// The attributes of the entry `name` of the open directory `dir`; false when it
// has gone. A symbolic link is a reparse point, a directory one when its target
// is a directory. The identity is set for anything but a link.
bool EntryAttributes(int dir, const char* name, std::uint32_t& attributes,
                     FindData* identity = nullptr) {
    struct stat st;
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (!S_ISLNK(st.st_mode)) {
        attributes = AttributesOf(st, name);
        if (identity != nullptr) {
            identity->hasIdentity = true;
            identity->identity.volume = static_cast<std::uint64_t>(st.st_dev);
            identity->identity.index = static_cast<std::uint64_t>(st.st_ino);
        }
        return true;
    }
    attributes = kFileAttributeReparsePoint;
    struct stat target;
    if (::fstatat(dir, name, &target, 0) == 0 && S_ISDIR(target.st_mode))
        attributes |= kFileAttributeDirectory;
    return true;
}

// NTFS lists "." and ".." first, then the names in upper-case order.
bool ListedBefore(const FindData& a, const FindData& b) {
    const bool aDot = a.name == "." || a.name == "..";
    const bool bDot = b.name == "." || b.name == "..";
    if (aDot != bDot) return aDot;
    const std::size_t n = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = static_cast<unsigned char>(AsciiUpper(a.name[i]));
        const unsigned char cb = static_cast<unsigned char>(AsciiUpper(b.name[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;
}

// The entries read when the enumeration started, handed out one by one.
class ListedFind : public FindHandle {
public:
    explicit ListedFind(std::vector<FindData> entries) : entries_(std::move(entries)) {}
    bool FindNextFileA(FindData& data) override {
        if (next_ >= entries_.size()) return false;
        data = std::move(entries_[next_++]);
        return true;
    }

private:
    std::vector<FindData> entries_;
    std::size_t next_ = 1;  // entry 0 went out with FindFirstFileA
};

}  // namespace

bool MatchesFilePattern(const std::string& pattern, const std::string& name) {
    if (pattern == "*" || pattern == "*.*") return true;
    // Iterative wildcard match with backtracking to the last '*'.
    std::size_t p = 0, n = 0, star = std::string::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || AsciiUpper(pattern[p]) == AsciiUpper(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

PosixFileSystem::PosixFileSystem(const DriveMap& drives) : drives_(drives) {}

void PosixFileSystem::SetDriveType(char letter, std::uint32_t type) {
    types_[AsciiUpper(letter)] = type;
}

std::vector<std::string> PosixFileSystem::GetLogicalDriveStringsA() {
    std::vector<std::string> roots;
    for (char letter : drives_.Letters()) roots.push_back(std::string(1, letter) + ":\\");
    return roots;
}

std::uint32_t PosixFileSystem::GetDriveTypeA(const std::string& root) {
    if (root.size() < 2 || root[1] != ':') return kDriveNoRootDir;
    if (root.size() > 3 || (root.size() == 3 && root[2] != '\\' && root[2] != '/'))
        return kDriveNoRootDir;
    const char letter = AsciiUpper(root[0]);
    if (drives_.Folder(letter) == nullptr) return kDriveNoRootDir;
    const auto it = types_.find(letter);
    return it == types_.end() ? kDriveFixed : it->second;
}

std::unique_ptr<FindHandle> PosixFileSystem::FindFirstFileA(const std::string& pattern,
                                                           FindData& data) {
    const std::size_t slash = pattern.find_last_of("\\/");
    if (slash == std::string::npos) return nullptr;
    const std::string folder = pattern.substr(0, slash);
    const std::string namePattern = pattern.substr(slash + 1);
    if (namePattern.empty()) return nullptr;

    const auto host = drives_.ToHostPath(folder.size() == 2 ? folder + "\\" : folder);
    if (!host) return nullptr;
    const std::string* rootFolder = drives_.Folder(folder[0]);
    const bool atRoot = rootFolder != nullptr && *host == *rootFolder;

    const DirectoryStream dir(::opendir(host->c_str()));
    if (!dir) return nullptr;
    const int fd = ::dirfd(dir.Get());
    std::vector<FindData> entries;
    while (const dirent* e = ::readdir(dir.Get())) {
        const char* name = e->d_name;
        const bool dots = std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
        if (dots && atRoot) continue;
        if (std::strchr(name, '\\') != nullptr) continue;
        if (!MatchesFilePattern(namePattern, name)) continue;
        FindData entry;
        if (!EntryAttributes(fd, name, entry.attributes, &entry)) continue;
        entry.name = name;
        entries.push_back(std::move(entry));
    }
    if (entries.empty()) return nullptr;
    std::sort(entries.begin(), entries.end(), ListedBefore);
    data = entries.front();
    return std::make_unique<ListedFind>(std::move(entries));
}

bool PosixFileSystem::GetFileIdentity(const std::string& path, FileIdentity& identity) {
    const auto host = drives_.ToHostPath(path);
    if (!host) return false;
    struct stat st;
    if (::stat(host->c_str(), &st) != 0) return false;
    identity.volume = static_cast<std::uint64_t>(st.st_dev);
    identity.index = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

std::uint32_t PosixFileSystem::GetFileAttributesA(const std::string& path) {
    const auto host = drives_.ToHostPath(path);
    if (!host) return kInvalidFileAttributes;
    const std::size_t slash = host->find_last_of('/');
    const std::string dirName = slash == 0 ? "/" : host->substr(0, slash);
    const std::string name = host->substr(slash + 1);
    const FileDescriptor dir(::open(dirName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return kInvalidFileAttributes;
    std::uint32_t attributes = kInvalidFileAttributes;
    if (!EntryAttributes(dir.Get(), name.empty() ? "." : name.c_str(), attributes))
        attributes = kInvalidFileAttributes;
    return attributes;
}

bool PosixFileSystem::SetFileAttributesA(const std::string& path, std::uint32_t attributes) {
    const auto host = drives_.ToHostPath(path);
    if (!host) return false;
    struct stat st;
    if (::stat(host->c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & kFileAttributeReadonly) mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else mode |= S_IWUSR;
    return ::chmod(host->c_str(), mode) == 0;
}

bool PosixFileSystem::DeleteFileA(const std::string& path) {
    const auto host = drives_.ToHostPath(path);
    if (!host) return false;
    struct stat st;
    if (::lstat(host->c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return false;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (::stat(host->c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return false;
    } else if ((st.st_mode & S_IWUSR) == 0) {
        return false;  // read-only
    }
    return ::unlink(host->c_str()) == 0;
}

bool PosixFileSystem::Access(const std::string& path) {
    const auto host = drives_.ToHostPath(path);
    if (!host) return false;
    return ::access(host->c_str(), F_OK) == 0;
}

char PosixFileSystem::LinkTargetDrive(const std::string& path) {
    const auto host = drives_.ToHostPath(path);
    if (!host) return 0;
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(host->c_str(), nullptr), &std::free);
    if (!real) return 0;
    const std::string target = real.get();
    char best = 0;
    std::size_t bestLength = 0;
    for (const char letter : drives_.Letters()) {
        const std::unique_ptr<char, decltype(&std::free)> root(::realpath(drives_.Folder(letter)->c_str(), nullptr),
                                                               &std::free);
        if (!root) continue;
        std::string folder = root.get();
        if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        const bool inside = target == folder || folder == "/" ||
                            (target.compare(0, folder.size(), folder) == 0 && target[folder.size()] == '/');
        if (inside && (best == 0 || folder.size() > bestLength)) {
            best = letter;
            bestLength = folder.size();
        }
    }
    return best;
}

bool PosixFileSystem::PresenceUnknown(const std::string& path) {
    return drives_.Look(path) == DriveMap::Presence::Unknown;
}

bool PosixFileSystem::ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes,
                                    std::size_t limit) {
    bytes.clear();
    const auto host = drives_.ToHostPath(path);
    if (!host) return false;
    const FileDescriptor fd(::open(host->c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return false;
    struct stat st;
    bool ok = ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<std::uint64_t>(st.st_size) <= limit;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ok = false;
            else done += static_cast<std::size_t>(n);
        }
        // The file must end where its size said.
        char extra;
        if (ok && ::read(fd.Get(), &extra, 1) != 0) ok = false;
    }
    if (!ok) bytes.clear();
    return ok;
}

bool PosixFileSystem::CreateFileWithBytes(const std::string& path,
                                          const std::vector<std::uint8_t>& bytes) {
    const auto host = drives_.ToHostPath(path);
    if (!host) return false;
    FileDescriptor fd(::open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd.Get()) != 0) ok = false;
    if (!fd.Close()) ok = false;
    if (!ok) ::unlink(host->c_str());
    return ok;
}

DriveMap& DefaultFileSystemDrives() {
    static DriveMap drives;
    return drives;
}

namespace {
std::atomic<IFileSystem*> g_fileSystem{nullptr};
}  // namespace

IFileSystem& DefaultFileSystem() {
    if (IFileSystem* chosen = g_fileSystem.load()) return *chosen;
    static PosixFileSystem fallback(DefaultFileSystemDrives());
    return fallback;
}

void SetDefaultFileSystem(IFileSystem* fileSystem) { g_fileSystem.store(fileSystem); }

}  // namespace qm

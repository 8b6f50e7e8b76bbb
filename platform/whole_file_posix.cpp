#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_descriptor_posix.h"
#include "platform/whole_file.h"

namespace qm {
namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string AtomicTempName(const std::string& path) {
    return path + "." + std::to_string(static_cast<long long>(::getpid())) + ".tmp";
}

ReadStatus ReadWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
                         std::string& error) {
    bytes.clear();
    error.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int e = errno;
        error = "cannot open " + Quoted(path) + ": " + std::strerror(e);
        return e == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
        return ReadStatus::Failed;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "cannot read " + Quoted(path) + ": it is a folder";
        return ReadStatus::Failed;
    }
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        error = "cannot read " + Quoted(path) + ": it is a device, not a file";
        return ReadStatus::Failed;
    }
    const std::string tooLarge = Quoted(path) + " is larger than " + DescribeSize(limit) + ", more than this program reads";
    if (S_ISREG(st.st_mode)) {
        if (static_cast<std::uint64_t>(st.st_size) > limit) {
            error = tooLarge;
            return ReadStatus::TooLarge;
        }
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    }
    // Devices and pipes tell no size: read until the end or past the limit.
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
            bytes.clear();
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::uint64_t>(n) > limit) {
            error = tooLarge;
            bytes.clear();
            bytes.shrink_to_fit();
            return ReadStatus::TooLarge;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return ReadStatus::Read;
}

bool ReplaceFileAtomically(const std::string& path, const void* data, std::size_t size,
                           std::string& error) {
    error.clear();
    mode_t mode = 0666;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = "cannot write " + Quoted(path) + ": it is a folder";
            return false;
        }
        // Without the owner's write permission the file is read-only, as
        // Windows would have it (root may write anything, but the user asked
        // for the file to stay as it is).
        if ((st.st_mode & S_IWUSR) == 0) {
            error = "cannot write " + Quoted(path) + ": the file is read-only";
            return false;
        }
        mode = st.st_mode & 07777;
    }
    const std::string temp = AtomicTempName(path);
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (fd.Get() < 0) {
        error = "cannot write " + Quoted(path) + ": " + std::strerror(errno);
        return false;
    }
    auto fail = [&](int e) {
        fd.Close();
        ::unlink(temp.c_str());
        error = "cannot write " + Quoted(path) + ": " + std::strerror(e);
        return false;
    };
    // The file's own permissions, not the creation mask's.
    if (mode != 0666 && ::fchmod(fd.Get(), mode) != 0) return fail(errno);
    const char* p = static_cast<const char*>(data);
    std::size_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd.Get(), p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd.Get()) != 0) return fail(errno);
    if (!fd.Close()) return fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        error = "cannot write " + Quoted(path) + ": " + std::strerror(e);
        return false;
    }
    // The rename itself reaches the disk with the folder's entries.
    FileDescriptor dir(::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
    return true;
}

}  // namespace qm

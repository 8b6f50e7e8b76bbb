#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/file_descriptor_posix.h"
#include "platform/file_lock.h"

namespace qm {

ExclusiveFileLock::Result ExclusiveFileLock::Lock(const std::string& path, std::uint32_t waitMs,
                                                  const std::function<void()>& waiting,
                                                  std::string& error) {
    Unlock();
    error.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    bool told = false;
    for (;;) {
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            error = "cannot lock \"" + path + "\": " + std::strerror(errno);
            return Result::Failed;
        }
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
            // The file locked must still be the one at the path: the previous
            // holder may have renamed a new file over it meanwhile.
            struct stat held {}, now {};
            if (::fstat(fd.Get(), &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
                held.st_ino == now.st_ino) {
                handle_.Reset(fd.Release());
                return Result::Locked;
            }
            continue;
        }
        const int e = errno;
        fd.Reset();
        if (e != EWOULDBLOCK && e != EINTR) {
            error = "cannot lock \"" + path + "\": " + std::strerror(e);
            return Result::Failed;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = "\"" + path + "\" stays locked by another run";
            return Result::TimedOut;
        }
        if (!told && waiting) waiting();
        told = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ExclusiveFileLock::Traits::Close(Handle h) { return ::close(static_cast<int>(h)) == 0; }

}  // namespace qm

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/unbuffered_file.h"

namespace qm {

UnbufferedFile::OpenResult UnbufferedFile::CreateNew(const std::string& name) {
    Close();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? OpenResult::Exists : OpenResult::Failed;
    handle_.Reset(fd);
    return OpenResult::Opened;
}

bool UnbufferedFile::Write(const char* data, std::size_t length) {
    if (!IsOpen()) return false;
    while (length > 0) {
        const ssize_t n = ::write(static_cast<int>(handle_.Get()), data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool UnbufferedFile::Traits::Close(Handle h) { return ::close(static_cast<int>(h)) == 0; }

}  // namespace qm

// The owner (platform/unique_handle.h) of a POSIX file descriptor.
#pragma once

#include <unistd.h>

#include "platform/unique_handle.h"

namespace qm {

struct FileDescriptorTraits {
    using Handle = int;
    static Handle Invalid() { return -1; }
    static bool Valid(Handle fd) { return fd >= 0; }
    static bool Close(Handle fd) { return ::close(fd) == 0; }
};
using FileDescriptor = UniqueHandle<FileDescriptorTraits>;

}  // namespace qm

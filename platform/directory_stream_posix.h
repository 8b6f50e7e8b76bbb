// The owner (platform/unique_handle.h) of an open POSIX directory listing
// (opendir), closed with closedir.
#pragma once

#include <dirent.h>

#include "platform/unique_handle.h"

namespace qm {

struct DirectoryStreamTraits {
    using Handle = DIR*;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle dir) { return dir != nullptr; }
    static bool Close(Handle dir) { return ::closedir(dir) == 0; }
};
using DirectoryStream = UniqueHandle<DirectoryStreamTraits>;

}  // namespace qm

#include <sys/stat.h>

#include "platform/file_time.h"

namespace qm {

bool FileModificationTime(const std::string& path, std::time_t& time) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    time = st.st_mtime;
    return true;
}

}  // namespace qm

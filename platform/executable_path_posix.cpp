#include "platform/executable_path.h"

#include <unistd.h>

#include <vector>

namespace qm {

std::string RunningExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return std::string();
        if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        if (buffer.size() > 65536) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qm

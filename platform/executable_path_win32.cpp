#include "platform/executable_path.h"

#include <windows.h>

#include <vector>

namespace qm {

std::string RunningExecutablePath() {
    // GetModuleFileNameA cuts the name to the buffer without saying how long
    // it is: grow until it fits.
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size() - 1) return std::string(buffer.data(), length);
        if (buffer.size() > 65536) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qm

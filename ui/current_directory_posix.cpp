#include <unistd.h>

#include <string>
#include <vector>

#include "ui/skin_file.h"

namespace qm {

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (buffer.size() > (1u << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

}  // namespace qm

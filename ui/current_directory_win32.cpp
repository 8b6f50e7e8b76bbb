#include <windows.h>

#include <string>
#include <vector>

#include "ui/skin_file.h"

namespace qm {

std::string CurrentDirectory() {
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return std::string();
    std::vector<char> buffer(needed + 1);
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return std::string();
    return std::string(buffer.data(), length);
}

}  // namespace qm

// Test helper: the UTF-16LE bytes of ASCII text, as the registry editor's
// export files hold it, for searching such files byte by byte.
#pragma once

#include <string>

namespace qm::testing {

inline std::string Utf16Bytes(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

}  // namespace qm::testing

#include "platform/key_path.h"

namespace qm {

std::vector<std::string> KeyPathNames(std::string_view path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::size_t KeyPathDepth(std::string_view path) {
    std::size_t depth = 0;
    bool inName = false;
    for (const char c : path) {
        if (c == '\\') {
            inName = false;
        } else if (!inName) {
            inName = true;
            ++depth;
        }
    }
    return depth;
}

std::string KeyPathRoot(const std::string& fullPath, std::string* subKey) {
    const std::size_t slash = fullPath.find('\\');
    std::string root = fullPath.substr(0, slash);
    if (subKey != nullptr) {
        if (slash == std::string::npos)
            subKey->clear();
        else
            *subKey = fullPath.substr(slash + 1);
    }
    return root;
}

std::string KeyPathParent(const std::string& path, std::string* last) {
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == '\\') --end;
    const std::size_t slash = end == 0 ? std::string::npos : path.rfind('\\', end - 1);
    if (last != nullptr)
        *last = slash == std::string::npos ? path.substr(0, end) : path.substr(slash + 1, end - slash - 1);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace qm

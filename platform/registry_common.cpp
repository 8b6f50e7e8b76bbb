// Root key names and their predefined handles, shared by every backend.
#include "platform/registry.h"

#include "platform/key_path.h"

#include <cstddef>

namespace qm {

namespace {

struct RootName {
    const char* name;
    RegKey key;
};

constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},   {"HKEY_CURRENT_USER", kHkeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine}, {"HKEY_USERS", kHkeyUsers},
    {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
};

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The names are plain ASCII, so an ASCII fold is exact: no multi-byte
// character can match one of their bytes.
bool EqualsIgnoringAsciiCase(const std::string& text, const char* name) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= text.size() || AsciiUpper(text[i]) != name[i]) return false;
    }
    return i == text.size();
}

}  // namespace

RegKey RootKeyFromName(const std::string& name) {
    for (const RootName& root : kRoots) {
        if (EqualsIgnoringAsciiCase(name, root.name)) return root.key;
    }
    return kNullKey;
}

std::string ClassesHivePath(const std::string& fullPath, ClassesHive hive) {
    if (hive == ClassesHive::kMerged) return fullPath;
    std::string subKey;
    if (RootKeyFromName(KeyPathRoot(fullPath, &subKey)) != kHkeyClassesRoot) return fullPath;
    std::string path = hive == ClassesHive::kUser ? "HKEY_CURRENT_USER\\Software\\Classes"
                                                  : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
    if (!subKey.empty()) path += "\\" + subKey;
    return path;
}

std::string RootKeyName(RegKey root) {
    for (const RootName& root_name : kRoots) {
        if (root_name.key == root) return root_name.name;
    }
    return std::string();
}

}  // namespace qm

#include "platform/drive_map.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>

namespace qm {
namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool SameName(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

// The entry of `dir` whose name equals `name` without regard to case; an
// exact match wins over others.
std::optional<std::string> FindEntry(const std::string& dir, const std::string& name) {
    struct stat st;
    const std::string direct = dir + "/" + name;
    if (::lstat(direct.c_str(), &st) == 0) return name;
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), &::closedir);
    if (!d) return std::nullopt;
    while (dirent* e = ::readdir(d.get())) {
        if (SameName(name, e->d_name)) return std::string(e->d_name);
    }
    return std::nullopt;
}

}  // namespace

void DriveMap::Map(char letter, const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    drives_[Upper(letter)] = f;
}

std::vector<char> DriveMap::Letters() const {
    std::vector<char> out;
    for (const auto& d : drives_) out.push_back(d.first);
    return out;
}

const std::string* DriveMap::Folder(char letter) const {
    auto it = drives_.find(Upper(letter));
    return it == drives_.end() ? nullptr : &it->second;
}

std::optional<std::string> DriveMap::ToHostPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return std::nullopt;
    const std::string* root = Folder(windowsPath[0]);
    if (root == nullptr) return std::nullopt;
    if (windowsPath.size() > 2 && windowsPath[2] != '\\' && windowsPath[2] != '/') return std::nullopt;

    // Split into components, dropping empty ones, "." and resolving "..".
    std::vector<std::string> parts;
    std::string cur;
    auto flush = [&parts, &cur]() {
        // Windows drops trailing dots and blanks from a component.
        while (!cur.empty() && (cur.back() == '.' || cur.back() == ' ')) {
            if (cur == "." || cur == "..") break;
            cur.pop_back();
        }
        if (cur == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!cur.empty() && cur != ".") {
            parts.push_back(cur);
        }
        cur.clear();
    };
    for (std::size_t i = 2; i < windowsPath.size(); ++i) {
        const char c = windowsPath[i];
        if (c == '\\' || c == '/') flush();
        else cur.push_back(c);
    }
    flush();

    std::string host = *root;
    bool resolving = true;
    for (const std::string& part : parts) {
        if (part.find_first_of("*?<>|\"") != std::string::npos) resolving = false;
        if (resolving) {
            if (auto found = FindEntry(host, part)) {
                host += "/" + *found;
                continue;
            }
            resolving = false;
        }
        host += "/" + part;
    }
    return host;
}

bool DriveMap::Exists(const std::string& windowsPath) const {
    const auto host = ToHostPath(windowsPath);
    if (!host) return false;
    struct stat st;
    return ::stat(host->c_str(), &st) == 0;
}

bool DriveMap::IsDirectory(const std::string& windowsPath) const {
    const auto host = ToHostPath(windowsPath);
    if (!host) return false;
    struct stat st;
    return ::stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DriveMap::ToWindowsPath(const std::string& hostPath) const {
    for (const auto& d : drives_) {
        const std::string& root = d.second;
        if (hostPath.compare(0, root.size(), root) == 0 &&
            (hostPath.size() == root.size() || hostPath[root.size()] == '/')) {
            std::string rest = hostPath.substr(root.size());
            for (char& c : rest)
                if (c == '/') c = '\\';
            if (rest.empty()) rest = "\\";
            return std::string(1, d.first) + ":" + rest;
        }
    }
    return {};
}

}  // namespace qm

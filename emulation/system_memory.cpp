#include "emulation/system_memory.h"

#include <vector>

namespace qm {

namespace {

constexpr std::size_t kBufferSize = 256;  // the buffers the Win32 backend passes

// Upper case for ASCII and the Windows-1252 letters, byte for byte.
char FoldByte(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 0x20);
    switch (c) {
        case 0x9A: return static_cast<char>(0x8A);  // s caron
        case 0x9C: return static_cast<char>(0x8C);  // oe
        case 0x9E: return static_cast<char>(0x8E);  // z caron
        case 0xFF: return static_cast<char>(0x9F);  // y diaeresis
        default: return ch;
    }
}

std::string Fold(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = FoldByte(c);
    return out;
}

}  // namespace

MemorySystem::MemorySystem() {
    SetWindowsDirectory("C:\\Windows");
    SetSystemDirectory("C:\\Windows\\System32");
    SetEnvironmentVariable("SystemDrive", "C:");
    SetEnvironmentVariable("SystemRoot", "C:\\Windows");
    SetEnvironmentVariable("windir", "C:\\Windows");
    SetEnvironmentVariable("ProgramFiles", "C:\\Program Files");
    SetEnvironmentVariable("CommonProgramFiles", "C:\\Program Files\\Common Files");
    SetEnvironmentVariable("ProgramFiles(x86)", "C:\\Program Files (x86)");
    SetEnvironmentVariable("CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files");
    AddDirectory("C:\\Program Files\\Common Files");
}

std::string MemorySystem::NormalizePath(const std::string& path) {
    std::string text = Fold(path);
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    // A drive ("C:") or UNC ("\\\\server\\share") prefix stays as it is; the
    // components after it are resolved.
    std::string prefix;
    std::size_t pos = 0;
    if (text.size() >= 2 && text[1] == ':') {
        prefix = text.substr(0, 2);
        pos = 2;
    } else if (text.compare(0, 2, "\\\\") == 0) {
        prefix = "\\\\";
        pos = 2;
    } else if (!text.empty() && text[0] == '\\') {
        prefix = "\\";
        pos = 1;
    }
    std::vector<std::string> parts;
    while (pos <= text.size()) {
        std::size_t next = text.find('\\', pos);
        if (next == std::string::npos) next = text.size();
        std::string part = text.substr(pos, next - pos);
        // Windows drops trailing blanks and dots from every component
        // ("C:\\x.exe " names "C:\\x.exe").
        if (part != "." && part != "..")
            while (!part.empty() && (part.back() == ' ' || part.back() == '.')) part.pop_back();
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string out = prefix;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0 || (prefix.size() == 2 && prefix[1] == ':')) out += '\\';
        out += parts[i];
    }
    return out;
}

bool MemorySystem::FileExists(const std::string& path) {
    if (path.empty()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return paths_.count(NormalizePath(path)) != 0;
}

void MemorySystem::AddFileLocked(const std::string& path) {
    std::string p = NormalizePath(path);
    while (!p.empty()) {
        paths_.insert(p);
        const std::size_t slash = p.rfind('\\');
        if (slash == std::string::npos) break;
        std::string parent = p.substr(0, slash);
        if (parent.empty() || parent == "\\") break;
        p = parent;
    }
}

void MemorySystem::AddFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    AddFileLocked(path);
}

void MemorySystem::RemovePath(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string p = NormalizePath(path);
    const std::string below = p + "\\";
    for (auto it = paths_.begin(); it != paths_.end();) {
        if (*it == p || it->compare(0, below.size(), below) == 0) {
            it = paths_.erase(it);
        } else {
            ++it;
        }
    }
}

void MemorySystem::SetEnvironmentVariable(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    env_[Fold(name)] = {name, value};
}

void MemorySystem::RemoveEnvironmentVariable(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    env_.erase(Fold(name));
}

std::string MemorySystem::ExpandEnvironmentStrings(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('%', pos);
        if (open == std::string::npos) {
            out.append(text, pos, std::string::npos);
            break;
        }
        out.append(text, pos, open - pos);
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string::npos) {  // no closing "%": the rest as it is
            out.append(text, open, std::string::npos);
            break;
        }
        const std::string name = text.substr(open + 1, close - open - 1);
        auto it = name.empty() ? env_.end() : env_.find(Fold(name));
        if (it != env_.end()) {
            out += it->second.second;
        } else {
            out.append(text, open, close - open + 1);
        }
        pos = close + 1;
    }
    if (out.size() + 1 > kBufferSize) return text;
    return out;
}

std::string MemorySystem::GetSystemDirectory() {
    std::lock_guard<std::mutex> lock(mutex_);
    return systemDir_.size() < kBufferSize ? systemDir_ : std::string();
}

std::string MemorySystem::GetWindowsDirectory() {
    std::lock_guard<std::mutex> lock(mutex_);
    return windowsDir_.size() < kBufferSize ? windowsDir_ : std::string();
}

std::uint32_t MemorySystem::GetVersion() {
    std::lock_guard<std::mutex> lock(mutex_);
    return version_;
}

bool MemorySystem::GetEnvironmentVariable(const std::string& name, std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = env_.find(Fold(name));
    if (it == env_.end()) return false;
    value = it->second.second;
    return true;
}

bool MemorySystem::IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    const std::string p = NormalizePath(path);
    std::lock_guard<std::mutex> lock(mutex_);
    if (p == NormalizePath(systemDir_) || p == NormalizePath(windowsDir_)) return true;
    const std::string below = p + "\\";
    const auto next = paths_.lower_bound(below);
    return next != paths_.end() && next->compare(0, below.size(), below) == 0;
}

bool MemorySystem::IsLocalDrive(char letter) {
    const std::string drive = NormalizePath(std::string(1, letter) + ":");
    std::lock_guard<std::mutex> lock(mutex_);
    const auto next = paths_.lower_bound(drive);
    return next != paths_.end() && next->compare(0, drive.size(), drive) == 0;
}

void MemorySystem::SetSystemDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(mutex_);
    systemDir_ = dir;
    AddFileLocked(dir);
}

void MemorySystem::SetWindowsDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(mutex_);
    windowsDir_ = dir;
    AddFileLocked(dir);
}

void MemorySystem::SetVersion(std::uint32_t version) {
    std::lock_guard<std::mutex> lock(mutex_);
    version_ = version;
}

void MemorySystem::SetWin9xFamily(bool win9x) { SetVersion(win9x ? kVersionWin98 : kVersionNt); }

}  // namespace qm

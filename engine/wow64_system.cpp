#include "engine/wow64_system.h"

#include <cstddef>

namespace qm {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// True when `path` is `folder` or lies below it; `rest` receives what
// follows the folder (with its leading backslash).
bool Below(const std::string& path, const std::string& folder, std::string* rest) {
    if (folder.empty() || path.size() < folder.size()) return false;
    if (!SameAscii(path.substr(0, folder.size()), folder)) return false;
    if (path.size() > folder.size() && path[folder.size()] != '\\') return false;
    *rest = path.substr(folder.size());
    return true;
}

// System32 sub-folders the redirector leaves alone.
constexpr const char* kExempt[] = {"\\catroot", "\\catroot2", "\\DriverStore", "\\drivers\\etc",
                                   "\\LogFiles", "\\spool"};

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

}  // namespace

Wow64System::Wow64System(ISystem& base)
    : base_(base),
      windows_(base.GetWindowsDirectory()),
      system32_(WithoutTrailingSlash(base.GetSystemDirectory())) {
    const std::string root = WithoutTrailingSlash(windows_);
    sysWow64_ = root + "\\SysWOW64";
    sysnative_ = root + "\\Sysnative";
}

std::string Wow64System::Redirect(const std::string& path) const {
    std::string rest;
    if (Below(path, sysnative_, &rest)) return system32_ + rest;
    if (!Below(path, system32_, &rest)) return path;
    for (const char* exempt : kExempt) {
        std::string below;
        if (Below(rest, exempt, &below)) return path;
    }
    return sysWow64_ + rest;
}

bool Wow64System::FileExists(const std::string& path) { return base_.FileExists(Redirect(path)); }

bool Wow64System::IsDirectory(const std::string& path) { return base_.IsDirectory(Redirect(path)); }

bool Wow64System::Wow64Variable(const std::string& name, std::string& value) {
    if (SameAscii(name, "ProgramFiles")) return base_.GetEnvironmentVariable("ProgramFiles(x86)", value);
    if (SameAscii(name, "CommonProgramFiles"))
        return base_.GetEnvironmentVariable("CommonProgramFiles(x86)", value);
    return false;
}

bool Wow64System::GetEnvironmentVariable(const std::string& name, std::string& value) {
    if (Wow64Variable(name, value)) return true;
    return base_.GetEnvironmentVariable(name, value);
}

std::string Wow64System::ExpandEnvironmentStrings(const std::string& text) {
    // The variables that differ are put in first, pairing "%" signs from the
    // left as the expansion does; the rest is expanded underneath.
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('%', i);
        if (open == std::string::npos) break;
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        std::string value;
        if (Wow64Variable(text.substr(open + 1, close - open - 1), value)) {
            out.append(text, i, open - i);
            out += value;
            i = close + 1;
        } else {
            out.append(text, i, close - i);  // the second "%" may open the next name
            i = close;
        }
    }
    out.append(text, i, std::string::npos);
    return base_.ExpandEnvironmentStrings(out);
}

}  // namespace qm

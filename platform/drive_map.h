// Drive letters mapped onto folders of the host, so that Windows paths
// ("C:\Windows\x.dll") can be looked up on a Linux file system.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class DriveMap {
public:
    // Maps `letter` (either case) to `folder`.
    void Map(char letter, const std::string& folder);
    bool Empty() const { return drives_.empty(); }
    // The mapped letters (upper case), in order.
    std::vector<char> Letters() const;
    // The folder of a letter; null when it is not mapped.
    const std::string* Folder(char letter) const;
    // The host path of an absolute Windows path on a mapped drive; components
    // are matched without regard to case. Nothing for any other path.
    std::optional<std::string> ToHostPath(const std::string& windowsPath) const;
    // True when the Windows path names an existing file or directory.
    bool Exists(const std::string& windowsPath) const;
    // True when the Windows path names an existing directory.
    bool IsDirectory(const std::string& windowsPath) const;
    // The Windows path of a host path below a mapped folder; empty otherwise.
    std::string ToWindowsPath(const std::string& hostPath) const;

private:
    std::map<char, std::string> drives_;
};

}  // namespace qm

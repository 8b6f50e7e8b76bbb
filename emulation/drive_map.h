// Drive letters mapped onto folders of the host, so that Windows paths
// ("C:\Windows\x.dll") can be looked up on a Linux file system.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
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
    // are matched without regard to case as Windows matches them (every
    // script), and a short name ("PROGRA~1") through the short names the
    // file system gives (ntfs-3g's "system.ntfs_dos_name"). Nothing for any
    // other path.
    std::optional<std::string> ToHostPath(const std::string& windowsPath) const;
    // True when the Windows path names an existing file or directory.
    bool Exists(const std::string& windowsPath) const;
    // Whether the Windows path names an existing file or directory, or
    // cannot be told: a folder on the way may not be read (or searched),
    // or a name of the form "PROGRA~1" matches no long name and the file
    // system gives no short names.
    enum class Presence { Exists, Missing, Unknown };
    Presence Look(const std::string& windowsPath) const;
    // True when the Windows path names an existing directory.
    bool IsDirectory(const std::string& windowsPath) const;
    // The Windows path of a host path below a mapped folder; empty otherwise.
    std::string ToWindowsPath(const std::string& hostPath) const;

private:
    bool Resolve(const std::string& windowsPath, std::optional<std::string>& host) const;

    std::map<char, std::string> drives_;
    // The paths Exists found missing lately, with what Look would say of
    // them: a scan asks Look of a path it has just found missing, and a
    // second walk of its folders (a missing name makes the folder be read
    // whole) would cost as much again. Not copied with the map.
    struct RecentMisses {
        RecentMisses() = default;
        RecentMisses(const RecentMisses&) {}
        RecentMisses& operator=(const RecentMisses&) { return *this; }
        std::mutex mutex;
        std::array<std::pair<std::string, Presence>, 16> entries;
        std::size_t next = 0;
    };
    mutable RecentMisses misses_;

public:
    // The listings of folders read to match names without regard to case,
    // kept for the run (drive_map_posix.cpp). Not copied with the map.
    struct FolderListings;

private:
    struct ListingsHolder {
        ListingsHolder();
        ListingsHolder(const ListingsHolder&);
        ListingsHolder& operator=(const ListingsHolder&);
        ~ListingsHolder();
        std::unique_ptr<FolderListings> listings;
    };
    mutable ListingsHolder folders_;
};

}  // namespace qm

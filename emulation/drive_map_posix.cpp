#include "emulation/drive_map.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <unordered_map>

#include "emulation/name_case.h"
#include "platform/directory_stream_posix.h"

namespace qm {
namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// "PROGRA~1", "COMMON~1.DLL": the form of a short (8.3) name Windows makes
// for a long one.
bool HasShortNameForm(const std::string& name) {
    const auto tilde = name.find('~');
    return tilde != std::string::npos && tilde > 0 && tilde + 1 < name.size() && name.size() <= 12 &&
           name[tilde + 1] >= '0' && name[tilde + 1] <= '9';
}

// What looking for one name in a folder gave.
enum class Entry { Found, Missing, Unknown };

// An error that says nothing about whether the name is there: the folder may
// not be read or searched, or the file system failed.
bool SaysNothing(int error) { return error != ENOENT && error != ENOTDIR && error != ENAMETOOLONG; }

// How long a folder must have stood unchanged before its listing is kept:
// a folder's modification time has the file system's coarse granularity, so
// an entry made within the same tick as a listing was read would not change
// it. A listing of a folder changed lately is used once and read again.
constexpr time_t kSettledSeconds = 2;

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

// One folder's entries by their case-folded names (FoldedUtf8Name), and by
// their short names once a short name was asked for. Valid while the folder
// keeps its identity and times: an entry made or removed changes its
// modification time, a change of its permissions its change time.
struct DriveFolderListing {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    timespec changed{};
    bool readable = false;  // false: the folder may not be read
    std::vector<std::string> names;  // in the order the folder lists them
    std::unordered_map<std::string, std::size_t> byFolded;  // the first of each folded name
    bool shortNamesRead = false;
    bool shortNamesGiven = false;
    std::unordered_map<std::string, std::size_t> byShortName;

    bool Matches(const struct stat& st) const {
        return st.st_dev == device && st.st_ino == inode && SameTime(st.st_mtim, modified) &&
               SameTime(st.st_ctim, changed);
    }
    // Reads the folder whose state is `st`. False when it is gone (or is no
    // folder): the name is missing.
    bool Read(const std::string& dir, const struct stat& st) {
        device = st.st_dev;
        inode = st.st_ino;
        modified = st.st_mtim;
        changed = st.st_ctim;
        const DirectoryStream d(::opendir(dir.c_str()));
        if (!d) {
            readable = false;
            return SaysNothing(errno);
        }
        readable = true;
        while (dirent* e = ::readdir(d.Get())) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            names.emplace_back(e->d_name);
            byFolded.emplace(FoldedUtf8Name(names.back()), names.size() - 1);
        }
        return true;
    }
    void ReadShortNames(const std::string& dir) {
        shortNamesRead = true;
        for (std::size_t i = 0; i < names.size(); ++i) {
            char shortName[64];
            const std::string path = dir + "/" + names[i];
            const ssize_t n = ::lgetxattr(path.c_str(), "system.ntfs_dos_name", shortName, sizeof shortName);
            if (n < 0) {
                if (errno == ENODATA) shortNamesGiven = true;  // the file has none; the volume has them
                continue;
            }
            shortNamesGiven = true;
            byShortName.emplace(FoldedUtf8Name(std::string_view(shortName, static_cast<std::size_t>(n))), i);
        }
    }
};

struct DriveMap::FolderListings {
    std::mutex mutex;
    std::unordered_map<std::string, DriveFolderListing> byFolder;  // host folder path
};

DriveMap::ListingsHolder::ListingsHolder() : listings(std::make_unique<FolderListings>()) {}
DriveMap::ListingsHolder::ListingsHolder(const ListingsHolder&) : ListingsHolder() {}
DriveMap::ListingsHolder& DriveMap::ListingsHolder::operator=(const ListingsHolder&) {
    const std::lock_guard<std::mutex> lock(listings->mutex);
    listings->byFolder.clear();
    return *this;
}
DriveMap::ListingsHolder::~ListingsHolder() = default;

namespace {

// The entry of `dir` whose name equals `name` without regard to case as
// Windows compares names (an exact match wins over others), or whose short
// name is `name` where the file system gives short names (a disk mounted
// with ntfs-3g: the attribute "system.ntfs_dos_name"). Unknown when the
// folder cannot be read, or when `name` has the form of a short name and the
// file system gives none. A name not there in its own case is looked up in
// the folder's listing, read once for the run (and again when the folder
// changes), so a walk of many paths reads each folder once.
Entry FindEntry(DriveMap::FolderListings& cache, const std::string& dir, const std::string& name,
                std::string& found) {
    struct stat st;
    const std::string direct = dir + "/" + name;
    if (::lstat(direct.c_str(), &st) == 0) {
        found = name;
        return Entry::Found;
    }
    if (SaysNothing(errno)) return Entry::Unknown;
    if (::stat(dir.c_str(), &st) != 0) return SaysNothing(errno) ? Entry::Unknown : Entry::Missing;
    if (!S_ISDIR(st.st_mode)) return Entry::Missing;

    const std::lock_guard<std::mutex> lock(cache.mutex);
    DriveFolderListing fresh;
    DriveFolderListing* listing = nullptr;
    auto kept = cache.byFolder.find(dir);
    if (kept != cache.byFolder.end() && kept->second.Matches(st)) {
        listing = &kept->second;
    } else {
        if (kept != cache.byFolder.end()) cache.byFolder.erase(kept);
        if (!fresh.Read(dir, st)) return Entry::Missing;
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (st.st_mtim.tv_sec + kSettledSeconds <= now.tv_sec)
            listing = &cache.byFolder.emplace(dir, std::move(fresh)).first->second;
        else
            listing = &fresh;
    }
    if (!listing->readable) return Entry::Unknown;
    const std::string folded = FoldedUtf8Name(name);
    const auto byName = listing->byFolded.find(folded);
    if (byName != listing->byFolded.end()) {
        found = listing->names[byName->second];
        return Entry::Found;
    }
    if (!HasShortNameForm(name)) return Entry::Missing;
    if (!listing->shortNamesRead) listing->ReadShortNames(dir);
    const auto byShort = listing->byShortName.find(folded);
    if (byShort != listing->byShortName.end()) {
        found = listing->names[byShort->second];
        return Entry::Found;
    }
    return listing->shortNamesGiven ? Entry::Missing : Entry::Unknown;
}

}  // namespace

void DriveMap::Map(char letter, const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    drives_[Upper(letter)] = f;
    {
        const std::lock_guard<std::mutex> lock(folders_.listings->mutex);
        folders_.listings->byFolder.clear();
    }
    const std::lock_guard<std::mutex> lock(misses_.mutex);
    for (auto& miss : misses_.entries) miss.first.clear();
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
    std::optional<std::string> host;
    Resolve(windowsPath, host);
    return host;
}

// The host path, as far as the components resolve (the rest as written), and
// whether the first component that does not resolve could be told missing.
bool DriveMap::Resolve(const std::string& windowsPath, std::optional<std::string>& host) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return true;
    const std::string* root = Folder(windowsPath[0]);
    if (root == nullptr) return true;
    if (windowsPath.size() > 2 && windowsPath[2] != '\\' && windowsPath[2] != '/') return true;

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

    host = *root;
    std::string& out = *host;
    bool resolving = true;
    bool known = true;
    std::string found;
    for (const std::string& part : parts) {
        if (part.find_first_of("*?<>|\"") != std::string::npos) resolving = false;
        if (resolving) {
            const Entry entry = FindEntry(*folders_.listings, out, part, found);
            if (entry == Entry::Found) {
                out += "/" + found;
                continue;
            }
            known = entry == Entry::Missing;
            resolving = false;
        }
        out += "/" + part;
    }
    return known;
}

DriveMap::Presence DriveMap::Look(const std::string& windowsPath) const {
    {
        const std::lock_guard<std::mutex> lock(misses_.mutex);
        for (const auto& miss : misses_.entries)
            if (miss.first == windowsPath && !windowsPath.empty()) return miss.second;
    }
    std::optional<std::string> host;
    const bool known = Resolve(windowsPath, host);
    if (!host) return Presence::Missing;
    struct stat st;
    if (::stat(host->c_str(), &st) == 0) return Presence::Exists;
    if (!known || SaysNothing(errno)) return Presence::Unknown;
    return Presence::Missing;
}

bool DriveMap::Exists(const std::string& windowsPath) const {
    std::optional<std::string> host;
    const bool known = Resolve(windowsPath, host);
    if (!host) return false;
    struct stat st;
    if (::stat(host->c_str(), &st) == 0) return true;
    const Presence presence = !known || SaysNothing(errno) ? Presence::Unknown : Presence::Missing;
    const std::lock_guard<std::mutex> lock(misses_.mutex);
    auto& slot = misses_.entries[misses_.next];
    misses_.next = (misses_.next + 1) % misses_.entries.size();
    slot.first = windowsPath;
    slot.second = presence;
    return false;
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

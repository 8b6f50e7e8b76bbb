#include "platform/shortcut_resolver_posix.h"

#include <liblnk.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_system_posix.h"

namespace qm {

namespace {

// A liblnk file handle and its error record, freed on scope exit.
class LnkFile {
public:
    LnkFile() {
        if (liblnk_file_initialize(&file_, &error_) != 1) file_ = nullptr;
    }
    ~LnkFile() {
        if (file_ != nullptr) {
            if (open_) liblnk_file_close(file_, nullptr);
            liblnk_file_free(&file_, nullptr);
        }
        if (error_ != nullptr) liblnk_error_free(&error_);
    }
    LnkFile(const LnkFile&) = delete;
    LnkFile& operator=(const LnkFile&) = delete;

    bool Open(const std::string& path) {
        if (file_ == nullptr) return false;
        open_ = liblnk_file_open(file_, path.c_str(), LIBLNK_OPEN_READ, &error_) == 1;
        return open_;
    }

    // 1 with the path, 0 when the link has none, -1 on a read error.
    int LocalPath(std::string& path) {
        return Text(liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path, path);
    }
    int NetworkPath(std::string& path) {
        return Text(liblnk_file_get_utf8_network_path_size, liblnk_file_get_utf8_network_path,
                    path);
    }

private:
    using SizeGetter = int (*)(liblnk_file_t*, size_t*, liblnk_error_t**);
    using TextGetter = int (*)(liblnk_file_t*, uint8_t*, size_t, liblnk_error_t**);

    int Text(SizeGetter getSize, TextGetter getText, std::string& text) {
        size_t size = 0;
        int result = getSize(file_, &size, &error_);
        if (result != 1) return result;
        if (size == 0) return 0;
        std::vector<uint8_t> buffer(size + 1, 0);
        result = getText(file_, buffer.data(), size, &error_);
        if (result != 1) return result;
        text.assign(reinterpret_cast<const char*>(buffer.data()));
        return 1;
    }

    liblnk_file_t* file_ = nullptr;
    liblnk_error_t* error_ = nullptr;
    bool open_ = false;
};

std::atomic<IShortcutResolver*> g_resolver{nullptr};

}  // namespace

std::int32_t ReadShortcutTarget(const std::string& hostPath, std::string& target) {
    struct stat st;
    if (::stat(hostPath.c_str(), &st) != 0)
        return errno == ENOENT ? kShellFileNotFound : kShellPathNotFound;
    if (!S_ISREG(st.st_mode)) return kShellAccessDenied;

    LnkFile file;
    if (!file.Open(hostPath)) return kShellFail;
    std::string path;
    int found = file.LocalPath(path);
    if (found == 0) found = file.NetworkPath(path);
    if (found < 0) return kShellFail;
    if (found == 0 || path.empty()) {
        target.clear();
        return kShellFalse;
    }
    target = Utf8ToAnsi(path);
    return kShellOk;
}

LnkShortcutResolver::LnkShortcutResolver(const DriveMap& drives) : drives_(drives) {}

std::int32_t LnkShortcutResolver::GetShortcutPath(const std::string& shortcutPath,
                                                  std::string& target) {
    const auto host = drives_.ToHostPath(shortcutPath);
    if (!host) return kShellPathNotFound;
    return ReadShortcutTarget(*host, target);
}

IShortcutResolver& DefaultShortcutResolver() {
    if (IShortcutResolver* chosen = g_resolver.load()) return *chosen;
    static LnkShortcutResolver fallback(DefaultFileSystemDrives());
    return fallback;
}

void SetDefaultShortcutResolver(IShortcutResolver* resolver) { g_resolver.store(resolver); }

}  // namespace qm

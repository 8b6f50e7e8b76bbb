#include "emulation/shortcut_resolver_posix.h"

#include <liblnk.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/codepage.h"
#include "emulation/file_system_posix.h"
#include "platform/unique_handle.h"

namespace qm {

namespace {

// A liblnk file handle, freed with liblnk_file_free.
struct LnkHandleTraits {
    using Handle = liblnk_file_t*;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle file) { return file != nullptr; }
    static bool Close(Handle file) { return liblnk_file_free(&file, nullptr) == 1; }
};
// The same handle while a file is open in it, closed with liblnk_file_close.
struct LnkOpenTraits {
    using Handle = liblnk_file_t*;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle file) { return file != nullptr; }
    static bool Close(Handle file) { return liblnk_file_close(file, nullptr) == 0; }
};

// A shortcut file read through liblnk. Its error records are never read, so
// none are asked for.
class LnkFile {
public:
    LnkFile() {
        liblnk_file_t* file = nullptr;
        if (liblnk_file_initialize(&file, nullptr) == 1) file_.Reset(file);
    }

    bool Open(const std::string& path) {
        if (!file_) return false;
        if (liblnk_file_open(file_.Get(), path.c_str(), LIBLNK_OPEN_READ, nullptr) != 1) return false;
        open_.Reset(file_.Get());
        return true;
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
        int result = getSize(file_.Get(), &size, nullptr);
        if (result != 1) return result;
        if (size == 0) return 0;
        std::vector<uint8_t> buffer(size + 1, 0);
        result = getText(file_.Get(), buffer.data(), size, nullptr);
        if (result != 1) return result;
        text.assign(reinterpret_cast<const char*>(buffer.data()));
        return 1;
    }

    // Declared in this order so that the file is closed before it is freed.
    UniqueHandle<LnkHandleTraits> file_;
    UniqueHandle<LnkOpenTraits> open_;
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

// The registry export's system side in the native build: the host's files and
// clock. There is no registry editor here, so "regedit.exe /e FILE ROOT" is
// carried out in the process: the program's registry (DefaultRegistry) is
// written to FILE in the editor's export format. Any other program is started
// as a child process (tests use this for editors that never write).
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <vector>

#include "emulation/reg_file.h"
#include "platform/directory_stream_posix.h"
#include "repair/export_backups.h"

extern char** environ;

namespace qm {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

// "regedit.exe /e FILE ROOT": the export, written whole, then renamed into place.
bool EmulateRegistryEditor(const std::string& parameters) {
    const std::vector<std::string> args = Words(parameters);
    if (args.size() != 3 || !SameIgnoringCase(args[0], "/e")) return false;
    const RegKey root = RootKeyFromName(args[2]);
    if (root == kNullKey) return false;
    std::vector<std::uint8_t> bytes;
    try {
        bytes = SaveRegTextOf(DefaultRegistry(), root, RegFileFormat::Unicode5);
    } catch (const std::exception&) {
        return false;
    }
    const std::string temp = args[1] + ".writing";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), args[1].c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

class PosixExportHost : public IExportHost {
public:
    ~PosixExportHost() override {
        // A program started in place of the editor does not outlive the export.
        if (child_ > 0 && EditorStatus() == EditorState::Running) {
            kill(child_, SIGTERM);
            waitpid(child_, nullptr, 0);
        }
    }

    std::string GetCurrentDirectoryA() override {
        std::vector<char> buffer(4096);
        while (getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE || buffer.size() > 65536) return std::string();
            buffer.resize(buffer.size() * 2);
        }
        std::string dir(buffer.data());
        if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        return dir == "/" ? std::string() : dir;
    }
    char PathSeparator() const override { return '/'; }
    ExportTime GetLocalTime() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        ExportTime t;
        t.year = local.tm_year + 1900;
        t.month = local.tm_mon + 1;
        t.day = local.tm_mday;
        t.hour = local.tm_hour;
        t.minute = local.tm_min;
        t.second = local.tm_sec;
        return t;
    }
    bool FileExists(const std::string& path) override { return access(path.c_str(), F_OK) == 0; }
    bool DeleteFileA(const std::string& path) override {
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
        return unlink(path.c_str()) == 0;
    }
    bool CreateDirectoryA(const std::string& path) override { return mkdir(path.c_str(), 0777) == 0; }
    bool MoveFileA(const std::string& from, const std::string& to) override {
        // MoveFileA never replaces an existing file; rename would.
        if (access(from.c_str(), F_OK) != 0 || access(to.c_str(), F_OK) == 0) return false;
        return std::rename(from.c_str(), to.c_str()) == 0;
    }
    std::vector<std::string> FindFileNames(const std::string& pattern) override {
        std::vector<std::string> names;
        const std::size_t slash = pattern.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
        const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
        const DirectoryStream dir(opendir(folder.c_str()));
        if (!dir) return names;
        while (const dirent* entry = readdir(dir.Get()))
            if (fnmatch(mask.c_str(), entry->d_name, FNM_CASEFOLD) == 0) names.emplace_back(entry->d_name);
        return names;
    }
    bool StartEditor(const std::string& program, const std::string& parameters) override {
        if (SameIgnoringCase(program, kRegistryEditor)) {
            child_ = -1;
            return EmulateRegistryEditor(parameters);
        }
        std::vector<std::string> words = Words(parameters);
        words.insert(words.begin(), program);
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(&w[0]);
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
        child_ = pid;
        return true;
    }
    EditorState EditorStatus() override {
        if (child_ <= 0) return EditorState::Ended;
        int status = 0;
        if (waitpid(child_, &status, WNOHANG) == 0) return EditorState::Running;
        child_ = -1;  // ended (and reaped)
        return EditorState::Ended;
    }
    std::uint64_t Milliseconds() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    }
    void Sleep(std::uint32_t milliseconds) override { usleep(static_cast<useconds_t>(milliseconds) * 1000u); }

private:
    pid_t child_ = -1;
};

}  // namespace

std::unique_ptr<IExportHost> MakeExportHost() { return std::make_unique<PosixExportHost>(); }

}  // namespace qm

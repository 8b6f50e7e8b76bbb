// The shortcut walk against a bare recursive directory walk of the same tree,
// in the same run: 20,000 directories, 2,000 shortcut files (half of them
// broken) and 4,000 other files, generated in the current directory.
//
// Natively the tree is drive Q: of a PosixFileSystem and the shortcuts are
// read with liblnk; the shortcut walk is CShortcut::ScanLinkFile. In the
// Windows build the walk is CShortcut::RecurseFolder over the real file
// system and shell. The bare walk enumerates every directory through the same
// file system (FindFirstFileA "*.*" and FindNextFileA) and enters every
// sub-directory. Each walk runs three times, alternately; the best times are
// compared. The shortcut walk must stay under 1.5 times the bare walk.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/shortcut.h"
#include "platform/file_system.h"
#ifndef _WIN32
#include "platform/file_system_posix.h"
#include "platform/shortcut_resolver_posix.h"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDirectories = 20000;
constexpr int kShortcuts = 2000;
constexpr int kOtherFiles = 4000;
constexpr double kLimit = 1.5;

// A shortcut made by Wine's shell to Q:\Programs\App\app.exe (tests/data/lnk/intact.lnk).
const unsigned char kIntactLnk[] = {
#include "bench/shortcut_walk_intact_lnk.inc"
};

std::string WithTarget(const std::string& link, const char* from, const char* to) {
    std::string bytes = link;
    for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 1))
        bytes.replace(at, std::string(to).size(), to);
    return bytes;
}

// Directories numbered breadth-first, ten children each; every tenth
// directory holds a shortcut (alternately intact and broken) and every fifth
// an ordinary file.
void MakeTree(const fs::path& root) {
    const std::string intact(reinterpret_cast<const char*>(kIntactLnk), sizeof kIntactLnk);
    // Same length, a name that does not exist.
    const std::string broken = WithTarget(intact, "app.exe", "gon.exe");
    fs::remove_all(root);
    fs::create_directories(root / "Programs" / "App");
    std::ofstream(root / "Programs" / "App" / "app.exe") << "MZ";
    std::vector<fs::path> dirs;
    dirs.reserve(kDirectories);
    int shortcuts = 0, files = 0;
    for (int i = 0; i < kDirectories; ++i) {
        const fs::path parent = i < 10 ? root : dirs[static_cast<std::size_t>(i / 10 - 1)];
        dirs.push_back(parent / ("d" + std::to_string(i)));
        fs::create_directory(dirs.back());
        if (i % 10 == 0 && shortcuts < kShortcuts) {
            std::ofstream(dirs.back() / ("link" + std::to_string(i) + ".lnk"), std::ios::binary)
                << (shortcuts % 2 == 0 ? intact : broken);
            ++shortcuts;
        }
        if (i % 5 == 0 && files < kOtherFiles) {
            std::ofstream(dirs.back() / "notes.txt") << "text";
            ++files;
        }
    }
}

struct Counts {
    long directories = 0;
    long entries = 0;
};

void BareWalk(qm::IFileSystem& files, const std::string& folder, Counts& counts) {
    qm::FindData entry;
    std::unique_ptr<qm::FindHandle> find = files.FindFirstFileA(folder + "\\*.*", entry);
    if (!find) return;
    do {
        ++counts.entries;
        if (entry.name == "." || entry.name == "..") continue;
        if ((entry.attributes & qm::kFileAttributeDirectory) == 0) continue;
        ++counts.directories;
        BareWalk(files, folder + "\\" + entry.name, counts);
    } while (find->FindNextFileA(entry));
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main() {
    const fs::path root = fs::absolute("shortcut-walk-tree");
    std::printf("generating %d directories, %d shortcuts, %d other files in %s ...\n", kDirectories,
                kShortcuts, kOtherFiles, root.string().c_str());
    const auto made = Clock::now();
    MakeTree(root);
    std::printf("generated in %.1f s\n", Seconds(Clock::now() - made));

#ifdef _WIN32
    qm::IFileSystem& files = qm::DefaultFileSystem();
    qm::CShortcut scanner;
    const std::string top = root.string();
    const auto shortcutWalk = [&scanner, &top] { scanner.RecurseFolder(top); };
#else
    qm::DriveMap drives;
    drives.Map('Q', root.string());
    qm::PosixFileSystem posixFiles(drives);
    qm::LnkShortcutResolver resolver(drives);
    qm::IFileSystem& files = posixFiles;
    qm::CShortcut scanner(qm::ShortcutServices{&posixFiles, &resolver});
    scanner.SetDriveFilter("Q");
    const std::string top = "Q:";
    const auto shortcutWalk = [&scanner] { scanner.ScanLinkFile(); };
#endif

    double bestBare = 1e9, bestShortcut = 1e9;
    Counts counts;
    for (int round = 0; round < 3; ++round) {
        counts = Counts{};
        auto start = Clock::now();
        BareWalk(files, top, counts);
        bestBare = std::min(bestBare, Seconds(Clock::now() - start));

        start = Clock::now();
        shortcutWalk();
        bestShortcut = std::min(bestShortcut, Seconds(Clock::now() - start));
    }

    const double ratio = bestShortcut / bestBare;
    std::printf("bare walk:     %8.1f ms  (%ld directories, %ld entries)\n", bestBare * 1e3,
                counts.directories, counts.entries);
    std::printf("shortcut walk: %8.1f ms  (%d shortcuts scanned, %d broken)\n", bestShortcut * 1e3,
                scanner.ItemsScanned(), scanner.ErrorsFound());
    std::printf("ratio:         %8.2f  (limit %.1f) %s\n", ratio, kLimit, ratio < kLimit ? "OK" : "TOO SLOW");
    fs::remove_all(root);
    return ratio < kLimit ? 0 : 1;
}

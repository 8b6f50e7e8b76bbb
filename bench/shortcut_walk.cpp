// The shortcut walk against its floors, in the same run: 20,000 directories,
// 2,000 shortcut files (half of them broken) and 4,000 other files,
// generated in the current directory.
//
//   bench_shortcut_walk [rounds] [keep]
//
// rounds: default 5. With "keep" the tree is left in place afterwards, and a
// complete tree left by an earlier run is used again instead of being made.
//
// The floors: a bare walk that enumerates every directory (FindFirstFileA
// "*.*" and FindNextFileA) and enters every sub-directory, and a resolving
// walk that also reads every shortcut's target through one reader and tests
// it for existence (the same work as the shortcut walk, written plainly).
// In the Windows build the floors are written with the Win32 calls and one
// shell-link object, the shortcuts are made by the shell with targets inside
// the tree, and the walk is CShortcut::RecurseFolder over the real file system
// and shell. Natively the tree is drive Q: of a PosixFileSystem, the
// shortcuts are read with liblnk, and the walk is CShortcut::ScanLinkFile.
// The walks run alternately with a fresh scanner each round; each walk's best
// elapsed time and best processor time of this process are shown (under Wine
// the server's share of the work is in the elapsed time only), and the median
// over the rounds of the shortcut walk's time over the resolving walk's in the
// same round, which a busy machine disturbs least. That median must stay
// within 1.2.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/shortcut.h"
#include "platform/file_system.h"
#ifdef _WIN32
#include "bench/shortcut_walk_win32.h"
#else
#include "emulation/file_system_posix.h"
#include "emulation/shortcut_resolver_posix.h"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDirectories = 20000;
constexpr int kShortcuts = 2000;
constexpr int kOtherFiles = 4000;
constexpr double kLimit = 1.2;

#ifndef _WIN32
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
#endif

// Directories numbered breadth-first, ten children each; every tenth
// directory holds a shortcut (alternately intact and broken) and every fifth
// an ordinary file. Returns the shortcuts to make: (path, target).
std::vector<std::pair<fs::path, fs::path>> MakeTree(const fs::path& root) {
    fs::remove_all(root);
    fs::create_directories(root / "Programs" / "App");
    std::ofstream(root / "Programs" / "App" / "app.exe") << "MZ";
    const fs::path intact = root / "Programs" / "App" / "app.exe";
    const fs::path broken = root / "Programs" / "App" / "gon.exe";
    std::vector<std::pair<fs::path, fs::path>> links;
    std::vector<fs::path> dirs;
    dirs.reserve(kDirectories);
    int files = 0;
    for (int i = 0; i < kDirectories; ++i) {
        const fs::path parent = i < 10 ? root : dirs[static_cast<std::size_t>(i / 10 - 1)];
        dirs.push_back(parent / ("d" + std::to_string(i)));
        fs::create_directory(dirs.back());
        if (i % 10 == 0 && static_cast<int>(links.size()) < kShortcuts)
            links.emplace_back(dirs.back() / ("link" + std::to_string(i) + ".lnk"),
                               links.size() % 2 == 0 ? intact : broken);
        if (i % 5 == 0 && files < kOtherFiles) {
            std::ofstream(dirs.back() / "notes.txt") << "text";
            ++files;
        }
    }
    return links;
}

struct Counts {
    long directories = 0;
    long shortcuts = 0;
    long broken = 0;
};

#ifdef _WIN32
using bench::ProcessCpuSeconds;

void WriteShortcuts(const fs::path& root, const std::vector<std::pair<fs::path, fs::path>>& links) {
    // Made while the program exists, as an installer would, then removed.
    const fs::path gone = root / "Programs" / "App" / "gon.exe";
    std::ofstream(gone) << "MZ";
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& [path, target] : links) pairs.emplace_back(path.string(), target.string());
    const int made = bench::MakeShortcuts(pairs);
    fs::remove(gone);
    if (made != static_cast<int>(links.size()))
        std::printf("warning: the shell made %d of %zu shortcuts\n", made, links.size());
}

void FloorWalk(bool resolve, const std::string& top, Counts& counts) {
    bench::FloorCounts floor;
    bench::ResolvingWalk(resolve).Run(top, floor);
    counts = Counts{floor.directories, floor.shortcuts, floor.broken};
}
#else
double ProcessCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Shortcut bytes name Q:\Programs\App\app.exe; the tree is drive Q:.
void WriteShortcuts(const fs::path&, const std::vector<std::pair<fs::path, fs::path>>& links) {
    const std::string intact(reinterpret_cast<const char*>(kIntactLnk), sizeof kIntactLnk);
    const std::string broken = WithTarget(intact, "app.exe", "gon.exe");  // same length
    for (const auto& [path, target] : links)
        std::ofstream(path, std::ios::binary) << (target.filename() == "app.exe" ? intact : broken);
}

bool EndsWithLnk(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".lnk";
}

void Walk(qm::IFileSystem& files, qm::IShortcutResolver* resolver, const std::string& folder, Counts& counts) {
    qm::FindData entry;
    std::unique_ptr<qm::FindHandle> find = files.FindFirstFileA(folder + "\\*.*", entry);
    if (!find) return;
    do {
        const std::string path = folder + "\\" + entry.name;
        if (entry.attributes & qm::kFileAttributeDirectory) {
            if (entry.name == "." || entry.name == "..") continue;
            ++counts.directories;
            Walk(files, resolver, path, counts);
        } else if (resolver != nullptr && EndsWithLnk(entry.name)) {
            ++counts.shortcuts;
            std::string target;
            if (resolver->GetShortcutPath(path, target) >= 0 && !target.empty() && !files.Access(target))
                ++counts.broken;
        }
    } while (find->FindNextFileA(entry));
}
#endif

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const bool keep = argc > 2 && std::strcmp(argv[2], "keep") == 0;
    const fs::path root = fs::absolute("shortcut-walk-tree");
    const fs::path complete = root / "complete";
    if (keep && fs::exists(complete)) {
        std::printf("using the tree in %s\n", root.string().c_str());
    } else {
        std::printf("generating %d directories, %d shortcuts, %d other files in %s ...\n", kDirectories,
                    kShortcuts, kOtherFiles, root.string().c_str());
        const auto made = Clock::now();
        WriteShortcuts(root, MakeTree(root));
        std::ofstream(complete) << "";
        std::printf("generated in %.1f s\n", Seconds(Clock::now() - made));
    }

#ifdef _WIN32
    const std::string top = root.string();
    const auto bareWalk = [&top](Counts& c) { FloorWalk(false, top, c); };
    const auto resolvingWalk = [&top](Counts& c) { FloorWalk(true, top, c); };
    const auto newScanner = [] { return std::make_unique<qm::CShortcut>(); };
    const auto shortcutWalk = [&top](qm::CShortcut& s) { s.RecurseFolder(top); };
#else
    qm::DriveMap drives;
    drives.Map('Q', root.string());
    qm::PosixFileSystem files(drives);
    qm::LnkShortcutResolver resolver(drives);
    const auto bareWalk = [&files](Counts& c) { Walk(files, nullptr, "Q:", c); };
    const auto resolvingWalk = [&files, &resolver](Counts& c) { Walk(files, &resolver, "Q:", c); };
    const auto newScanner = [&files, &resolver] {
        auto s = std::make_unique<qm::CShortcut>(qm::ShortcutServices{&files, &resolver});
        s->SetDriveFilter("Q");
        return s;
    };
    const auto shortcutWalk = [](qm::CShortcut& s) { s.ScanLinkFile(); };
#endif

    double bestBare = 1e9, bestResolving = 1e9, bestShortcut = 1e9;
    double cpuBare = 1e9, cpuResolving = 1e9, cpuShortcut = 1e9;
    std::vector<double> roundRatios;
    Counts bare, resolving;
    std::int32_t scanned = 0, broken = 0;
    for (int round = 0; round < rounds; ++round) {
        bare = Counts{};
        auto start = Clock::now();
        double cpu = ProcessCpuSeconds();
        bareWalk(bare);
        const double tBare = Seconds(Clock::now() - start);
        cpuBare = std::min(cpuBare, ProcessCpuSeconds() - cpu);

        resolving = Counts{};
        start = Clock::now();
        cpu = ProcessCpuSeconds();
        resolvingWalk(resolving);
        const double tResolving = Seconds(Clock::now() - start);
        cpuResolving = std::min(cpuResolving, ProcessCpuSeconds() - cpu);

        auto scanner = newScanner();
        start = Clock::now();
        cpu = ProcessCpuSeconds();
        shortcutWalk(*scanner);
        const double tShortcut = Seconds(Clock::now() - start);
        cpuShortcut = std::min(cpuShortcut, ProcessCpuSeconds() - cpu);
        scanned = scanner->ItemsScanned();
        broken = scanner->ErrorsFound();
        std::printf("round %d: bare %.0f ms, resolving %.0f ms, shortcut walk %.0f ms\n", round + 1,
                    tBare * 1e3, tResolving * 1e3, tShortcut * 1e3);
        std::fflush(stdout);
        roundRatios.push_back(tShortcut / tResolving);
        bestBare = std::min(bestBare, tBare);
        bestResolving = std::min(bestResolving, tResolving);
        bestShortcut = std::min(bestShortcut, tShortcut);
    }

    std::sort(roundRatios.begin(), roundRatios.end());
    const std::size_t mid = roundRatios.size() / 2;
    const double ratio = roundRatios.size() % 2 ? roundRatios[mid] : (roundRatios[mid - 1] + roundRatios[mid]) / 2;
    std::printf("bare walk:      %8.1f ms, processor %8.1f ms  (%ld directories)\n", bestBare * 1e3,
                cpuBare * 1e3, bare.directories);
    std::printf("resolving walk: %8.1f ms, processor %8.1f ms  (%ld shortcuts read, %ld broken)\n",
                bestResolving * 1e3, cpuResolving * 1e3, resolving.shortcuts, resolving.broken);
    std::printf("shortcut walk:  %8.1f ms, processor %8.1f ms  (%d shortcuts scanned, %d broken)\n",
                bestShortcut * 1e3, cpuShortcut * 1e3, scanned, broken);
    std::printf("shortcut walk / bare walk:      %6.2f\n", bestShortcut / bestBare);
    std::printf("processor, shortcut walk / resolving walk: %6.2f\n", cpuShortcut / cpuResolving);
    std::printf("best shortcut walk / best resolving walk: %6.2f\n", bestShortcut / bestResolving);
    std::printf("shortcut walk / resolving walk, median of rounds: %6.2f  (limit %.1f) %s\n", ratio, kLimit,
                ratio <= kLimit ? "OK" : "TOO SLOW");
    const bool counted = scanned == resolving.shortcuts && broken == resolving.broken &&
                         scanned == kShortcuts && broken == kShortcuts / 2;
    if (!counted) std::printf("COUNTS DIFFER: expected %d scanned, %d broken\n", kShortcuts, kShortcuts / 2);
    if (!keep) fs::remove_all(root);
    return ratio <= kLimit && counted ? 0 : 1;
}

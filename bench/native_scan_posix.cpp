// The native scan over real files: a registry held in memory whose entries
// name files in a folder tree on disk (drive C: mapped onto it, as
// `--drive C=DIR` does), nine in ten of them there, every name spelled in
// another letter case than on disk (the registry says "COMP1.DLL", the disk
// holds "comp1.dll"), so each lookup matches names without regard to case.
// The scan of all nine registry areas is timed against its floor, a stat of
// each named file by its host path (one call per path, no case matching), at
// 1/4, 1/2 and 1 of the size, so that the growth shows (2.0 per doubling is
// linear). The folders are dated an hour back, as on a disk nobody is
// writing to.
//
//   bench_native_scan_posix [keys] [rounds] [folder]
//       (default 200,000 keys: a seventh of them COM classes, whose files are
//        in one system folder, and per 400 keys 10 shared DLLs, 4 uninstall
//        entries, an App Paths entry and a font, the rest settings keys; 3
//        rounds, scan and floor by turns; the tree is made in
//        ./bench-native-scan and removed at the end)
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "engine/registry_lib.h"
#include "emulation/drive_map.h"
#include "emulation/mapped_system.h"
#include "emulation/registry_memory.h"

using namespace qm;
using qm::bench::CpuSeconds;
using qm::bench::WallSeconds;

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

void MakeDirs(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    ::mkdir(path.c_str(), 0755);
}

// A registry and the tree its entries name.
struct World {
    MemoryRegistry registry;
    std::vector<std::string> hostFiles;  // every file an entry names, as it is on disk (or would be)
    long keys = 0, values = 0;
};

// Adds an entry's file: its Windows path as the registry spells it (upper
// case) goes to the registry; on disk it is lower case, and one in ten is
// not there.
std::string NameFile(World& w, const std::string& root, const std::string& windowsPath) {
    std::string host = root;
    std::string rel = Lower(windowsPath.substr(2));
    for (char& c : rel)
        if (c == '\\') c = '/';
    host += rel;
    w.hostFiles.push_back(host);
    if (w.hostFiles.size() % 10 != 0) {
        const int fd = ::open(host.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0) {
            MakeDirs(host.substr(0, host.rfind('/')));
            const int again = ::open(host.c_str(), O_CREAT | O_WRONLY, 0644);
            if (again >= 0) ::close(again);
        } else {
            ::close(fd);
        }
    }
    return Upper(windowsPath);
}

void Build(World& w, const std::string& root, long keys) {
    MemoryRegistry& reg = w.registry;
    const auto key = [&](const std::string& path) {
        reg.CreateKeyPath(path);
        ++w.keys;
    };
    const auto text = [&](const std::string& path, const std::string& name, const std::string& data) {
        reg.SetString(path, name, data);
        ++w.values;
    };
    const std::string sys32 = "C:\\Windows\\System32";
    const long classes = keys / 7;
    for (long i = 0; i < classes; ++i) {
        char guid[48];
        std::snprintf(guid, sizeof guid, "{%08lX-%04lX-11D0-9C3A-00A0C90A8F%02lX}", 0x1000000L + i * 7919,
                      i & 0xFFFF, i % 256);
        const std::string cls = std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\") + guid;
        key(cls);
        text(cls, "", "Component " + std::to_string(i));
        key(cls + "\\InprocServer32");
        text(cls + "\\InprocServer32", "", NameFile(w, root, sys32 + "\\comp" + std::to_string(i) + ".dll"));
        text(cls + "\\InprocServer32", "ThreadingModel", "Apartment");
    }
    const std::string win = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    key(win + "\\SharedDLLs");
    for (long i = 0; i < keys / 40; ++i) {
        reg.SetDword(win + "\\SharedDLLs",
                     NameFile(w, root, "C:\\Program Files\\Common Files\\Vendor" + std::to_string(i % 40) + "\\lib" +
                                           std::to_string(i) + ".dll"),
                     1);
        ++w.values;
    }
    for (long i = 0; i < keys / 100; ++i) {
        const std::string k = win + "\\Uninstall\\Product " + std::to_string(i);
        key(k);
        text(k, "DisplayName", "Product " + std::to_string(i));
        text(k, "UninstallString",
             "\"" + NameFile(w, root, "C:\\Program Files\\Product" + std::to_string(i) + "\\uninstall.exe") + "\" /S");
    }
    for (long i = 0; i < keys / 400; ++i) {
        const std::string k = win + "\\App Paths\\App" + std::to_string(i) + ".exe";
        key(k);
        text(k, "", NameFile(w, root, "C:\\Program Files\\App" + std::to_string(i) + "\\app.exe"));
    }
    const std::string fonts = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    key(fonts);
    for (long i = 0; i < keys / 400; ++i)
        text(fonts, "Font " + std::to_string(i) + " (TrueType)",
             NameFile(w, root, "C:\\Windows\\Fonts\\font" + std::to_string(i) + ".ttf"));
    for (long i = 0; w.keys < keys; ++i) {
        const std::string k = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(i / 1000) + "\\Product" +
                              std::to_string(i / 10 % 100) + "\\Settings" + std::to_string(i % 10);
        key(k);
        text(k, "Option", "value " + std::to_string(i));
    }
}

int AgeFolder(const char* path, const struct stat* st, int type, FTW*) {
    if (type != FTW_D && type != FTW_DP) return 0;
    (void)st;
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, path, times, 0);
    return 0;
}

int RemoveEntry(const char* path, const struct stat*, int, FTW*) { return ::remove(path); }

struct Times {
    double wall = 0, cpu = 0;
};

Times Scan(World& w, const std::string& root, long long* scanned, long long* found) {
    DriveMap drives;  // a run's own: the listings it keeps start empty
    drives.Map('C', root);
    MappedSystem system(drives);
    EngineServices services;
    services.registry = &w.registry;
    services.system = &system;
    services.ignoreFile = "bench-native-scan-no-such-ignore.lst";
    CRegistryLib engine(services);
    ScanCategoryStates states;
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths, kSlotSharedTools,
                     kSlotFonts, kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    ResultRows rows;
    const double w0 = WallSeconds(), c0 = CpuSeconds();
    engine.ScanRegistry(rows, states);
    Times t{WallSeconds() - w0, CpuSeconds() - c0};
    *scanned = *found = 0;
    for (const auto& row : rows) {
        *scanned += row->itemsScanned;
        *found += row->errorsFound;
    }
    return t;
}

Times Floor(const World& w, long* present) {
    const double w0 = WallSeconds(), c0 = CpuSeconds();
    long n = 0;
    struct stat st;
    for (const std::string& host : w.hostFiles)
        if (::stat(host.c_str(), &st) == 0) ++n;
    *present = n;
    return Times{WallSeconds() - w0, CpuSeconds() - c0};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long keys = argc > 1 ? std::atol(argv[1]) : 200000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::string folder = argc > 3 ? argv[3] : "bench-native-scan";
    if (keys < 28 || folder.empty()) {
        std::fprintf(stderr, "usage: bench_native_scan_posix [keys >= 28] [rounds] [folder]\n");
        return 2;
    }
    if (folder[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd) == nullptr) return 2;
        folder = std::string(cwd) + "/" + folder;
    }
    const int divisors[] = {4, 2, 1};
    double medianScan[3] = {0, 0, 0};
    double medianCpu[3] = {0, 0, 0};
    std::printf("native scan of a registry in memory over files on disk (C: = %s), all nine areas;\n"
                "floor: one stat per named file by its host path; median of %d rounds, scan and floor by turns\n",
                folder.c_str(), rounds);
    std::printf("scale     keys   values  files  scanned  found   scan wall (min-max) s   scan cpu s   floor wall s   "
                "scan/floor   growth of scan (cpu)\n");
    for (int s = 0; s < 3; ++s) {
        const std::string root = folder + "/scale-" + std::to_string(divisors[s]);
        ::nftw(root.c_str(), RemoveEntry, 64, FTW_DEPTH | FTW_PHYS);
        MakeDirs(root);
        World w;
        Build(w, root, keys / divisors[s]);
        ::nftw(root.c_str(), AgeFolder, 64, FTW_PHYS);
        std::vector<double> scanWall, scanCpu, floorWall;
        long long scanned = 0, found = 0;
        long present = 0;
        for (int r = 0; r < rounds; ++r) {
            const Times scan = Scan(w, root, &scanned, &found);
            scanWall.push_back(scan.wall);
            scanCpu.push_back(scan.cpu);
            floorWall.push_back(Floor(w, &present).wall);
        }
        medianScan[s] = Median(scanWall);
        medianCpu[s] = Median(scanCpu);
        char growth[48] = "-";
        if (s > 0 && medianScan[s - 1] > 0 && medianCpu[s - 1] > 0)
            std::snprintf(growth, sizeof growth, "%.2f (%.2f)", medianScan[s] / medianScan[s - 1],
                          medianCpu[s] / medianCpu[s - 1]);
        const double floorMedian = Median(floorWall);
        std::printf("1/%d  %8ld %8ld %6zu %8lld %6lld   %7.3f (%.3f-%.3f)   %10.3f   %12.4f   %10.1f   %s\n", divisors[s],
                    w.keys, w.values, w.hostFiles.size(), scanned, found, medianScan[s],
                    *std::min_element(scanWall.begin(), scanWall.end()),
                    *std::max_element(scanWall.begin(), scanWall.end()), medianCpu[s], floorMedian,
                    floorMedian > 0 ? medianScan[s] / floorMedian : 0.0, growth);
        std::fflush(stdout);
        ::nftw(root.c_str(), RemoveEntry, 64, FTW_DEPTH | FTW_PHYS);
    }
    ::rmdir(folder.c_str());
    std::printf("growth per doubling of the registry: 2.0 is linear, 4.0 quadratic\n");
    return 0;
}

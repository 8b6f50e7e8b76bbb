// Scan time of an offline installation's hive files against the same
// registry given as a registry export file (--windows DIR against
// --registry FILE --drive C=DIR): a generated installation of every category
// is written once as hives and as a .reg file beside its drive folder, then
// each is loaded and scanned (nine registry categories) as the command line
// does, best of the repetitions.
//
//   bench_offline_scan_posix [classes] [repetitions]   (default 5000 COM classes, 3)
//
// Works in ./bench-offline-scan (made afresh). Making the hives takes most of
// the time: hivex inserts each new key by comparing it with its siblings.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/registry_lib.h"
#include "emulation/drive_map.h"
#include "emulation/mapped_system.h"
#include "emulation/offline_windows_posix.h"
#include "emulation/reg_file.h"
#include "tests/support/generated_installation.h"
#include "tests/support/hive_maker.h"

using namespace qm;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Timing {
    double load = 1e300, scan = 1e300;
    std::size_t findings = 0;
};

std::size_t Scan(IRegistry& reg, ISystem& sys) {
    EngineServices services;
    services.registry = &reg;
    services.system = &sys;
    services.ignoreFile = "bench-no-such-ignore.lst";
    CRegistryLib engine(services);
    ResultRows rows;
    ScanCategoryStates states;
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths, kSlotSharedTools, kSlotFonts,
                     kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    engine.ScanRegistry(rows, states);
    return engine.Findings().size();
}

}  // namespace

int main(int argc, char** argv) {
    const int classes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string dir = "bench-offline-scan";
    if (std::system(("rm -rf " + dir + " && mkdir -p " + dir + "/C").c_str()) != 0) return 2;

    auto t0 = Clock::now();
    {
        MemoryRegistry reg;
        testing::GenerateInstallation(reg, dir + "/C", classes);
        SaveRegFile(dir + "/installation.reg", reg, RegFileFormat::Unicode5);
        testing::WriteHiveSet(reg, dir + "/C");
    }
    std::printf("generated %d COM classes and the other areas in %.0f ms\n", classes, Ms(Clock::now() - t0));

    DriveMap drives;
    drives.Map('C', dir + "/C");
    Timing file, hives;
    for (int r = 0; r < reps; ++r) {
        {
            MappedSystem sys(drives);
            sys.UseWindowsLayout("C:\\Windows", "C:\\Windows\\System32");
            t0 = Clock::now();
            MemoryRegistry reg;
            LoadRegFile(dir + "/installation.reg", reg);
            const auto t1 = Clock::now();
            file.findings = Scan(reg, sys);
            file.load = std::min(file.load, Ms(t1 - t0));
            file.scan = std::min(file.scan, Ms(Clock::now() - t1));
        }
        {
            MappedSystem sys(drives);
            t0 = Clock::now();
            HiveRegistry reg;
            const OfflineWindows windows = LoadOfflineWindows(reg, dir + "/C", "", false);
            sys.UseWindowsLayout(windows.windowsDir, windows.systemDir);
            for (const auto& [name, value] : windows.environment)
                sys.SetEnvironmentVariable(name, sys.ExpandEnvironmentStrings(value));
            const auto t1 = Clock::now();
            hives.findings = Scan(reg, sys);
            hives.load = std::min(hives.load, Ms(t1 - t0));
            hives.scan = std::min(hives.scan, Ms(Clock::now() - t1));
        }
    }
    std::printf("best of %d\n%-34s %10s %10s %10s %9s\n", reps, "source",
                "load ms", "scan ms", "total ms", "findings");
    std::printf("%-34s %10.1f %10.1f %10.1f %9zu\n", "--registry installation.reg", file.load, file.scan,
                file.load + file.scan, file.findings);
    std::printf("%-34s %10.1f %10.1f %10.1f %9zu\n", "--windows (SOFTWARE, SYSTEM, user)", hives.load, hives.scan,
                hives.load + hives.scan, hives.findings);
    std::printf("hive set / registry file: load %.2fx, scan %.2fx, total %.2fx\n", hives.load / file.load,
                hives.scan / file.scan, (hives.load + hives.scan) / (file.load + file.scan));
    return file.findings == hives.findings ? 0 : 1;
}

// The repair alone on the registry of the machine it runs on (under Wine: the
// prefix's): the nine registry scans find what they find, untimed, then the
// repair of all of it (FixRegistry: each finding backed up to the XML file,
// then deleted) is timed. No registry export is made first, unlike
// `quillmere-cli fix`. Prints one line:
//
//   repair FINDINGS findings WALL s wall CPU s cpu backup FILE
//
// The findings are gone afterwards; `quillmere-cli restore FILE` puts them
// back (tools/bench-wine does, between rounds). Run it in a prefix of its own.
//
//   bench_repair_win32
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/process_clock_win32.h"
#include "engine/categories.h"
#include "engine/registry_lib.h"
#include "repair/registry_repair.h"
#include "repair/repair_pass.h"

using namespace qm;
using qm::bench::CpuSeconds;
using qm::bench::Now;

int main() {
    EngineServices services;
    services.ignoreFile = "bench-no-ignore.lst";
    CRegistryLib lib(services);
    ResultRows rows;
    ScanCategoryStates states;
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths, kSlotSharedTools,
                     kSlotFonts, kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    lib.ScanRegistry(rows, states);
    long found = 0;
    for (const auto& row : rows) found += row->errorsFound;

    const double w0 = Now(), c0 = CpuSeconds();
    CRegistryRepair repair(lib);
    const std::string backup = repair.FixRegistry(rows, MakeBackupFileName());
    const double wall = Now() - w0, cpu = CpuSeconds() - c0;
    if (backup.empty()) {
        std::fprintf(stderr, "bench_repair_win32: the backup file could not be made\n");
        return 2;
    }
    long fixed = 0;
    for (const auto& row : rows) fixed += row->errorsFixed;
    std::printf("repair %ld findings %.3f s wall %.3f s cpu backup %s\n", fixed, wall, cpu, backup.c_str());
    if (fixed != found) std::printf("(fixed %ld of %ld findings)\n", fixed, found);
    return 0;
}

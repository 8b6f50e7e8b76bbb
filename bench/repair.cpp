// Repair speed on a registry held in memory: FixRegistry (backup of each
// finding, written unbuffered, then its deletion) against the deletions
// alone on an identical registry, so the difference is what the backup costs.
// The registry holds `intact` entries beside each finding (COM class keys
// beside each broken one, font values in the same key beside each broken
// one), and the run is repeated at 1/4, 1/2 and 1 of its size so that the
// growth of each figure shows (2.0 per doubling is linear).
//
//   bench_repair [classes] [fonts] [intact] [rounds]
//       (default 2000 broken COM class keys, 2000 broken font values, 9 intact
//        entries beside each, best of 3 rounds)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/registry_lib.h"
#include "bench/bench_clock.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "repair/repair_pass.h"

using namespace qm;
using qm::bench::CpuSeconds;
using qm::bench::WallSeconds;

namespace {

const std::string kClsid = "HKEY_CLASSES_ROOT\\CLSID";
const std::string kFonts = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::string ClassName(int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08X-0000-4000-8000-%012X}", 0x51A10000u + unsigned(i), unsigned(i));
    return buf;
}

void Populate(MemoryRegistry& reg, CRegistryLib& lib, int classes, int fonts, int intact) {
    const int everyClass = classes * (intact + 1);
    for (int i = 0; i < everyClass; ++i) {
        const std::string key = kClsid + "\\" + ClassName(i);
        reg.SetString(key, "", "Bench Class " + std::to_string(i));
        reg.SetDword(key, "Flags", unsigned(i));
        reg.SetString(key + "\\InprocServer32", "", "C:\\Gone\\bench" + std::to_string(i) + ".dll");
        reg.SetString(key + "\\InprocServer32", "ThreadingModel", "Apartment");
        reg.SetString(key + "\\ProgID", "", "Bench.Class." + std::to_string(i));
        if (i % (intact + 1) != 0) continue;
        auto f = std::make_unique<CRegErrorLog>();
        f->SetCategory("CLSID");
        f->SetKeyPath(key);
        f->SetRemoveKind("KEY");
        f->SetValue(std::make_unique<CRegValueItem>("(Default)", "x", kRegSz));
        lib.Findings().push_back(std::move(f));
    }
    const int everyFont = fonts * (intact + 1);
    for (int i = 0; i < everyFont; ++i) {
        const std::string name = "Bench Font " + std::to_string(i) + " (TrueType)";
        const std::string file = "C:\\Gone\\font" + std::to_string(i) + ".ttf";
        reg.SetString(kFonts, name, file);
        if (i % (intact + 1) != 0) continue;
        auto f = std::make_unique<CRegErrorLog>();
        f->SetCategory("font");
        f->SetKeyPath(kFonts);
        f->SetRemoveKind("VAL");
        f->SetValue(std::make_unique<CRegValueItem>(name, file, kRegSz));
        lib.Findings().push_back(std::move(f));
    }
}

long FileSize(const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    return n;
}

struct Figures {
    double repairWall = 0, repairCpu = 0, deleteWall = 0, deleteCpu = 0;
    long bytes = 0;
    std::int32_t fixed = 0;
};

// One round at one size: the repair with its backup, then the same deletions
// without a backup on an identical registry.
Figures RunOnce(int classes, int fonts, int intact) {
    Figures out;
    MemorySystem system;
    EngineServices services;
    services.system = &system;
    services.ignoreFile = "bench-repair-ignore.lst";

    MemoryRegistry reg1;
    services.registry = &reg1;
    CRegistryLib lib1(services);
    CRegistryRepair repair1(lib1);
    Populate(reg1, lib1, classes, fonts, intact);
    ResultRows rows;
    rows.push_back(std::make_unique<CScanError>("Invalid CLSID", classes, classes));
    rows.push_back(std::make_unique<CScanError>("Corrupt Fonts", fonts, fonts));
    double w0 = WallSeconds();
    double c0 = CpuSeconds();
    const std::string backup = repair1.FixRegistry(rows, MakeBackupFileName());
    out.repairCpu = CpuSeconds() - c0;
    out.repairWall = WallSeconds() - w0;
    out.bytes = FileSize(backup);
    out.fixed = rows[0]->errorsFixed + rows[1]->errorsFixed;
    std::remove(backup.c_str());

    MemoryRegistry reg2;
    services.registry = &reg2;
    CRegistryLib lib2(services);
    CRegistryRepair repair2(lib2);
    Populate(reg2, lib2, classes, fonts, intact);
    w0 = WallSeconds();
    c0 = CpuSeconds();
    for (const auto& f : lib2.Findings()) {
        std::string sub = f->GetKeyPath();
        const std::string root = CRegistryLib::SeperateMainKey(sub);
        if (f->GetRemoveKind() == "KEY") repair2.RegDelKey(root, sub);
        else repair2.RegDelKeyValue(root, sub, f->GetValue()->name);
    }
    out.deleteCpu = CpuSeconds() - c0;
    out.deleteWall = WallSeconds() - w0;
    std::remove(services.ignoreFile.c_str());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int classes = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int fonts = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int intact = argc > 3 ? std::max(0, std::atoi(argv[3])) : 9;
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    std::printf("registry: %d COM class keys (%d broken; 5 values in 3 keys each), %d font values in one key "
                "(%d broken), at 1/4, 1/2 and 1 of that; best of %d rounds, sizes taken in turn\n",
                classes * (intact + 1), classes, fonts * (intact + 1), fonts, rounds);
    const int divisors[] = {4, 2, 1};
    Figures best[3];
    for (int round = 0; round < rounds; ++round) {
        for (int s = 0; s < 3; ++s) {
            const Figures f = RunOnce(classes / divisors[s], fonts / divisors[s], intact);
            if (round == 0) {
                best[s] = f;
                continue;
            }
            best[s].repairWall = std::min(best[s].repairWall, f.repairWall);
            best[s].repairCpu = std::min(best[s].repairCpu, f.repairCpu);
            best[s].deleteWall = std::min(best[s].deleteWall, f.deleteWall);
            best[s].deleteCpu = std::min(best[s].deleteCpu, f.deleteCpu);
        }
    }
    std::printf("scale  findings  repair wall   cpu (ms)  deletions wall   cpu (ms)  repair/deletions (cpu)  "
                "backup bytes/finding  growth of repair cpu\n");
    for (int s = 0; s < 3; ++s) {
        const Figures& f = best[s];
        const int n = classes / divisors[s] + fonts / divisors[s];
        char growth[32] = "-";
        if (s > 0 && best[s - 1].repairCpu > 0)
            std::snprintf(growth, sizeof growth, "%.2f", f.repairCpu / best[s - 1].repairCpu);
        std::printf("1/%d   %8d  %11.1f %10.1f  %14.1f %10.1f  %22.2f  %20.0f  %s\n", divisors[s], n,
                    f.repairWall * 1e3, f.repairCpu * 1e3, f.deleteWall * 1e3, f.deleteCpu * 1e3,
                    f.deleteCpu > 0 ? f.repairCpu / f.deleteCpu : 0.0, n > 0 ? double(f.bytes) / n : 0.0, growth);
        if (f.fixed != n) std::printf("  (fixed %d of %d findings)\n", f.fixed, n);
    }
    std::printf("growth per doubling of the registry: 2.0 is linear, 4.0 quadratic\n");
    return 0;
}

// Repair speed on a registry held in memory: FixRegistry (backup of each
// finding, written unbuffered, then its deletion) against the deletions
// alone on an identical registry, so the difference is what the backup costs.
//
//   bench_repair [classes] [fonts]     (default 2000 COM class keys and 2000 font values)
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/registry_lib.h"
#include "bench/bench_clock.h"
#include "platform/registry_memory.h"
#include "platform/system_memory.h"
#include "repair/repair_pass.h"

using namespace qm;
using qm::bench::CpuSeconds;

namespace {

const std::string kClsid = "HKEY_CLASSES_ROOT\\CLSID";
const std::string kFonts = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::string ClassName(int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08X-0000-4000-8000-%012X}", 0x51A10000u + unsigned(i), unsigned(i));
    return buf;
}

void Populate(MemoryRegistry& reg, CRegistryLib& lib, int classes, int fonts) {
    for (int i = 0; i < classes; ++i) {
        const std::string key = kClsid + "\\" + ClassName(i);
        reg.SetString(key, "", "Bench Class " + std::to_string(i));
        reg.SetDword(key, "Flags", unsigned(i));
        reg.SetString(key + "\\InprocServer32", "", "C:\\Gone\\bench" + std::to_string(i) + ".dll");
        reg.SetString(key + "\\InprocServer32", "ThreadingModel", "Apartment");
        reg.SetString(key + "\\ProgID", "", "Bench.Class." + std::to_string(i));
        auto f = std::make_unique<CRegErrorLog>();
        f->SetCategory("CLSID");
        f->SetKeyPath(key);
        f->SetRemoveKind("KEY");
        f->SetValue(std::make_unique<CRegValueItem>("(Default)", "x", kRegSz));
        lib.Findings().push_back(std::move(f));
    }
    for (int i = 0; i < fonts; ++i) {
        const std::string name = "Bench Font " + std::to_string(i) + " (TrueType)";
        const std::string file = "C:\\Gone\\font" + std::to_string(i) + ".ttf";
        reg.SetString(kFonts, name, file);
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

}  // namespace

int main(int argc, char** argv) {
    const int classes = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int fonts = argc > 2 ? std::atoi(argv[2]) : 2000;
    MemorySystem system;
    EngineServices services;
    services.system = &system;
    services.ignoreFile = "bench-repair-ignore.lst";

    // The repair with its backup.
    MemoryRegistry reg1;
    services.registry = &reg1;
    CRegistryLib lib1(services);
    Populate(reg1, lib1, classes, fonts);
    ResultRows rows;
    rows.push_back(std::make_unique<CScanError>("Invalid CLSID", classes, classes));
    rows.push_back(std::make_unique<CScanError>("Corrupt Fonts", fonts, fonts));
    auto w0 = std::chrono::steady_clock::now();
    double c0 = CpuSeconds();
    const std::string backup = lib1.FixRegistry(rows, MakeBackupFileName());
    const double repairCpu = CpuSeconds() - c0;
    const double repairWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    const long bytes = FileSize(backup);

    // The same deletions without a backup.
    MemoryRegistry reg2;
    services.registry = &reg2;
    CRegistryLib lib2(services);
    Populate(reg2, lib2, classes, fonts);
    w0 = std::chrono::steady_clock::now();
    c0 = CpuSeconds();
    for (const auto& f : lib2.Findings()) {
        std::string sub = f->GetKeyPath();
        const std::string root = CRegistryLib::SeperateMainKey(sub);
        if (f->GetRemoveKind() == "KEY") lib2.RegDelKey(root, sub);
        else lib2.RegDelKeyValue(root, sub, f->GetValue()->name);
    }
    const double deleteCpu = CpuSeconds() - c0;
    const double deleteWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();

    const int n = classes + fonts;
    std::printf("findings: %d (%d class keys with 5 values in 3 keys, %d font values)\n", n, classes, fonts);
    std::printf("repair with backup : %8.1f ms wall, %8.1f ms cpu, %6.1f us/finding wall\n",
                repairWall * 1e3, repairCpu * 1e3, repairWall * 1e6 / n);
    std::printf("deletions only     : %8.1f ms wall, %8.1f ms cpu, %6.1f us/finding wall\n",
                deleteWall * 1e3, deleteCpu * 1e3, deleteWall * 1e6 / n);
    std::printf("backup file        : %ld bytes (%s), %.0f bytes/finding; fixed %d + %d\n", bytes,
                backup.c_str(), double(bytes) / n, rows[0]->errorsFixed, rows[1]->errorsFixed);
    std::remove(backup.c_str());
    std::remove(services.ignoreFile.c_str());
    return 0;
}

// A restore of many sibling keys into a registry held in memory: a generated
// XML backup holding KEYS keys below one parent (each with one value, in an
// order that is not sorted, so that every new key goes in among the others),
// restored with CRegistryLib::LoadAsXml. Prints the processor and wall time
// of the restore of a quarter of the keys and of all of them, and how much
// longer four times the keys took (4 when a key costs the same whatever the
// number of its siblings, 16 when it costs in proportion to them). Checks
// that every key came back and the sub-keys enumerate in order.
//
//   bench_sibling_restore [KEYS]     (default 1000000)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/registry_lib.h"
#include "bench/bench_clock.h"
#include "emulation/registry_memory.h"
#include "repair/registry_repair.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"

using namespace qm;
using qm::bench::CpuSeconds;
using qm::bench::WallSeconds;

namespace {

// Uninstall: an area a backup may write into, with many siblings on a real machine.
const char* const kParent = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string KeyName(unsigned i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Sibling %07u", i);
    return buf;
}

// The backup of `count` keys below HKEY_LOCAL_MACHINE\kParent,
// the keys in the order i * step mod count (step prime to count).
bool WriteBackup(const std::string& path, unsigned count) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
               "  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\">\r\n    <k name=\"Microsoft\">\r\n"
               "     <k name=\"Windows\">\r\n      <k name=\"CurrentVersion\">\r\n       <k name=\"Uninstall\">\r\n",
               f);
    unsigned step = 7919;
    while (count % step == 0) step += 2;
    unsigned long long at = 0;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned n = unsigned(at % count);
        at += step;
        std::fprintf(f, "        <k name=\"%s\">\r\n         <v name=\"Index\" value=\"0x%08x (%u)\" type=\"REG_DWORD\"/>\r\n"
                        "        </k>\r\n",
                     KeyName(n).c_str(), n, n);
    }
    std::fputs("       </k>\r\n      </k>\r\n     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n </registry>\r\n", f);
    return std::fclose(f) == 0;
}

struct Timing {
    double cpu = 0, wall = 0;
    bool ok = false;
};

Timing RestoreOnce(unsigned count) {
    Timing t;
    const std::string path = "bench-sibling-restore.xml";
    if (!WriteBackup(path, count)) {
        std::fprintf(stderr, "bench_sibling_restore: cannot write %s\n", path.c_str());
        return t;
    }
    MemoryRegistry memory;
    EngineServices services;
    services.registry = &memory;
    services.ignoreFile = "bench-sibling-restore-ignore.lst";
    CRegistryLib lib(services);
    CRegistryRepair repair(lib);
    RecordingRestoreUi ui;
    repair.SetRestoreUi(&ui);
    CXmlReader reader;
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    t.ok = repair.LoadAsXml(reader, path) == 1;
    t.wall = WallSeconds() - w0;
    t.cpu = CpuSeconds() - c0;
    std::remove(path.c_str());
    if (!t.ok) {
        std::fprintf(stderr, "bench_sibling_restore: the restore failed: %s\n", repair.LastRestore().Describe().c_str());
        return t;
    }

    // Every key is there, in the registry's order, with its value.
    RegKey parent = kNullKey;
    RegKeyInfo info;
    if (memory.RegOpenKeyExA(kHkeyLocalMachine, kParent, kKeyRead, &parent) != kRegSuccess ||
        memory.RegQueryInfoKeyA(parent, &info) != kRegSuccess || info.subKeys != count) {
        std::fprintf(stderr, "bench_sibling_restore: %u keys expected\n", count);
        t.ok = false;
    }
    for (unsigned i = 0; t.ok && i < count; i += std::max(1u, count / 1000)) {
        char name[64];
        std::uint32_t length = sizeof name;
        if (memory.RegEnumKeyExA(parent, i, name, &length) != kRegSuccess || KeyName(i) != name) {
            std::fprintf(stderr, "bench_sibling_restore: key %u is not \"%s\"\n", i, KeyName(i).c_str());
            t.ok = false;
        }
    }
    if (parent != kNullKey) memory.RegCloseKey(parent);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned count = argc > 1 ? unsigned(std::max(4, std::atoi(argv[1]))) : 1000000u;
    std::printf("restore of sibling keys into the in-memory registry (one value each)\n");
    std::printf("%10s %10s %10s %12s\n", "keys", "cpu s", "wall s", "keys/s");
    Timing times[2];
    const unsigned counts[2] = {count / 4, count};
    for (int i = 0; i < 2; ++i) {
        times[i] = RestoreOnce(counts[i]);
        if (!times[i].ok) return 1;
        std::printf("%10u %10.2f %10.2f %12.0f\n", counts[i], times[i].cpu, times[i].wall,
                    times[i].wall > 0 ? counts[i] / times[i].wall : 0.0);
        std::fflush(stdout);
    }
    std::printf("4 times the keys took %.1f times as long (wall)\n",
                times[0].wall > 0 ? times[1].wall / times[0].wall : 0.0);
    return 0;
}

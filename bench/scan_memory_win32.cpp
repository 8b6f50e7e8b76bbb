// The memory the nine registry scans take on the registry of the machine it
// runs on (under Wine: the prefix's), counted exactly: every allocation of
// the program goes through the counting operator new below. For each round
// it prints the largest heap the scan held above what was held before it,
// what it still held at its end (its findings and result rows, which the
// report and the repair need) and the difference, the scan's working memory,
// which must not grow with the registry. tools/bench-wine runs it in
// prefixes of several sizes (--only memory).
//
//   bench_scan_memory_win32 [rounds]     (default 3)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "engine/registry_lib.h"

using namespace qm;

namespace {

std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

// Each block carries its size in front of it.
constexpr std::size_t kHeader = 16;

void* Allocate(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) return nullptr;
    *static_cast<std::size_t*>(block) = size;
    const long long live = g_live += static_cast<long long>(size);
    long long peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void Release(void* p) {
    if (p == nullptr) return;
    void* block = static_cast<char*>(p) - kHeader;
    g_live -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}

double PeakWorkingSetMb() {
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return double(c.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    ScanCategoryStates states;
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths, kSlotSharedTools,
                     kSlotFonts, kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    long long lastWorking = 0;
    for (int r = 0; r < rounds; ++r) {
        const long long before = g_live.load();
        g_peak.store(before);
        long long held = 0;
        long scanned = 0;
        std::size_t findings = 0;
        {
            EngineServices services;
            services.ignoreFile = "bench-no-ignore.lst";
            CRegistryLib lib(services);
            ResultRows rows;
            lib.ScanRegistry(rows, states);
            for (const auto& row : rows) scanned += row->itemsScanned;
            findings = lib.Findings().size();
            held = g_live.load() - before;
        }
        const long long peak = g_peak.load() - before;
        const long long left = g_live.load() - before;
        lastWorking = peak - held;
        std::printf("  round %d: %ld items scanned, %zu findings; heap peak %.0f KB, held at the end %.0f KB "
                    "(%.0f bytes a finding), working %.0f KB; left once the engine is gone %.0f KB\n",
                    r + 1, scanned, findings, peak / 1024.0, held / 1024.0,
                    findings ? double(held) / double(findings) : 0.0, lastWorking / 1024.0, left / 1024.0);
    }
    std::printf("scan working memory %.0f KB (heap peak less what the scan hands back); peak working set %.1f MB\n",
                lastWorking / 1024.0, PeakWorkingSetMb());
    return 0;
}

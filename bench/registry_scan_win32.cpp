// The nine registry scans on the registry and disk of the machine it runs on
// (under Wine: the prefix's), against their floor: a program that opens the
// same keys, enumerates the same sub-keys and values and tests the same paths
// once each, and does nothing else. A first, recording run of the scan
// learns which keys it opened and enumerated and which paths it tested, and
// counts its registry and file calls per scanned item; then scan and floor
// run by turns. Run it in a prefix of its own (tools/bench-wine builds one).
//
//   bench_registry_scan_win32 [rounds] [scan|floor]     (default 5)
//
// Scan and floor take turns at going first. With "scan" or "floor" only that
// side runs in the timed rounds (for call traces or profiles of one side,
// e.g. WINEDEBUG=+relay on a small prefix).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/process_clock_win32.h"
#include "engine/registry_lib.h"
#include "platform/registry.h"
#include "platform/system.h"

using namespace qm;
using qm::bench::CpuSeconds;
using qm::bench::Now;

namespace {

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return double(c.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

std::string RootName(RegKey key) {
    switch (key) {
        case kHkeyClassesRoot: return "HKEY_CLASSES_ROOT";
        case kHkeyCurrentUser: return "HKEY_CURRENT_USER";
        case kHkeyLocalMachine: return "HKEY_LOCAL_MACHINE";
        case kHkeyUsers: return "HKEY_USERS";
        default: return std::string();
    }
}

// What the scan did to one key.
struct KeyUse {
    bool subKeys = false;
    bool values = false;
};

// Forwards to the real registry, counting each operation and noting which
// keys were opened and enumerated.
class RecordingRegistry : public IRegistry {
public:
    explicit RecordingRegistry(IRegistry& real) : real_(real) {}

    std::map<std::string, unsigned long> calls;
    std::vector<std::string> order;          // keys in the order first opened
    std::map<std::string, KeyUse> keys;      // by full path

    RegStatus RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) override {
        ++calls["RegOpenKey"];
        const RegStatus s = real_.RegOpenKeyA(parent, subKey, result);
        if (s == kRegSuccess && result) Opened(parent, subKey, *result);
        else Failed(subKey);
        return s;
    }
    RegStatus RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result) override {
        ++calls["RegOpenKeyEx"];
        const RegStatus s = real_.RegOpenKeyExA(parent, subKey, access, result);
        if (s == kRegSuccess && result) Opened(parent, subKey, *result);
        else Failed(subKey);
        return s;
    }
    RegStatus RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) override {
        ++calls["RegCreateKey"];
        return real_.RegCreateKeyA(parent, subKey, result);
    }
    RegStatus RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result, bool* created,
                              std::uint32_t view = 0) override {
        ++calls["RegCreateKeyEx"];
        return real_.RegCreateKeyExA(parent, subKey, result, created, view);
    }
    bool RegIsSameKey(RegKey a, RegKey b) override { return real_.RegIsSameKey(a, b); }
    RegStatus RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override {
        ++calls["RegQueryInfoKey"];
        return real_.RegQueryInfoKeyA(key, info);
    }
    RegStatus RegEnumKeyExA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen) override {
        ++calls["RegEnumKeyEx"];
        Use(key).subKeys = true;
        return real_.RegEnumKeyExA(key, index, name, nameLen);
    }
    RegStatus RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                            std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataLen) override {
        ++calls["RegEnumValue"];
        Use(key).values = true;
        return real_.RegEnumValueA(key, index, name, nameLen, type, data, dataLen);
    }
    RegStatus RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* dataLen) override {
        ++calls["RegQueryValueEx"];
        return real_.RegQueryValueExA(key, name, type, data, dataLen);
    }
    RegStatus RegSetValueExA(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t dataLen) override {
        return real_.RegSetValueExA(key, name, type, data, dataLen);
    }
    RegStatus RegDeleteKeyA(RegKey parent, const char* subKey) override { return real_.RegDeleteKeyA(parent, subKey); }
    RegStatus RegDeleteValueA(RegKey key, const char* name) override { return real_.RegDeleteValueA(key, name); }
    RegStatus RegCloseKey(RegKey key) override {
        ++calls["RegCloseKey"];
        paths_.erase(key);
        return real_.RegCloseKey(key);
    }

    std::map<std::string, unsigned> failedOpens;  // by the sub-key path asked for

private:
    void Failed(const char* subKey) {
        ++calls["(failed opens)"];
        ++failedOpens[subKey ? subKey : ""];
    }
    std::string PathOf(RegKey key) const {
        const std::string root = RootName(key);
        if (!root.empty()) return root;
        auto it = paths_.find(key);
        return it == paths_.end() ? std::string("?") : it->second;
    }
    void Opened(RegKey parent, const char* subKey, RegKey key) {
        std::string path = PathOf(parent);
        if (subKey && *subKey) path += std::string("\\") + subKey;
        if (key != parent) paths_[key] = path;
        if (keys.emplace(path, KeyUse{}).second) order.push_back(path);
        ++opens_[path];
    }
    KeyUse& Use(RegKey key) {
        const std::string path = PathOf(key);
        if (keys.emplace(path, KeyUse{}).second) order.push_back(path);
        return keys[path];
    }

    IRegistry& real_;
    std::map<RegKey, std::string> paths_;

public:
    std::map<std::string, unsigned> opens_;
};

// Forwards to the real system, counting calls and noting the paths tested.
class RecordingSystem : public ISystem {
public:
    explicit RecordingSystem(ISystem& real) : real_(real) {}
    std::map<std::string, unsigned long> calls;
    std::vector<std::string> tested;  // in order, each once
    std::set<std::string> seen;
    unsigned long repeatedTests = 0;

    bool FileExists(const std::string& path) override {
        ++calls["FileExists"];
        Note(path);
        return real_.FileExists(path);
    }
    std::string ExpandEnvironmentStrings(const std::string& text) override {
        ++calls["ExpandEnvironmentStrings"];
        return real_.ExpandEnvironmentStrings(text);
    }
    std::string GetSystemDirectory() override { return real_.GetSystemDirectory(); }
    std::string GetWindowsDirectory() override { return real_.GetWindowsDirectory(); }
    std::uint32_t GetVersion() override { return real_.GetVersion(); }
    bool GetEnvironmentVariable(const std::string& name, std::string& value) override {
        ++calls["GetEnvironmentVariable"];
        return real_.GetEnvironmentVariable(name, value);
    }
    bool IsDirectory(const std::string& path) override {
        ++calls["IsDirectory"];
        Note(path);
        return real_.IsDirectory(path);
    }
    bool IsLocalDrive(char letter) override {
        ++calls["IsLocalDrive"];
        return real_.IsLocalDrive(letter);
    }

private:
    void Note(const std::string& path) {
        if (seen.insert(path).second) tested.push_back(path);
        else ++repeatedTests;
        ++times[path];
    }

public:
    std::map<std::string, unsigned> times;  // tests of each path

private:
    ISystem& real_;
};

ScanCategoryStates AllRegistryCategories() {
    ScanCategoryStates states;
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths, kSlotSharedTools,
                     kSlotFonts, kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    return states;
}

struct ScanResult {
    long scanned = 0, found = 0;
};

ScanResult Scan(IRegistry* registry, ISystem* system) {
    EngineServices services;
    services.registry = registry;
    services.system = system;
    services.ignoreFile = "bench-no-ignore.lst";
    CRegistryLib lib(services);
    ResultRows rows;
    ScanCategoryStates states = AllRegistryCategories();
    lib.ScanRegistry(rows, states);
    ScanResult r;
    for (const auto& row : rows) {
        r.scanned += row->itemsScanned;
        r.found += row->errorsFound;
    }
    return r;
}

HKEY RootHkey(const std::string& name) {
    if (name == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (name == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == "HKEY_USERS") return HKEY_USERS;
    return nullptr;
}

// The floor: each key the scan used, opened once from its root; its
// sub-keys and values enumerated when the scan enumerated them; then each
// path tested once.
struct FloorPlan {
    struct Key {
        HKEY root;
        std::string sub;
        KeyUse use;
    };
    std::vector<Key> keys;
    std::vector<std::string> paths;
};

// The floor's calls, counted in its first run.
struct FloorCalls {
    unsigned long open = 0, enumKey = 0, enumValue = 0, close = 0, fileTest = 0;
};

unsigned long RunFloor(const FloorPlan& plan, FloorCalls* calls = nullptr) {
    FloorCalls none;
    FloorCalls& n = calls ? *calls : none;
    unsigned long work = 0;
    std::vector<char> name(16384), valueName(16384);
    std::vector<BYTE> data(1 << 16);
    for (const FloorPlan::Key& k : plan.keys) {
        HKEY key = nullptr;
        ++n.open;
        if (RegOpenKeyExA(k.root, k.sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        if (k.use.subKeys)
            for (DWORD i = 0;; ++i) {
                DWORD len = DWORD(name.size());
                ++n.enumKey;
                if (RegEnumKeyExA(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                ++work;
            }
        if (k.use.values)
            for (DWORD i = 0;; ++i) {
                DWORD nameLen = DWORD(valueName.size()), type = 0, dataLen = DWORD(data.size());
                ++n.enumValue;
                if (RegEnumValueA(key, i, valueName.data(), &nameLen, nullptr, &type, data.data(), &dataLen) !=
                    ERROR_SUCCESS)
                    break;
                ++work;
            }
        ++n.close;
        RegCloseKey(key);
    }
    for (const std::string& p : plan.paths) {
        ++n.fileTest;
        if (GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES) ++work;
    }
    return work;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string only = argc > 2 ? argv[2] : "";
    const bool withScan = only != "floor", withFloor = only != "scan";

    // The recording run.
    RecordingRegistry recReg(DefaultRegistry());
    RecordingSystem recSys(DefaultSystem());
    const double t0 = Now();
    const ScanResult first = Scan(&recReg, &recSys);
    const double recorded = Now() - t0;

    FloorPlan plan;
    for (const std::string& path : recReg.order) {
        const auto slash = path.find('\\');
        const std::string root = path.substr(0, slash);
        const HKEY hroot = RootHkey(root);
        if (hroot == nullptr) continue;
        plan.keys.push_back({hroot, slash == std::string::npos ? std::string() : path.substr(slash + 1),
                             recReg.keys[path]});
    }
    plan.paths = recSys.tested;

    unsigned long repeatedOpens = 0;
    for (const auto& o : recReg.opens_)
        if (o.second > 1) repeatedOpens += o.second - 1;

    std::printf("registry scan: %ld items scanned, %ld found; %zu keys used, %zu distinct paths tested "
                "(recording run %.2f s)\n",
                first.scanned, first.found, plan.keys.size(), plan.paths.size(), recorded);
    std::printf("calls per scanned item (scan):");
    for (const auto& c : recReg.calls)
        std::printf(" %s %.2f", c.first.c_str(), double(c.second) / double(std::max(1L, first.scanned)));
    for (const auto& c : recSys.calls)
        std::printf(" %s %.2f", c.first.c_str(), double(c.second) / double(std::max(1L, first.scanned)));
    FloorCalls floorCalls;
    RunFloor(plan, &floorCalls);  // also warms the floor's first round as the recording run warmed the scan
    const double items = double(std::max(1L, first.scanned));
    std::printf("\ncalls per scanned item (floor): RegCloseKey %.2f RegEnumKeyEx %.2f RegEnumValue %.2f "
                "RegOpenKeyEx %.2f GetFileAttributes %.2f",
                double(floorCalls.close) / items, double(floorCalls.enumKey) / items,
                double(floorCalls.enumValue) / items, double(floorCalls.open) / items,
                double(floorCalls.fileTest) / items);
    std::printf("\nrepeated: %lu opens of a key opened before, %lu tests of a path tested before\n", repeatedOpens,
                recSys.repeatedTests);
    std::vector<std::pair<unsigned, std::string>> failed;
    for (const auto& f : recReg.failedOpens) failed.emplace_back(f.second, f.first);
    std::sort(failed.rbegin(), failed.rend());
    for (std::size_t i = 0; i < failed.size() && i < 4; ++i)
        std::printf("  failed to open %u times: %s\n", failed[i].first, failed[i].second.c_str());
    std::vector<std::pair<unsigned, std::string>> most;
    for (const auto& t : recSys.times)
        if (t.second > 1) most.emplace_back(t.second, t.first);
    std::sort(most.rbegin(), most.rend());
    for (std::size_t i = 0; i < most.size() && i < 4; ++i)
        std::printf("  tested %u times: %s\n", most[i].first, most[i].second.c_str());

    std::vector<double> scanWall, floorWall, scanCpu, floorCpu;
    const auto timeScan = [&](int r) {
        const double c = CpuSeconds(), w = Now();
        const ScanResult again = Scan(nullptr, nullptr);
        scanWall.push_back(Now() - w);
        scanCpu.push_back(CpuSeconds() - c);
        if (again.scanned != first.scanned) std::printf("  (round %d scanned %ld)\n", r + 1, again.scanned);
    };
    const auto timeFloor = [&] {
        const double c = CpuSeconds(), w = Now();
        RunFloor(plan);
        floorWall.push_back(Now() - w);
        floorCpu.push_back(CpuSeconds() - c);
    };
    for (int r = 0; r < rounds; ++r) {
        if (r % 2 == 0) {
            if (withScan) timeScan(r);
            if (withFloor) timeFloor();
        } else {
            if (withFloor) timeFloor();
            if (withScan) timeScan(r);
        }
    }
    const double sw = Median(scanWall), fw = Median(floorWall);
    const double sc = Median(scanCpu), fc = Median(floorCpu);
    // The processor times come in steps of 10 to 16 ms: their sums over all
    // rounds give the finer ratio.
    double scTotal = 0, fcTotal = 0;
    for (double c : scanCpu) scTotal += c;
    for (double c : floorCpu) fcTotal += c;
    std::printf("registry scan  %8.3f s   floor %8.3f s   ratio %.2fx   (median of %d)\n", sw, fw,
                fw > 0 ? sw / fw : 0.0, rounds);
    std::printf("processor time %8.3f s   floor %8.3f s   ratio %.2fx   (median; all rounds %.3f / %.3f s, "
                "%.2fx)\n",
                sc, fc, fc > 0 ? sc / fc : 0.0, scTotal, fcTotal, fcTotal > 0 ? scTotal / fcTotal : 0.0);
    std::printf("each round (wall / processor, ms):");
    for (std::size_t i = 0; i < std::max(scanWall.size(), floorWall.size()); ++i) {
        std::printf(" [");
        if (i < scanWall.size()) std::printf("scan %.0f/%.0f", scanWall[i] * 1e3, scanCpu[i] * 1e3);
        if (i < floorWall.size()) std::printf(" floor %.0f/%.0f", floorWall[i] * 1e3, floorCpu[i] * 1e3);
        std::printf("]");
    }
    std::printf("\npeak working set %.1f MB\n", PeakMegabytes());
    return 0;
}

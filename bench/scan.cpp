// Scan speed on a registry of realistic size held in memory: the full scan of
// the nine registry categories against a bare walk that only enumerates the
// same keys and values and tests the same paths for existence (the paths the
// scan tested, recorded in a first run, so that both pay the same for each
// existence test).
//
//   bench_scan [repetitions]     (default 20; the best time of each is shown: processor
//                                time natively, wall time on Windows, whose processor
//                                times come in ticks of 10 ms or more)
#include <strings.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"

using namespace qm;

namespace {

const std::string kSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows";
const std::string kClsidPath = "HKEY_CLASSES_ROOT\\CLSID";
const std::string kSharedDlls = kSoftware + "\\CurrentVersion\\SharedDLLs";
const std::string kUninstall = kSoftware + "\\CurrentVersion\\Uninstall";
const std::string kAppPaths = kSoftware + "\\CurrentVersion\\App Paths";
const std::string kRun = kSoftware + "\\CurrentVersion\\Run";
const std::string kFonts = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string kDrivers =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const std::string kHelp = kSoftware + "\\Help";
const std::string kSharedTools = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";

struct Counts {
    int classes = 10000, sharedDlls = 3000, products = 500, fonts = 300, appPaths = 200;
};

std::string Hex(unsigned v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, v);
    return buf;
}

// Nine in ten files exist.
void Populate(MemoryRegistry& reg, MemorySystem& sys, const Counts& n) {
    unsigned serial = 0;
    const auto file = [&](const std::string& path) {
        if (++serial % 10 != 0) sys.AddFile(path);
    };
    const std::string sys32 = sys.GetSystemDirectory();
    const std::string pf = "C:\\Program Files";

    for (int i = 0; i < n.classes; ++i) {
        const std::string cls = kClsidPath + "\\{" + Hex(0x1000000u + unsigned(i) * 7919u, 8) +
                                "-" + Hex(unsigned(i) & 0xFFFF, 4) + "-11D0-9C3A-00A0C90A8F" +
                                Hex(unsigned(i) % 256, 2) + "}";
        reg.SetString(cls, "", "Component " + std::to_string(i));
        const int kind = i % 10;
        if (kind < 7) {  // in-process only
            std::string path = (i % 3 == 0) ? "comp" + std::to_string(i) + ".dll"
                                            : sys32 + "\\comp" + std::to_string(i) + ".dll";
            reg.SetString(cls + "\\InprocServer32", "",
                          i % 5 == 0 ? "%SystemRoot%\\System32\\comp" + std::to_string(i) + ".dll"
                                     : path);
            reg.SetString(cls + "\\InprocServer32", "ThreadingModel", "Apartment");
            file(sys32 + "\\comp" + std::to_string(i) + ".dll");
        } else {  // local server, some with an in-process one too
            const std::string exe = pf + "\\Vendor" + std::to_string(i % 50) + "\\app" +
                                    std::to_string(i) + ".exe";
            reg.SetString(cls + "\\LocalServer32", "", "\"" + exe + "\" -Embedding");
            file(exe);
            if (kind == 9) {
                reg.SetString(cls + "\\InprocServer32", "", sys32 + "\\proxy" + std::to_string(i) + ".dll");
                file(sys32 + "\\proxy" + std::to_string(i) + ".dll");
            }
        }
        if (i % 2 == 0) reg.SetString(cls + "\\ProgID", "", "Vendor.Component" + std::to_string(i) + ".1");
        if (i % 4 == 0) reg.SetString(cls + "\\TypeLib", "", "{00020430-0000-0000-C000-000000000046}");
    }
    for (int i = 0; i < n.sharedDlls; ++i) {
        const std::string path = pf + "\\Common Files\\Vendor" + std::to_string(i % 40) + "\\lib" +
                                 std::to_string(i) + ".dll";
        reg.SetDword(kSharedDlls, path, unsigned(i % 7 + 1));
        file(path);
    }
    for (int i = 0; i < n.products; ++i) {
        const std::string key = kUninstall + "\\Product " + std::to_string(i);
        const std::string dir = pf + "\\Product" + std::to_string(i);
        reg.SetString(key, "DisplayName", "Product " + std::to_string(i));
        reg.SetString(key, "DisplayVersion", "1." + std::to_string(i % 10));
        reg.SetString(key, "Publisher", "Vendor " + std::to_string(i % 50));
        reg.SetString(key, "InstallLocation", dir + "\\");
        reg.SetDword(key, "EstimatedSize", unsigned(1000 + i));
        reg.SetString(key, "UninstallString", "\"" + dir + "\\uninstall.exe\" /S");
        file(dir + "\\uninstall.exe");
    }
    for (int i = 0; i < n.fonts; ++i) {
        const std::string name = "font" + std::to_string(i) + ".ttf";
        reg.SetString(kFonts, "Font " + std::to_string(i) + " (TrueType)", name);
        file(sys.GetWindowsDirectory() + "\\Fonts\\" + name);
    }
    for (int i = 0; i < n.appPaths; ++i) {
        const std::string dir = pf + "\\App" + std::to_string(i);
        const std::string key = kAppPaths + "\\App" + std::to_string(i) + ".exe";
        reg.SetString(key, "", dir + "\\App" + std::to_string(i) + ".exe");
        reg.SetString(key, "Path", dir + ";");
        file(dir + "\\App" + std::to_string(i) + ".exe");
    }
    for (int i = 0; i < 20; ++i) {
        reg.SetString(kDrivers, "msacm.codec" + std::to_string(i), "codec" + std::to_string(i) + ".acm");
        file(sys32 + "\\codec" + std::to_string(i) + ".acm");
        reg.SetString(kHelp, "help" + std::to_string(i) + ".hlp", "C:\\Windows\\Help\\");
        file("C:\\Windows\\Help\\help" + std::to_string(i) + ".hlp");
        reg.SetString(kRun, "Agent" + std::to_string(i), "\"" + pf + "\\Agent" + std::to_string(i) + "\\agent.exe\" -tray");
        file(pf + "\\Agent" + std::to_string(i) + "\\agent.exe");
        reg.SetString(kSharedTools + "\\Tool" + std::to_string(i), "Path", pf + "\\Common Files\\tool" + std::to_string(i) + ".exe");
        file(pf + "\\Common Files\\tool" + std::to_string(i) + ".exe");
    }
}

// ---------------------------------------------------------------- bare walk

// Passes existence tests through, recording the paths when asked to.
class RecordingSystem : public ISystem {
public:
    explicit RecordingSystem(ISystem& inner) : inner_(inner) {}
    bool FileExists(const std::string& path) override {
        if (recording) paths.push_back(path);
        return inner_.FileExists(path);
    }
    std::string ExpandEnvironmentStrings(const std::string& t) override { return inner_.ExpandEnvironmentStrings(t); }
    std::string GetSystemDirectory() override { return inner_.GetSystemDirectory(); }
    std::string GetWindowsDirectory() override { return inner_.GetWindowsDirectory(); }
    std::uint32_t GetVersion() override { return inner_.GetVersion(); }

    bool recording = false;
    std::vector<std::string> paths;

private:
    ISystem& inner_;
};

struct Walker {
    IRegistry& reg;
    ISystem& sys;
    const std::vector<std::string>& paths;  // tested one per examined value, in order
    std::size_t next = 0;
    std::uint64_t existing = 0;
    std::vector<char> name = std::vector<char>(512);
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(2048);

    bool lastMissing = false;
    void Test() {
        lastMissing = false;
        if (next >= paths.size()) return;
        if (sys.FileExists(paths[next++])) ++existing;
        else lastMissing = true;
    }
    void TestRest() {
        while (next < paths.size()) Test();
    }
    RegKey Open(const std::string& fullPath) {
        std::string rest = fullPath;
        const std::string root = CRegistryLib::SeperateMainKey(rest);
        RegKey key = kNullKey;
        reg.RegOpenKeyA(RootKeyFromName(root), rest.c_str(), &key);
        return key;
    }
    // Every value of `key`; test the data (or the name) of each, or only of
    // the value named `only`.
    void Values(RegKey key, bool testNames, const char* only = nullptr) {
        RegKeyInfo info;
        if (reg.RegQueryInfoKeyA(key, &info) != kRegSuccess) return;
        for (std::uint32_t i = 0; i < info.values; ++i) {
            std::uint32_t nameLen = std::uint32_t(name.size()), dataLen = std::uint32_t(data.size()), type = 0;
            if (reg.RegEnumValueA(key, i, name.data(), &nameLen, &type, data.data(), &dataLen) != kRegSuccess)
                continue;
            if (only && std::strcmp(name.data(), only) != 0) continue;
            (void)testNames;
            Test();
        }
    }
    void ValueKey(const std::string& path, bool testNames) {
        RegKey k = Open(path);
        Values(k, testNames);
        reg.RegCloseKey(k);
    }
    void SubKeyValues(const std::string& path, const char* only, bool helpKeysOnly = false) {
        RegKey root = Open(path);
        std::vector<char> sub(512);
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t len = std::uint32_t(sub.size());
            if (reg.RegEnumKeyExA(root, i, sub.data(), &len) != kRegSuccess) break;
            if (helpKeysOnly && strcasecmp(sub.data(), "help") != 0 &&
                strcasecmp(sub.data(), "html help") != 0)
                continue;
            RegKey child = kNullKey;
            if (reg.RegOpenKeyA(root, sub.data(), &child) != kRegSuccess) continue;
            Values(child, false, only);
            reg.RegCloseKey(child);
        }
        reg.RegCloseKey(root);
    }
    void Classes() {
        RegKey root = Open(kClsidPath);
        std::vector<char> cls(512), sub(512);
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t len = std::uint32_t(cls.size());
            if (reg.RegEnumKeyExA(root, i, cls.data(), &len) != kRegSuccess) break;
            RegKey ck = kNullKey;
            if (reg.RegOpenKeyA(root, cls.data(), &ck) != kRegSuccess) continue;
            RegKeyInfo info;
            reg.RegQueryInfoKeyA(ck, &info);
            bool missing = false;
            for (std::uint32_t j = 0;; ++j) {
                std::uint32_t sl = std::uint32_t(sub.size());
                if (reg.RegEnumKeyExA(ck, j, sub.data(), &sl) != kRegSuccess) break;
                if (strncasecmp(sub.data(), "inprocserver", 12) != 0 &&
                    strncasecmp(sub.data(), "localserver", 11) != 0)
                    continue;
                RegKey sk = kNullKey;
                if (reg.RegOpenKeyA(ck, sub.data(), &sk) != kRegSuccess) continue;
                Values(sk, false, "");
                missing = missing || lastMissing;
                reg.RegCloseKey(sk);
            }
            // The scan reads the ProgID key of a class it records.
            RegKey pk = kNullKey;
            if (missing && reg.RegOpenKeyA(ck, "ProgID", &pk) == kRegSuccess) {
                Values(pk, false, "\x01");  // enumerated, nothing tested
                reg.RegCloseKey(pk);
            }
            reg.RegCloseKey(ck);
        }
        reg.RegCloseKey(root);
    }
    void SharedDlls() { ValueKey(kSharedDlls, true); }
    void Products() { SubKeyValues(kUninstall, "UninstallString"); }
    void FontValues() { ValueKey(kFonts, false); }
    void AppPathKeys() { SubKeyValues(kAppPaths, nullptr); }
    void Run() {
        Classes();
        ValueKey(kSharedDlls, true);
        ValueKey(kDrivers, false);
        SubKeyValues(kSoftware, nullptr, true);
        SubKeyValues(kAppPaths, nullptr);
        SubKeyValues(kSharedTools, "Path");
        ValueKey(kFonts, false);
        ValueKey(kRun, false);
        SubKeyValues(kUninstall, "UninstallString");
        TestRest();
    }
};

std::int64_t g_progressCalls = 0;
void CountProgress(std::string, std::string, std::int32_t, std::int32_t) { ++g_progressCalls; }

#ifdef _WIN32
// Windows (and Wine) count a thread's processor time in ticks of 10 to 16
// ms, too coarse for a category that takes a few: wall time, of which the
// best of the runs is shown.
using Clock = std::chrono::steady_clock;
#else
// The processor time of this thread: both sides are single-threaded and
// bound by the processor, and on a busy machine wall time mostly measures
// the other processes.
struct Clock {
    using duration = std::chrono::nanoseconds;
    static duration now() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    }
};
#endif
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// a / b, or "n/a" when b is too small to divide by.
std::string Ratio(double a, double b) {
    if (!(b > 0.0005)) return "n/a";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", a / b);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    MemoryRegistry reg;
    MemorySystem sys;
    const Counts counts;
    Populate(reg, sys, counts);

    RecordingSystem recorder(sys);
    EngineServices services;
    services.registry = &reg;
    services.system = &recorder;
    services.ignoreFile = "bench-scan-no-such-ignore.lst";
    CRegistryLib engine(services);
    engine.SetProgressCallback(&CountProgress);

    const auto allStates = [] {
        ScanCategoryStates states;
        for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths,
                         kSlotSharedTools, kSlotFonts, kSlotStartup, kSlotUninstall})
            states[slot] = 1;
        return states;
    };
    {
        ResultRows rows;
        ScanCategoryStates states = allStates();
        recorder.recording = true;
        engine.ScanRegistry(rows, states);
        recorder.recording = false;
    }
    const std::vector<std::string> allPaths = recorder.paths;

    // QM_BENCH_ONLY=scan or =walk: repeat only that, for profiling.
    if (const char* only = std::getenv("QM_BENCH_ONLY")) {
        for (int r = 0; r < reps; ++r) {
            if (std::strcmp(only, "scan") == 0) {
                ResultRows rows;
                ScanCategoryStates states = allStates();
                engine.ScanRegistry(rows, states);
            } else {
                Walker walker{reg, recorder, allPaths};
                walker.Run();
            }
        }
        return 0;
    }

    double bestScan = 1e300, bestWalk = 1e300;
    std::int64_t scanned = 0, found = 0;
    std::uint64_t tested = 0;
    for (int r = 0; r < reps; ++r) {
        ResultRows rows;
        ScanCategoryStates states = allStates();
        g_progressCalls = 0;
        auto t0 = Clock::now();
        engine.ScanRegistry(rows, states);
        bestScan = std::min(bestScan, Ms(Clock::now() - t0));
        scanned = found = 0;
        for (const auto& row : rows) {
            scanned += row->itemsScanned;
            found += row->errorsFound;
        }

        Walker walker{reg, recorder, allPaths};
        t0 = Clock::now();
        walker.Run();
        bestWalk = std::min(bestWalk, Ms(Clock::now() - t0));
        tested = walker.next;
    }
    const std::int64_t progressCalls = g_progressCalls;
    std::printf("registry: %d classes, %d shared DLLs, %d products, %d fonts, %d app paths; "
                "nine in ten files present\n",
                counts.classes, counts.sharedDlls, counts.products, counts.fonts, counts.appPaths);
    std::printf("full scan:  %8.1f ms  (%lld items scanned, %lld findings, %lld progress calls)\n",
                bestScan, (long long)scanned, (long long)found, (long long)progressCalls);
    std::printf("bare walk:  %8.1f ms  (%llu paths tested)\n", bestWalk, (unsigned long long)tested);
    std::printf("ratio:      %8s  (best of %d runs each)\n", Ratio(bestScan, bestWalk).c_str(), reps);
    // Per category (the larger ones), best of the same number of runs.
    std::printf("per category:\n");
    struct Part {
        const char* name;
        void (CRegistryLib::*scan)(ResultRows&);
        void (Walker::*walk)();
    };
    const Part parts[] = {
        {"COM classes", &CRegistryLib::ScanRegistryCLSID, &Walker::Classes},
        {"shared DLLs", &CRegistryLib::ScanRegistrySharedFiles, &Walker::SharedDlls},
        {"uninstall", &CRegistryLib::ScanRegistryUninstall, &Walker::Products},
        {"fonts", &CRegistryLib::ScanRegistryFonts, &Walker::FontValues},
        {"app paths", &CRegistryLib::ScanRegistryAppPaths, &Walker::AppPathKeys},
    };
    for (const Part& part : parts) {
        double s = 1e300, w = 1e300;
        recorder.paths.clear();
        recorder.recording = true;
        {
            ResultRows rows;
            (engine.*part.scan)(rows);
        }
        recorder.recording = false;
        const std::vector<std::string> partPaths = recorder.paths;
        for (int r = 0; r < reps; ++r) {
            ResultRows rows;
            engine.Findings().clear();
            auto t0 = Clock::now();
            (engine.*part.scan)(rows);
            s = std::min(s, Ms(Clock::now() - t0));
            Walker walker{reg, recorder, partPaths};
            t0 = Clock::now();
            (walker.*part.walk)();
            walker.TestRest();
            w = std::min(w, Ms(Clock::now() - t0));
        }
        std::printf("  %-12s scan %7.2f ms  walk %7.2f ms  ratio %s\n", part.name, s, w, Ratio(s, w).c_str());
    }
    return 0;
}

// Registries of the sizes real machines have, held in memory:
//   1. one key with 200,000 values (the Shared DLLs list of a busy machine):
//      filling it and its scan;
//   2. a registry of Windows 11 size (700,000 keys, 1.2 million values)
//      written as a registry export file, loaded from it and scanned whole.
// Prints the wall time of each step and the process's peak memory.
//
//   bench_registry_size_posix [scale]   (default 1; 0.1 makes everything ten times smaller)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/registry_lib.h"
#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"

using namespace qm;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

const char* const kSharedDlls =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

ScanCategoryStates AllCategories() {
    ScanCategoryStates states;
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths,
                     kSlotSharedTools, kSlotFonts, kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    return states;
}

struct ScanFigures {
    double seconds = 0;
    long long scanned = 0, found = 0;
};

ScanFigures Scan(IRegistry& reg, ISystem& sys, ScanCategoryStates states) {
    EngineServices services;
    services.registry = &reg;
    services.system = &sys;
    services.ignoreFile = "bench-registry-size-no-such-ignore.lst";
    CRegistryLib engine(services);
    ResultRows rows;
    const auto t0 = Clock::now();
    engine.ScanRegistry(rows, states);
    ScanFigures f;
    f.seconds = Seconds(Clock::now() - t0);
    for (const auto& row : rows) {
        f.scanned += row->itemsScanned;
        f.found += row->errorsFound;
    }
    return f;
}

void OneLargeKey(int values) {
    MemoryRegistry reg;
    MemorySystem sys;
    auto t0 = Clock::now();
    for (int i = 0; i < values; ++i) {
        const std::string path = "C:\\Program Files\\Common Files\\Vendor" + std::to_string(i % 40) +
                                 "\\lib" + std::to_string(i) + ".dll";
        reg.SetDword(kSharedDlls, path, unsigned(i % 7 + 1));
        if (i % 10 != 0) sys.AddFile(path);
    }
    const double fill = Seconds(Clock::now() - t0);
    ScanCategoryStates states;
    states[kSlotSharedDlls] = 1;
    const ScanFigures scan = Scan(reg, sys, states);
    std::printf("one key, %d values: fill %.2f s, Shared DLLs scan %.2f s (%lld scanned, %lld found), "
                "peak %.0f MiB\n",
                values, fill, scan.seconds, scan.scanned, scan.found, PeakMiB());
}

// Writes a registry export of `keys` keys and about `values` values: COM
// classes, shared DLLs, uninstall entries, application paths, fonts, and a
// filler tree of vendor keys making up the rest. Files the entries name are
// added to `sys`, nine in ten of them.
void WriteLargeExport(const std::string& file, long keys, long values, MemorySystem& sys,
                      long* keysWritten, long* valuesWritten) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n";
    long k = 0, v = 0, serial = 0;
    const auto key = [&](const std::string& path) {
        out << "\r\n[" << path << "]\r\n";
        ++k;
    };
    const auto text = [&](const std::string& name, const std::string& data) {
        std::string escaped;
        for (char c : data) {
            if (c == '\\' || c == '"') escaped += '\\';
            escaped += c;
        }
        if (name.empty()) out << "@=\"" << escaped << "\"\r\n";
        else out << "\"" << name << "\"=\"" << escaped << "\"\r\n";
        ++v;
    };
    const auto file_ = [&](const std::string& path) {
        if (++serial % 10 != 0) sys.AddFile(path);
    };
    const std::string sys32 = "C:\\Windows\\System32";
    const long classes = keys / 7;
    for (long i = 0; i < classes; ++i) {
        char guid[48];
        std::snprintf(guid, sizeof guid, "{%08lX-%04lX-11D0-9C3A-00A0C90A8F%02lX}", 0x1000000L + i * 7919,
                      i & 0xFFFF, i % 256);
        const std::string cls = std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\") + guid;
        key(cls);
        text("", "Component " + std::to_string(i));
        key(cls + "\\InprocServer32");
        const std::string dll = sys32 + "\\comp" + std::to_string(i) + ".dll";
        text("", dll);
        text("ThreadingModel", "Apartment");
        file_(dll);
    }
    key(kSharedDlls);
    for (long i = 0; i < 5000; ++i) {
        const std::string dll = "C:\\Program Files\\Common Files\\lib" + std::to_string(i) + ".dll";
        out << "\"" << [&] {
            std::string e;
            for (char c : dll) {
                if (c == '\\') e += '\\';
                e += c;
            }
            return e;
        }() << "\"=dword:00000001\r\n";
        ++v;
        file_(dll);
    }
    const std::string win = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    for (long i = 0; i < 2000; ++i) {
        key(win + "\\Uninstall\\Product " + std::to_string(i));
        const std::string dir = "C:\\Program Files\\Product" + std::to_string(i);
        text("DisplayName", "Product " + std::to_string(i));
        text("InstallLocation", dir);
        text("UninstallString", "\"" + dir + "\\uninstall.exe\" /S");
        file_(dir + "\\uninstall.exe");
    }
    for (long i = 0; i < 500; ++i) {
        key(win + "\\App Paths\\App" + std::to_string(i) + ".exe");
        const std::string exe = "C:\\Program Files\\App" + std::to_string(i) + "\\app.exe";
        text("", exe);
        file_(exe);
    }
    key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    for (long i = 0; i < 500; ++i) {
        text("Font " + std::to_string(i) + " (TrueType)", "font" + std::to_string(i) + ".ttf");
        file_("C:\\Windows\\Fonts\\font" + std::to_string(i) + ".ttf");
    }
    // The rest: vendor trees of settings, 100 products of 10 keys per vendor.
    const long fillerKeys = keys - k;
    const long fillerValues = values - v;
    for (long i = 0; i < fillerKeys; ++i) {
        key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(i / 1000) + "\\Product" +
            std::to_string(i / 10 % 100) + "\\Settings" + std::to_string(i % 10));
        const long n = fillerValues / fillerKeys + (i < fillerValues % fillerKeys ? 1 : 0);
        for (long j = 0; j < n; ++j) text("Option" + std::to_string(j), "value " + std::to_string(i));
    }
    *keysWritten = k;
    *valuesWritten = v;
}

void WindowsSizedRegistry(long keys, long values) {
    MemorySystem sys;
    const std::string file = "bench-registry-size.reg";
    long k = 0, v = 0;
    auto t0 = Clock::now();
    WriteLargeExport(file, keys, values, sys, &k, &v);
    const double written = Seconds(Clock::now() - t0);
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const long long bytes = static_cast<long long>(in.tellg());
    {
        MemoryRegistry reg;
        t0 = Clock::now();
        LoadRegFile(file, reg);
        const double load = Seconds(Clock::now() - t0);
        const double afterLoad = PeakMiB();
        const ScanFigures scan = Scan(reg, sys, AllCategories());
        std::printf("registry of %ld keys, %ld values (%.0f MB export, written in %.1f s):\n", k, v,
                    double(bytes) / 1e6, written);
        std::printf("  load %.2f s (peak %.0f MiB), full scan %.2f s (%lld scanned, %lld found), "
                    "peak %.0f MiB\n",
                    load, afterLoad, scan.seconds, scan.scanned, scan.found, PeakMiB());
    }
    std::remove(file.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (scale <= 0) {
        std::fprintf(stderr, "usage: bench_registry_size_posix [scale > 0]\n");
        return 2;
    }
    OneLargeKey(static_cast<int>(200000 * scale));
    WindowsSizedRegistry(static_cast<long>(700000 * scale), static_cast<long>(1200000 * scale));
    return 0;
}

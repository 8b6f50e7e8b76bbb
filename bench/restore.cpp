// Restore speed: a generated XML backup (COM classes and uninstall entries,
// each finding written from its root as a repair writes it) restored into a
// registry held in memory, against its floors in the same run:
//   file read    the file's bytes read in large blocks
//   reader       the reader's events to the end of the file, nothing written
//   check        the areas' check of the whole file that comes before the
//                first write (SummarizeBackup without counting), nothing written
//   writes       the same keys created and values set directly, no file
//   restore      CRegistryLib::LoadAsXml, file to registry
// "restore - writes" is what reading and checking the backup costs on top of
// the registry calls. Under Wine each registry call is a round trip to its
// server, and the longer the program works between two calls, the longer
// each call takes (the server's processor falls idle): the median time
// between two registry calls is printed for the restore and for the writes.
// The restore writes this backup from the steps its check kept; a backup it
// walks again is read on a thread of its own while the writes are made, so
// its wall time may be less than its processor time. Each figure is the
// median of the rounds.
//
//   bench_restore [findings] [rounds]     (default 20000 findings, 5 rounds)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "bench/bench_clock.h"
#include "emulation/registry_memory.h"
#include "repair/backup_summary.h"
#include "repair/registry_repair.h"
#include "repair/restore_areas.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"

using namespace qm;
using qm::bench::CpuSeconds;
using qm::bench::WallSeconds;

namespace {

// The wall time of the last timed part.
double g_wall = 0;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The calls a restore makes, timed: the time between the end of one call and
// the start of the next is the work the program does between them.
class TimingRegistry : public IRegistry {
public:
    explicit TimingRegistry(IRegistry& real) : real_(real) { gaps_.reserve(1 << 20); }
    RegStatus RegOpenKeyA(RegKey p, const char* s, RegKey* r) override { return Call([&] { return real_.RegOpenKeyA(p, s, r); }); }
    RegStatus RegOpenKeyExA(RegKey p, const char* s, std::uint32_t a, RegKey* r) override {
        return Call([&] { return real_.RegOpenKeyExA(p, s, a, r); });
    }
    RegStatus RegCreateKeyA(RegKey p, const char* s, RegKey* r) override {
        return Call([&] { return real_.RegCreateKeyA(p, s, r); });
    }
    RegStatus RegCreateKeyExA(RegKey p, const char* s, RegKey* r, bool* c, std::uint32_t v = 0) override {
        return Call([&] { return real_.RegCreateKeyExA(p, s, r, c, v); });
    }
    RegStatus RegQueryInfoKeyA(RegKey k, RegKeyInfo* i) override { return Call([&] { return real_.RegQueryInfoKeyA(k, i); }); }
    RegStatus RegEnumKeyExA(RegKey k, std::uint32_t i, char* n, std::uint32_t* l) override {
        return Call([&] { return real_.RegEnumKeyExA(k, i, n, l); });
    }
    RegStatus RegEnumValueA(RegKey k, std::uint32_t i, char* n, std::uint32_t* nl, std::uint32_t* t, std::uint8_t* d,
                            std::uint32_t* dl) override {
        return Call([&] { return real_.RegEnumValueA(k, i, n, nl, t, d, dl); });
    }
    RegStatus RegQueryValueExA(RegKey k, const char* n, std::uint32_t* t, std::uint8_t* d, std::uint32_t* dl) override {
        return Call([&] { return real_.RegQueryValueExA(k, n, t, d, dl); });
    }
    RegStatus RegSetValueExA(RegKey k, const char* n, std::uint32_t t, const std::uint8_t* d, std::uint32_t dl) override {
        return Call([&] { return real_.RegSetValueExA(k, n, t, d, dl); });
    }
    RegStatus RegDeleteKeyA(RegKey p, const char* s) override { return Call([&] { return real_.RegDeleteKeyA(p, s); }); }
    RegStatus RegDeleteValueA(RegKey k, const char* n) override { return Call([&] { return real_.RegDeleteValueA(k, n); }); }
    RegStatus RegCloseKey(RegKey k) override { return Call([&] { return real_.RegCloseKey(k); }); }

    // The median time between two calls, in seconds.
    double MedianGap() {
        if (gaps_.empty()) return 0;
        std::nth_element(gaps_.begin(), gaps_.begin() + static_cast<std::ptrdiff_t>(gaps_.size() / 2), gaps_.end());
        return gaps_[gaps_.size() / 2];
    }

private:
    template <class F>
    RegStatus Call(F&& f) {
        const double start = WallSeconds();
        if (last_ > 0) gaps_.push_back(start - last_);
        const RegStatus status = f();
        last_ = WallSeconds();
        return status;
    }

    IRegistry& real_;
    std::vector<double> gaps_;
    double last_ = 0;
};

// One key to create (full path below a root) with its values.
struct Write {
    RegKey root;
    std::string path;
    std::vector<std::pair<std::string, std::string>> strings;
    std::vector<std::pair<std::string, std::uint32_t>> dwords;
};

std::string Hex8(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

// The backup's text and the writes it stands for.
std::string MakeBackup(int findings, std::vector<Write>& writes, std::size_t& values) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n";
    values = 0;
    char clsid[64];
    for (int i = 0; i < findings; ++i) {
        if (i % 4 != 3) {
            std::snprintf(clsid, sizeof clsid, "{%08X-%04X-11D0-9C3A-00A0C90A8F%02X}", 0x51000000u + unsigned(i) * 7919u,
                          unsigned(i) & 0xFFFFu, unsigned(i) % 256u);
            const std::string dll = "C:\\qmbench\\sys\\comp" + std::to_string(i) + ".dll";
            xml += "  <k name=\"HKEY_CLASSES_ROOT\">\r\n   <k name=\"CLSID\">\r\n    <k name=\"";
            xml += clsid;
            xml += "\">\r\n     <v name=\"(Default)\" value=\"Bench component " + std::to_string(i) +
                   "\"/>\r\n     <k name=\"InprocServer32\">\r\n      <v name=\"(Default)\" value=\"&quot;" +
                   dll + "&quot;\"/>\r\n      <v name=\"ThreadingModel\" value=\"Apartment\"/>\r\n"
                   "     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n";
            const std::string key = std::string("CLSID\\") + clsid;
            writes.push_back({kHkeyClassesRoot, key, {{"", "Bench component " + std::to_string(i)}}, {}});
            writes.push_back({kHkeyClassesRoot, key + "\\InprocServer32",
                              {{"", "\"" + dll + "\""}, {"ThreadingModel", "Apartment"}}, {}});
            values += 3;
        } else {
            const std::string name = "QmBench Product " + std::to_string(i);
            const std::uint32_t size = 1000u + unsigned(i);
            xml += "  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\">\r\n    <k name=\"Microsoft\">\r\n"
                   "     <k name=\"Windows\">\r\n      <k name=\"CurrentVersion\">\r\n       <k name=\"Uninstall\">\r\n"
                   "        <k name=\"" + name + "\">\r\n"
                   "         <v name=\"DisplayName\" value=\"" + name + "\"/>\r\n"
                   "         <v name=\"EstimatedSize\" value=\"0x" + Hex8(size) + " (" + std::to_string(size) +
                   ")\" type=\"REG_DWORD\"/>\r\n"
                   "         <v name=\"UninstallString\" value=\"&quot;C:\\qmbench\\product" + std::to_string(i) +
                   "\\uninstall.exe&quot; /S\"/>\r\n"
                   "        </k>\r\n       </k>\r\n      </k>\r\n     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n";
            writes.push_back({kHkeyLocalMachine,
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name,
                              {{"DisplayName", name},
                               {"UninstallString", "\"C:\\qmbench\\product" + std::to_string(i) + "\\uninstall.exe\" /S"}},
                              {{"EstimatedSize", size}}});
            values += 3;
        }
    }
    xml += " </registry>\r\n";
    return xml;
}

double ReadFileOnce(const std::string& path, std::size_t& bytes) {
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    bytes = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::vector<char> buf(1 << 16);
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) bytes += n;
        std::fclose(f);
    }
    g_wall = WallSeconds() - w0;
    return CpuSeconds() - c0;
}

double ReadEventsOnce(const std::string& path, std::size_t& events) {
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    CXmlReader reader;
    reader.SetFileName(path);
    events = 0;
    while (reader.ReadNext() == 1) ++events;
    g_wall = WallSeconds() - w0;
    return CpuSeconds() - c0;
}

double CheckOnce(const std::string& path, bool& ok) {
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    const BackupSummary summary = SummarizeBackup(path, RestoreAreas::Program(), nullptr, false);
    g_wall = WallSeconds() - w0;
    ok = summary.complete && !summary.refused;
    return CpuSeconds() - c0;
}

double WritesOnce(const std::vector<Write>& writes, double& gap) {
    MemoryRegistry memory;
    TimingRegistry reg(memory);
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    for (const Write& w : writes) {
        RegKey key = kNullKey;
        if (reg.RegCreateKeyA(w.root, w.path.c_str(), &key) != kRegSuccess) continue;
        for (const auto& s : w.strings)
            reg.RegSetValueExA(key, s.first.c_str(), kRegSz, reinterpret_cast<const std::uint8_t*>(s.second.c_str()),
                               static_cast<std::uint32_t>(s.second.size() + 1));
        for (const auto& d : w.dwords) {
            const std::uint8_t bytes[4] = {std::uint8_t(d.second), std::uint8_t(d.second >> 8),
                                           std::uint8_t(d.second >> 16), std::uint8_t(d.second >> 24)};
            reg.RegSetValueExA(key, d.first.c_str(), kRegDword, bytes, 4);
        }
        reg.RegCloseKey(key);
    }
    g_wall = WallSeconds() - w0;
    const double cpu = CpuSeconds() - c0;
    gap = reg.MedianGap();
    return cpu;
}

double RestoreOnce(const std::string& path, bool& ok, double& gap) {
    MemoryRegistry memory;
    TimingRegistry reg(memory);
    EngineServices services;
    services.registry = &reg;
    services.ignoreFile = "bench-restore-ignore.lst";
    CRegistryLib lib(services);
    CRegistryRepair repair(lib);
    RecordingRestoreUi ui;
    repair.SetRestoreUi(&ui);
    CXmlReader reader;
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    ok = repair.LoadAsXml(reader, path) == 1;
    g_wall = WallSeconds() - w0;
    const double cpu = CpuSeconds() - c0;
    gap = reg.MedianGap();
    return cpu;
}

}  // namespace

int main(int argc, char** argv) {
    const int findings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<Write> writes;
    std::size_t values = 0;
    const std::string xml = MakeBackup(findings, writes, values);
    const std::string path = "bench-restore.xml";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(xml.data(), 1, xml.size(), f);
        std::fclose(f);
    } else {
        std::fprintf(stderr, "bench_restore: cannot write %s\n", path.c_str());
        return 2;
    }

    std::vector<double> read, events, check, direct, restore, readWall, eventsWall, checkWall, directWall,
        restoreWall, directGap, restoreGap;
    std::size_t bytes = 0, eventCount = 0;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
        read.push_back(ReadFileOnce(path, bytes));
        readWall.push_back(g_wall);
        events.push_back(ReadEventsOnce(path, eventCount));
        eventsWall.push_back(g_wall);
        bool checked = false;
        check.push_back(CheckOnce(path, checked));
        checkWall.push_back(g_wall);
        ok = ok && checked;
        double gap = 0;
        direct.push_back(WritesOnce(writes, gap));
        directWall.push_back(g_wall);
        directGap.push_back(gap);
        bool restored = false;
        restore.push_back(RestoreOnce(path, restored, gap));
        restoreWall.push_back(g_wall);
        restoreGap.push_back(gap);
        ok = ok && restored;
    }
    const double n = double(values);
    auto line = [&](const char* what, double seconds, double wall) {
        std::printf("%-18s %9.1f ms cpu %8.2f us/value %9.1f ms wall\n", what, seconds * 1e3, seconds * 1e6 / n,
                    wall * 1e3);
    };
    std::printf("backup: %d findings, %zu keys, %zu values, %zu bytes, %zu reader events; median of %d\n",
                findings, writes.size(), values, bytes, eventCount, rounds);
    line("file read", Median(read), Median(readWall));
    line("reader", Median(events), Median(eventsWall));
    line("check", Median(check), Median(checkWall));
    line("writes", Median(direct), Median(directWall));
    line("restore", Median(restore), Median(restoreWall));
    line("restore - writes", Median(restore) - Median(direct), Median(restoreWall) - Median(directWall));
    std::printf("time between two registry calls (median): restore %.2f us, writes %.2f us\n",
                Median(restoreGap) * 1e6, Median(directGap) * 1e6);
    std::printf("restore / writes  %9.2fx cpu %9.2fx wall%s\n", Median(restore) / Median(direct),
                Median(restoreWall) / Median(directWall), ok ? "" : "   (a restore FAILED)");
    std::remove(path.c_str());
    std::remove("bench-restore-ignore.lst");
    return ok ? 0 : 1;
}

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
// Given DELETE.reg and PARENTS.txt, it first writes what the registry editor
// needs to do the same work: DELETE.reg (UTF-16, the editor's format) deletes
// each finding as the repair does, a key finding whole ([-KEY]) and a value
// finding alone ("name"=-); PARENTS.txt names, one a line, the keys the
// editor exports to back them up: the parent of each key finding and the key
// of each value finding, each once (in any letter case), and where more than
// eight such keys lie directly below one key (the uninstall entries holding
// a value finding each), that key instead, so that the export takes a
// handful of runs of the editor. Findings of the 32-bit view are left out of
// both (the editor's file cannot name a view) and counted on stderr.
//
//   bench_repair_win32 [DELETE.reg PARENTS.txt]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/process_clock_win32.h"
#include "engine/categories.h"
#include "engine/registry_lib.h"
#include "platform/key_path.h"
#include "repair/registry_repair.h"
#include "repair/repair_pass.h"

using namespace qm;
using qm::bench::CpuSeconds;
using qm::bench::Now;

namespace {

// A name or path as the editor's file quotes it.
std::string RegQuoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

bool WriteUtf16(const std::string& path, const std::string& text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const unsigned char mark[2] = {0xFF, 0xFE};
    bool ok = std::fwrite(mark, 1, 2, f) == 2 &&
              std::fwrite(wide.data(), sizeof(wchar_t), wide.size(), f) == wide.size();
    return std::fclose(f) == 0 && ok;
}

// The editor's deletion file and export list for the findings (see above).
bool WriteEditorFiles(const CRegistryLib& lib, const std::string& deletePath, const std::string& parentsPath) {
    std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n", section;
    std::vector<std::string> keys;  // to export, in the order first met
    std::set<std::string> listed;   // the same in lower case
    long skipped = 0;
    auto lower = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    auto exportOnce = [&](const std::string& key) {
        if (listed.insert(lower(key)).second) keys.push_back(key);
    };
    for (const auto& finding : lib.Findings()) {
        if (!finding) continue;
        if (finding->GetView() == RegView::k32) {
            ++skipped;
            continue;
        }
        const std::string full = ClassesHivePath(finding->GetKeyPath(), finding->GetClassesHive());
        if (finding->GetRemoveKind() == kRemoveKey) {
            reg += "[-" + full + "]\r\n\r\n";
            section.clear();
            exportOnce(KeyPathParent(full));
            continue;
        }
        const CRegValueItem* value = finding->GetValue();
        if (value == nullptr) continue;
        if (section != full) {
            reg += (section.empty() ? "[" : "\r\n[") + full + "]\r\n";
            section = full;
        }
        reg += (value->isDefault ? std::string("@") : RegQuoted(value->name)) + "=-\r\n";
        exportOnce(full);
    }
    if (skipped > 0) std::fprintf(stderr, "bench_repair_win32: %ld findings of the 32-bit view left out\n", skipped);
    std::map<std::string, int> below;  // listed keys directly below each key
    for (const std::string& key : keys) ++below[lower(KeyPathParent(key))];
    std::string parents;
    std::set<std::string> once;
    for (const std::string& key : keys) {
        const std::string parent = KeyPathParent(key);
        const std::string& name = below[lower(parent)] > 8 ? parent : key;
        if (once.insert(lower(name)).second) parents += name + "\n";
    }
    std::FILE* f = std::fopen(parentsPath.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(parents.data(), 1, parents.size(), f) == parents.size();
    return std::fclose(f) == 0 && written && WriteUtf16(deletePath, reg + "\r\n");
}

}  // namespace

int main(int argc, char** argv) {
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
    if (argc == 3 && !WriteEditorFiles(lib, argv[1], argv[2])) {
        std::fprintf(stderr, "bench_repair_win32: cannot write %s or %s\n", argv[1], argv[2]);
        return 2;
    }

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

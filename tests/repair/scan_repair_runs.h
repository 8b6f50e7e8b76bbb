// The scan-then-repair-then-restore runs over the seed table
// (tests/support/seed_table.h), shared by the tests on the in-memory registry
// and those on the real registry (Wine): one over the entries of every
// category, one over the entries of both registry views. Each checks that
// exactly the seeded findings are removed, each counted in its own row, that
// everything else is untouched, that the backup holds what was removed, and
// that restoring the backup gives back the registry as it was.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "repair/keep_selection.h"
#include "repair/registry_repair.h"
#include "repair/xml_reader.h"
#include "tests/support/backup_files.h"
#include "tests/support/seed_table.h"

namespace qm::test {

// The backup entries (see CollectEntries) the removal of `r` must produce,
// key paths upper-cased.
inline std::vector<std::string> ExpectedBackupEntries(const TreeSnapshot& area,
                                                      const std::string& areaPath,
                                                      const SeedRemoval& r) {
    std::vector<std::string> out;
    auto entry = [&](const std::string& rel, const std::string& name, const ValueSnapshot& v) {
        const std::string text = ConvertToString(v.type, v.bytes.data(), v.bytes.size());
        const std::string type = (v.type == kRegNone || v.type == kRegSz)
                                     ? std::string("-")
                                     : CRegistryRepair::StringFromValueType(v.type);
        return Upper(Join(areaPath, rel)) + "|" + (name.empty() ? "(Default)" : name) + "=" + text +
               "|" + type;
    };
    if (!r.value.empty()) {
        out.push_back(entry(r.key, r.value, area.at(r.key).at(r.value)));
        return out;
    }
    for (const auto& [rel, values] : area) {
        if (!(rel == r.key || rel.rfind(r.key + "\\", 0) == 0)) continue;
        for (const auto& [name, v] : values) out.push_back(entry(rel, name, v));
    }
    return out;
}

inline std::vector<std::string> UpperKeyPaths(std::vector<std::string> entries) {
    for (std::string& e : entries) {
        const auto bar = e.find('|');
        e = Upper(e.substr(0, bar)) + e.substr(bar);
    }
    return entries;
}

// Scans the nine registry areas (ASSERTs one row each) and ticks the findings
// `seeded` accepts; the others (a real registry has findings of its own) go
// to the ignore list. Returns the accepted findings, each as `describe` gives
// it.
template <typename Seeded, typename Describe>
std::vector<std::string> ScanAndTickSeeded(CRegistryLib& lib, ResultRows& rows, Seeded seeded, Describe describe) {
    ScanCategoryStates states;
    for (int slot : {1, 3, 4, 5, 6, 7, 8, 9, 11}) states[slot] = 1;
    lib.ScanRegistry(rows, states);
    EXPECT_EQ(rows.size(), 9u);
    std::vector<bool> ticked;
    std::vector<std::string> found;
    for (const auto& f : lib.Findings()) {
        ticked.push_back(seeded(*f));
        if (ticked.back()) found.push_back(describe(*f));
    }
    KeepUntickedRows(lib, nullptr, ticked, lib);
    return found;
}

// Scan, keep every finding that is not a seeded one, repair, check, restore,
// check again.
inline void ScanThenRepair(CRegistryRepair& repair, IRegistry& reg, const std::string& backupName) {
    CRegistryLib& lib = repair.Engine();
    const AreaSnapshots before = SnapshotAreas(reg);

    ResultRows rows;
    const std::vector<std::string> seededTags = ScanAndTickSeeded(
        lib, rows, IsSeededFinding, [](const CRegErrorLog& f) { return f.GetCategory() + " " + f.GetKeyPath(); });
    ASSERT_EQ(rows.size(), 9u);
    // Each seeded missing file gives exactly one finding.
    EXPECT_EQ(seededTags.size(), SeedRemovals().size()) << ::testing::PrintToString(seededTags);

    const std::string file = repair.FixRegistry(rows, backupName);
    ASSERT_EQ(file, backupName);

    // Rows: each category's own removal, nothing else.
    for (const auto& row : rows) EXPECT_EQ(row->errorsFixed, 1) << row->label;

    // Registry: the removals gone, everything else as it was.
    AreaSnapshots expected = before;
    for (const SeedRemoval& r : SeedRemovals()) ASSERT_TRUE(WithoutRemoval(expected[r.area], r)) << r.value;
    const AreaSnapshots after = SnapshotAreas(reg);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_TRUE(after[i] == expected[i]) << SeedAreas()[i];

    // Backup: well-formed, and each removed entry in it exactly once.
    const std::string bytes = ReadFileBytes(file);
    const ParsedBackup parsed = ParseBackup(bytes);
    EXPECT_TRUE(parsed.wellFormed) << parsed.error;
    const std::vector<std::string> entries = UpperKeyPaths(BackupEntries(bytes));
    for (const SeedRemoval& r : SeedRemovals()) {
        const auto wanted = ExpectedBackupEntries(before[r.area], SeedAreas()[r.area], r);
        EXPECT_FALSE(wanted.empty());
        for (const std::string& e : wanted) EXPECT_EQ(CountOf(entries, e), 1u) << e;
    }

    // Restoring the backup gives the registry back as it was.
    CXmlReader reader;
    EXPECT_EQ(repair.LoadAsXml(reader, file), 1);
    const AreaSnapshots restored = SnapshotAreas(reg);
    for (std::size_t i = 0; i < restored.size(); ++i)
        EXPECT_TRUE(restored[i] == before[i]) << SeedAreas()[i];
}

// The same over the seeds of both views.
inline void ViewScanThenRepair(CRegistryRepair& repair, IRegistry& reg, const std::string& backupName) {
    CRegistryLib& lib = repair.Engine();
    const AreaSnapshots before = SnapshotBothViews(reg);

    // Exactly the seeded broken entries, each once, in its view.
    ResultRows rows;
    std::vector<std::string> found = ScanAndTickSeeded(lib, rows, IsViewSeedFinding, [](const CRegErrorLog& f) {
        return std::string(ViewName(f.GetView())) + " " + Upper(f.GetKeyPath()) + " [" + f.GetValue()->name + "]";
    });
    ASSERT_EQ(rows.size(), 9u);
    std::vector<std::string> wanted;
    for (const SeedRemoval& r : ViewSeedRemovals()) {
        const bool key = r.value.empty();
        wanted.push_back(std::string(ViewName(r.view)) + " " + Upper(Join(SeedAreas()[r.area], r.key)) + " [" +
                         (key ? r.area == kTools ? "Path" : "(Default)" : r.value) + "]");
    }
    std::sort(found.begin(), found.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(found, wanted);

    const std::string file = repair.FixRegistry(rows, backupName);
    ASSERT_EQ(file, backupName);

    // Each removal gone from its own view; everything else as it was.
    AreaSnapshots expected = before;
    const std::size_t areas = SeedAreas().size();
    for (const SeedRemoval& r : ViewSeedRemovals()) {
        // A key both views share shows in both snapshots.
        for (const std::size_t base : {std::size_t(0), areas}) {
            const bool inView = (base == 0) == (r.view == RegView::k64);
            const bool shared = r.area == kAppPaths;
            if (!inView && !shared) continue;
            EXPECT_TRUE(WithoutRemoval(expected[base + r.area], r)) << r.value;
        }
    }
    const AreaSnapshots after = SnapshotBothViews(reg);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_TRUE(after[i] == expected[i]) << (i < areas ? "64 " : "32 ") << SeedAreas()[i % areas];

    // The backup marks the keys of the 32-bit view.
    const std::string bytes = ReadFileBytes(file);
    EXPECT_TRUE(ParseBackup(bytes).wellFormed);
    EXPECT_NE(bytes.find("<k name=\"HKEY_CLASSES_ROOT\" view=\"32\">"), std::string::npos);
    EXPECT_NE(bytes.find("<k name=\"HKEY_LOCAL_MACHINE\" view=\"32\">"), std::string::npos);

    CXmlReader reader;
    EXPECT_EQ(repair.LoadAsXml(reader, file), 1) << repair.LastRestore().Describe();
    const AreaSnapshots restored = SnapshotBothViews(reg);
    for (std::size_t i = 0; i < restored.size(); ++i)
        EXPECT_TRUE(restored[i] == before[i]) << (i < areas ? "64 " : "32 ") << SeedAreas()[i % areas];
}

}  // namespace qm::test

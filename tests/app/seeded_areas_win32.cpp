#include "tests/app/seeded_areas_win32.h"

#include <fstream>
#include <iterator>

#include "engine/registry_lib.h"
#include "platform/system.h"
#include "tests/support/seed_table.h"

namespace qm::test {

void SeedEveryArea(IRegistry& registry) { SeedRegistry(registry); }

void UnseedEveryArea(IRegistry& registry) { UnseedRegistry(registry); }

SeedAreaSnapshots SnapshotSeedAreas(IRegistry& registry) { return SnapshotAreas(registry); }

const std::vector<std::string>& SeedAreaPaths() { return SeedAreas(); }

SeedAreaSnapshots WithoutSeededBrokenEntries(SeedAreaSnapshots before, bool keepAppPaths) {
    for (const SeedRemoval& r : SeedRemovals()) {
        if (keepAppPaths && r.area == kAppPaths) continue;
        WithoutRemoval(before[r.area], r);
    }
    return before;
}

std::string SeededBrokenClass() { return kGoneClass; }

bool IgnoreWhatThePrefixItselfHas(IRegistry& registry, std::vector<std::string>* paths) {
    CRegistryLib lib(EngineServices{&registry, &DefaultSystem(), "no-such-ignore.lst"});
    ResultRows rows;
    ScanCategoryStates states{};
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths, kSlotSharedTools, kSlotFonts,
                     kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    lib.ScanRegistry(rows, states);
    std::string text;
    for (const auto& finding : lib.Findings()) {
        if (!finding) continue;
        text += finding->GetFilePath() + "\r\n";
        if (paths) paths->push_back(finding->GetFilePath());
    }
    std::ofstream out("ignore.lst", std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

}  // namespace qm::test

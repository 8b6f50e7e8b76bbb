#include "tests/app/seeded_areas_win32.h"

#include <fstream>
#include <iterator>

#include "engine/registry_lib.h"
#include "platform/system.h"
#include "tests/repair/scan_repair_seed.h"

namespace qm::test {

void SeedEveryArea(IRegistry& registry) { SeedRegistry(registry); }

void UnseedEveryArea(IRegistry& registry) { UnseedRegistry(registry); }

SeedAreaSnapshots SnapshotSeedAreas(IRegistry& registry) { return SnapshotAreas(registry); }

const std::vector<std::string>& SeedAreaPaths() { return SeedAreas(); }

SeedAreaSnapshots WithoutSeededBrokenEntries(SeedAreaSnapshots before, bool keepAppPaths) {
    for (const SeedRemoval& r : SeedRemovals()) {
        if (keepAppPaths && r.area == kAppPaths) continue;
        TreeSnapshot& area = before[r.area];
        if (r.value.empty()) {
            for (auto it = area.begin(); it != area.end();)
                it = (it->first == r.key || it->first.rfind(r.key + "\\", 0) == 0) ? area.erase(it) : std::next(it);
        } else if (area.count(r.key) != 0) {
            area.at(r.key).erase(r.value);
        }
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

#include "tests/app/seeded_areas_win32.h"

#include <iterator>

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

}  // namespace qm::test

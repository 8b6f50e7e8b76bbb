// The registry areas of the window's scan, seeded in the test's own Wine
// prefix with a broken entry (naming a missing file under C:\QmGone) and an
// intact twin in each area (tests/repair/scan_repair_seed.h), and snapshots of
// those areas to compare byte for byte.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/restore/restore_test_util.h"

namespace qm::test {

using SeedAreaSnapshots = std::vector<TreeSnapshot>;

void SeedEveryArea(IRegistry& registry);
void UnseedEveryArea(IRegistry& registry);
SeedAreaSnapshots SnapshotSeedAreas(IRegistry& registry);
// The full key path of each snapshot's area.
const std::vector<std::string>& SeedAreaPaths();
// `before` without the seeded broken entries, except the App Paths one when
// `keepAppPaths` (what a repair with that row unticked leaves).
SeedAreaSnapshots WithoutSeededBrokenEntries(SeedAreaSnapshots before, bool keepAppPaths);
// The seeded broken COM class's key name.
std::string SeededBrokenClass();

}  // namespace qm::test

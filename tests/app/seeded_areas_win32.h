// The registry areas of the window's scan, seeded in the test's own Wine
// prefix with a broken entry (naming a missing file under C:\QmGone) and an
// intact twin in each area (tests/support/seed_table.h), and snapshots of
// those areas to compare byte for byte.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/support/registry_keys.h"

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

// Scans the registry in this process (the nine registry areas) and writes every
// path it reports to "ignore.lst", so that a window test's counts hold only what
// the test seeded, not what the Wine prefix itself lacks. The paths go to
// `paths` when given. False when the list could not be written.
bool IgnoreWhatThePrefixItselfHas(IRegistry& registry, std::vector<std::string>* paths = nullptr);

}  // namespace qm::test

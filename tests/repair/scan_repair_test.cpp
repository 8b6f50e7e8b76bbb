// A full scan-then-repair-then-restore on a seeded in-memory registry.
#include <gtest/gtest.h>

#include "platform/named_event.h"
#include "repair_fixture.h"
#include "scan_repair_runs.h"

namespace qm {
namespace {

using test::RepairTest;
using ScanRepairTest = RepairTest;

TEST_F(ScanRepairTest, ScanThenRepairRemovesExactlyTheFindingsAndKeepsTheBackup) {
    NamedEvent(kStopEventName).Reset();
    system_.AddFile(test::kPresentFile);
    system_.SetWindowsDirectory("C:\\windows");
    system_.SetSystemDirectory("C:\\windows\\system32");
    MakeEngine();
    test::SeedRegistry(registry_);
    const std::size_t handles = registry_.OpenHandleCount();
    test::ScanThenRepair(*repair_, registry_, UniqueName("scan-repair"));
    EXPECT_EQ(registry_.OpenHandleCount(), handles);
}

}  // namespace
}  // namespace qm

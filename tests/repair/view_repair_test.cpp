// Scan, repair and restore over both registry views of an in-memory registry
// that keeps the 32-bit view below Wow6432Node keys.
#include <gtest/gtest.h>

#include "platform/named_event.h"
#include "repair_fixture.h"
#include "scan_repair_runs.h"

namespace qm {
namespace {

using test::RepairTest;
using ViewRepairTest = RepairTest;

TEST_F(ViewRepairTest, BothViewsAreScannedRepairedAndRestoredEachInItsOwnView) {
    NamedEvent(kStopEventName).Reset();
    system_.SetWindowsDirectory("C:\\Windows");
    system_.SetSystemDirectory("C:\\Windows\\System32");
    for (const std::string& f : test::ViewSeedFiles("C:\\Windows")) system_.AddFile(f);
    MakeEngine();
    test::SeedRegistry(registry_, test::ViewSeedValues());
    // The 32-bit keys are where the registry editor shows them.
    EXPECT_TRUE(registry_.KeyExists(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\") +
                                    test::kGone32Class));
    EXPECT_TRUE(registry_.ValueExists(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "QmGone32Start"));
    EXPECT_TRUE(registry_.KeyExists(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmgone32.exe"));
    const std::size_t handles = registry_.OpenHandleCount();
    test::ViewScanThenRepair(*repair_, registry_, UniqueName("view-repair"));
    EXPECT_EQ(registry_.OpenHandleCount(), handles);
}

}  // namespace
}  // namespace qm

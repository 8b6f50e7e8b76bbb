// How each area's end is told after a scan: done, the one a stop came in, and
// the ones a stop kept the scan from.
#include <gtest/gtest.h>

#include "control/scan_outcome.h"

namespace qm {
namespace {

ResultRows RowsFor(std::initializer_list<const char*> labels) {
    ResultRows rows;
    for (const char* label : labels) rows.push_back(std::make_unique<CScanError>(label, 3, 1));
    return rows;
}

TEST(ScanOutcome, AFinishedScanCallsEverySelectedAreaDoneAndLeavesTheOthersBlank) {
    ScanCategoryStates states;
    states[kSlotCom] = -1;
    states[kSlotFonts] = -1;
    states[kSlotShortcuts] = -1;
    const ResultRows rows = RowsFor({kLabelCom, kLabelFonts});
    EXPECT_EQ(AreaEndOf(kSlotCom, states, rows, false), AreaEnd::Done);
    EXPECT_EQ(AreaEndOf(kSlotShortcuts, states, rows, false), AreaEnd::Done);
    EXPECT_EQ(AreaEndOf(kSlotHelp, states, rows, false), AreaEnd::NotSelected);
    EXPECT_EQ(AreaEndText(AreaEnd::NotSelected), "");
    EXPECT_EQ(AreaEndText(AreaEnd::Done), "Done");
}

TEST(ScanOutcome, AStopNamesTheAreaItCameInAndTheAreasNeverReached) {
    // Every area ticked; the run visits them all (-1) but only those it
    // reached before the stop have a result row.
    ScanCategoryStates states;
    for (const CategoryInfo& info : kCategories) states[info.slot] = -1;
    states[kSlotShortcuts] = 1;  // the shortcut walk is not started after a stop
    const ResultRows rows = RowsFor({kLabelCom, kLabelSharedDlls, kLabelDrivers, kLabelHelp, kLabelAppPaths});
    EXPECT_EQ(AreaEndOf(kSlotCom, states, rows, true), AreaEnd::Done);
    EXPECT_EQ(AreaEndOf(kSlotHelp, states, rows, true), AreaEnd::Done);
    EXPECT_EQ(AreaEndOf(kSlotAppPaths, states, rows, true), AreaEnd::Stopped);
    for (int slot : {kSlotSharedTools, kSlotFonts, kSlotStartup, kSlotUninstall, kSlotShortcuts})
        EXPECT_EQ(AreaEndOf(slot, states, rows, true), AreaEnd::NotReached) << slot;
    EXPECT_EQ(AreaEndText(AreaEnd::Stopped), "Stopped");
    EXPECT_EQ(AreaEndText(AreaEnd::NotReached), "Not scanned");
}

TEST(ScanOutcome, AStopDuringTheShortcutWalkStopsItAfterEveryRegistryAreaWasDone) {
    ScanCategoryStates states;
    states[kSlotStartup] = -1;
    states[kSlotShortcuts] = -1;
    const ResultRows rows = RowsFor({kLabelStartup});
    EXPECT_EQ(AreaEndOf(kSlotStartup, states, rows, true), AreaEnd::Done);
    EXPECT_EQ(AreaEndOf(kSlotShortcuts, states, rows, true), AreaEnd::Stopped);
    // A stop before anything ran: nothing was reached.
    EXPECT_EQ(AreaEndOf(kSlotStartup, states, ResultRows(), true), AreaEnd::NotReached);
}

TEST(ScanOutcome, EveryAreaHasItsProgressLabels) {
    for (const CategoryInfo& info : kCategories) EXPECT_STRNE(ProgressLabelSuffix(info.slot), "") << info.cliName;
    EXPECT_STREQ(ProgressLabelSuffix(kSlotSharedDlls), "COM_SUBS");
    EXPECT_STREQ(ProgressLabelSuffix(0), "");
}

}  // namespace
}  // namespace qm

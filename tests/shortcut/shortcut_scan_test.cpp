// CShortcut on a real drive: Wine's shell and file system in the Windows
// build, liblnk and the host file system natively (scan_tree.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/shortcut.h"
#include "platform/named_event.h"
#include "tests/shortcut/scan_tree.h"

namespace qm::test {
namespace {

using Strings = std::vector<std::string>;

class ShortcutScan : public ::testing::Test {
protected:
    void SetUp() override {
        tree_ = MakeScanTree();
        if (!tree_->Ready()) GTEST_SKIP() << "scratch drive Q: could not be mapped";
        tree_->Reset();
        stop_.Reset();
        scanner_ = std::make_unique<CShortcut>(tree_->Services());
        scanner_->SetDriveFilter("Q");
    }
    void TearDown() override { stop_.Reset(); }

    std::unique_ptr<ScanTree> tree_;
    std::unique_ptr<CShortcut> scanner_;
    NamedEvent stop_{kStopEventName};
};

TEST_F(ShortcutScan, BrokenDesktopShortcutIsReportedByItsOwnPathAndDeleted) {
    tree_->MakeDir("Users");
    tree_->MakeDir("Users\\Test");
    tree_->MakeDir("Users\\Test\\Desktop");
    tree_->MakeShortcut("Users\\Test\\Desktop\\Old Program.lnk", LinkKind::Broken);
    tree_->MakeShortcut("Users\\Test\\Desktop\\Program.lnk", LinkKind::Intact);

    scanner_->ScanLinkFile();
    EXPECT_EQ(scanner_->ItemsScanned(), 2);
    EXPECT_EQ(scanner_->ErrorsFound(), 1);
    EXPECT_EQ(scanner_->BrokenLinks(), Strings{"Q:\\Users\\Test\\Desktop\\Old Program.lnk"});
    EXPECT_EQ(scanner_->BrokenTargets(), Strings{kBrokenTarget});

    scanner_->FixLinkFile();
    EXPECT_EQ(scanner_->ErrorsFixed(), 1);
    EXPECT_FALSE(tree_->Exists("Users\\Test\\Desktop\\Old Program.lnk"));
    EXPECT_TRUE(tree_->Exists("Users\\Test\\Desktop\\Program.lnk"));
    // The repair leaves the list and the scan's counters as they were.
    EXPECT_EQ(scanner_->BrokenLinks().size(), 1u);
    EXPECT_EQ(scanner_->ItemsScanned(), 2);
}

TEST_F(ShortcutScan, ReadOnlyBrokenShortcutIsDeleted) {
    tree_->MakeDir("Desktop");
    tree_->MakeShortcut("Desktop\\Locked.lnk", LinkKind::Broken);
    tree_->SetReadOnly("Desktop\\Locked.lnk");

    scanner_->ScanLinkFile();
    ASSERT_EQ(scanner_->BrokenLinks(), Strings{"Q:\\Desktop\\Locked.lnk"});
    scanner_->FixLinkFile();
    EXPECT_EQ(scanner_->ErrorsFixed(), 1);
    EXPECT_FALSE(tree_->Exists("Desktop\\Locked.lnk"));
}

TEST_F(ShortcutScan, ShortcutsInTheDriveRootAreNeverExamined) {
    tree_->MakeShortcut("Root Broken.lnk", LinkKind::Broken);
    scanner_->ScanLinkFile();
    EXPECT_EQ(scanner_->ItemsScanned(), 0);
    EXPECT_TRUE(scanner_->BrokenLinks().empty());
}

TEST_F(ShortcutScan, WhatCannotBeLoadedOrHasNoFileTargetCountsAsScannedOnly) {
    tree_->MakeDir("Desktop");
    tree_->MakeDir("Desktop\\x.lnk");  // a directory the "*.lnk" search matches
    tree_->MakeFile("Desktop\\notes.lnk", "not a shortcut\r\n");
    tree_->MakeFile("Desktop\\empty.lnk", "");
    tree_->MakeShortcut("Desktop\\Computer.lnk", LinkKind::NoTarget);
    // The directory is still walked like any other.
    tree_->MakeShortcut("Desktop\\x.lnk\\Inside.lnk", LinkKind::Broken);

    scanner_->ScanLinkFile();
    EXPECT_EQ(scanner_->ItemsScanned(), 5);
    EXPECT_EQ(scanner_->BrokenLinks(), Strings{"Q:\\Desktop\\x.lnk\\Inside.lnk"});
    EXPECT_EQ(scanner_->ErrorsFound(), 1);
}

TEST_F(ShortcutScan, DirectoryLinkLoopTerminatesAndEachShortcutIsExaminedOnce) {
    tree_->MakeDir("Loop");
    tree_->MakeDir("Loop\\Inner");
    tree_->MakeShortcut("Loop\\Inner\\Old.lnk", LinkKind::Broken);
    if (!tree_->MakeDirLink("Loop\\Inner\\Up", "Loop") || !tree_->MakeDirLink("Loop\\Root", ""))
        GTEST_SKIP() << "no directory links on this system";

    scanner_->ScanLinkFile();
    EXPECT_EQ(scanner_->ItemsScanned(), 1);
    EXPECT_EQ(scanner_->BrokenLinks(), Strings{"Q:\\Loop\\Inner\\Old.lnk"});
}

// The directories the walk reported searching, in order.
struct SearchedDirs {
    static Strings dirs;
    static void Callback(std::string item, std::string status, std::int32_t, std::int32_t) {
        if (status == kStatusSearchingDir) dirs.push_back(item);
    }
};
Strings SearchedDirs::dirs;

// Walk\Sub\Deep\Back leads into its own subtree, Walk\Sub\Up back to the top,
// Walk\First and Walk\Second to one folder beside the walked one.
TEST_F(ShortcutScan, LinkedFoldersAreWalkedAndEachRealFolderListedOnce) {
    for (const char* dir : {"Walk", "Walk\\Sub", "Walk\\Sub\\Deep", "Elsewhere"}) tree_->MakeDir(dir);
    tree_->MakeShortcut("Walk\\Sub\\Deep\\Old.lnk", LinkKind::Broken);
    tree_->MakeShortcut("Elsewhere\\Gone.lnk", LinkKind::Broken);
    if (!tree_->MakeDirLink("Walk\\Sub\\Deep\\Back", "Walk\\Sub") ||
        !tree_->MakeDirLink("Walk\\Sub\\Up", "Walk") ||
        !tree_->MakeDirLink("Walk\\First", "Elsewhere") || !tree_->MakeDirLink("Walk\\Second", "Elsewhere"))
        GTEST_SKIP() << "no directory links on this system";
    SearchedDirs::dirs.clear();
    scanner_->SetProgressCallback(&SearchedDirs::Callback);

    scanner_->RecurseFolder(ScanTree::Path("Walk"));
    EXPECT_EQ(scanner_->ItemsScanned(), 2);
    EXPECT_EQ(scanner_->BrokenLinks(),
              (Strings{"Q:\\Walk\\Sub\\Deep\\Old.lnk", "Q:\\Walk\\First\\Gone.lnk"}));
    EXPECT_EQ(SearchedDirs::dirs, (Strings{"Q:\\Walk\\Sub", "Q:\\Walk\\Sub\\Deep", "Q:\\Walk\\First"}));
}

// A link is followed only onto the drives the walk covers: never into a host
// folder on no drive (under Wine: the host's own files, where the profile's
// Desktop, Documents, Music lead), nor onto a drive the walk was not asked
// to cover, which is walked by its own paths when it is.
TEST_F(ShortcutScan, LinksOffTheWalkedDrivesAreNotFollowed) {
    tree_->MakeDir("Users");
    tree_->MakeShortcut("Users\\Old.lnk", LinkKind::Broken);
    if (!tree_->MakeLinkOffTheDrive("Users\\Desktop", 0) || !tree_->MakeLinkOffTheDrive("Users\\Other", 'R'))
        GTEST_SKIP() << "no directory links or second drive on this system";

    scanner_->ScanLinkFile();
    EXPECT_EQ(scanner_->BrokenLinks(), Strings{"Q:\\Users\\Old.lnk"});
    scanner_->ClearBrokenLinks();
    scanner_->RecurseFolder("Q:\\Users");  // below Users: only the two links
    EXPECT_EQ(scanner_->BrokenLinks(), Strings{});

    scanner_->SetDriveFilter("QR");
    scanner_->ScanLinkFile();
    EXPECT_EQ(scanner_->BrokenLinks(), (Strings{"Q:\\Users\\Old.lnk", "R:\\Sub\\Old.lnk"}));
}

// A folder reachable without a link is named by its own path, even where a
// link to it comes first.
TEST_F(ShortcutScan, AFolderReachedThroughALinkAndPlainlyIsNamedByItsOwnPath) {
    tree_->MakeDir("Real");
    tree_->MakeShortcut("Real\\Old.lnk", LinkKind::Broken);
    if (!tree_->MakeDirLink("Alias", "Real")) GTEST_SKIP() << "no directory links on this system";
    SearchedDirs::dirs.clear();
    scanner_->SetProgressCallback(&SearchedDirs::Callback);

    scanner_->ScanLinkFile();
    EXPECT_EQ(scanner_->BrokenLinks(), Strings{"Q:\\Real\\Old.lnk"});
    EXPECT_EQ(std::count(SearchedDirs::dirs.begin(), SearchedDirs::dirs.end(), "Q:\\Alias"), 0);
}

// What the progress callback saw when it asked for the stop.
struct StopProbe {
    static std::int32_t scanned, found;
    static void Callback(std::string, std::string status, std::int32_t s, std::int32_t f) {
        if (status == kStatusSearchingDir && f >= 1 && found == 0) {
            scanned = s;
            found = f;
            NamedEvent(kStopEventName).Set();
        }
    }
};
std::int32_t StopProbe::scanned = 0;
std::int32_t StopProbe::found = 0;

TEST_F(ShortcutScan, StopRequestLeavesCountersAndListAsTheyStood) {
    tree_->MakeDir("Data");
    for (const char* dir : {"A", "B", "C", "D"}) {
        tree_->MakeDir(std::string("Data\\") + dir);
        tree_->MakeShortcut(std::string("Data\\") + dir + "\\Old.lnk", LinkKind::Broken);
        tree_->MakeShortcut(std::string("Data\\") + dir + "\\New.lnk", LinkKind::Intact);
    }
    StopProbe::scanned = StopProbe::found = 0;
    scanner_->SetProgressCallback(&StopProbe::Callback);

    scanner_->ScanLinkFile();
    ASSERT_EQ(StopProbe::found, 1);
    EXPECT_EQ(scanner_->ItemsScanned(), StopProbe::scanned);
    EXPECT_EQ(scanner_->ErrorsFound(), 1);
    // Only the shortcuts of the one directory walked (in the host's order).
    EXPECT_EQ(scanner_->ItemsScanned(), 2);
    EXPECT_EQ(scanner_->BrokenLinks().size(), 1u);
}

TEST_F(ShortcutScan, EmptiedEntryIsNeitherDeletedNorCounted) {
    tree_->MakeDir("Desktop");
    tree_->MakeShortcut("Desktop\\Keep.lnk", LinkKind::Broken);
    tree_->MakeShortcut("Desktop\\Remove.lnk", LinkKind::Broken);
    scanner_->ScanLinkFile();
    const Strings& broken = scanner_->BrokenLinks();
    ASSERT_EQ(broken.size(), 2u);
    const std::size_t keep = broken[0] == "Q:\\Desktop\\Keep.lnk" ? 0 : 1;
    ASSERT_EQ(broken[keep], "Q:\\Desktop\\Keep.lnk");

    scanner_->EmptyBrokenLink(keep);
    scanner_->FixLinkFile();
    EXPECT_EQ(scanner_->ErrorsFixed(), 1);
    EXPECT_TRUE(tree_->Exists("Desktop\\Keep.lnk"));
    EXPECT_FALSE(tree_->Exists("Desktop\\Remove.lnk"));
}

TEST_F(ShortcutScan, ShortcutOnTheIgnoreListIsExaminedButNotReported) {
    tree_->MakeDir("Desktop");
    tree_->MakeShortcut("Desktop\\Kept.lnk", LinkKind::Broken);
    tree_->MakeShortcut("Desktop\\Other.lnk", LinkKind::Broken);
    const char* ignoreFile = "shortcut-ignore.lst";
    if (std::FILE* f = std::fopen(ignoreFile, "w")) {
        // Exact paths only: the second line differs in letter case.
        std::fputs("Q:\\Desktop\\Kept.lnk\nQ:\\desktop\\other.lnk\n", f);
        std::fclose(f);
    }
    EngineServices services;
    services.ignoreFile = ignoreFile;
    CRegistryLib engine(services);
    scanner_->UseIgnoreListOf(engine);

    scanner_->ScanLinkFile();
    std::remove(ignoreFile);
    EXPECT_EQ(scanner_->ItemsScanned(), 2);
    EXPECT_EQ(scanner_->BrokenLinks(), Strings{"Q:\\Desktop\\Other.lnk"});
}

}  // namespace
}  // namespace qm::test

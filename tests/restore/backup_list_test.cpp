// The restore centre's list of backups: the repair's backup names only,
// newest first, each with what it puts back.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "repair/backup_list.h"
#include "repair/restore_areas.h"
#include "tests/support/backup_files.h"

namespace qm {
namespace {

using V = std::vector<std::string>;

// A backup of `values` values of one App Paths key named `key`.
std::string AppPathsBackup(const std::string& key, int values) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
        "  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\">\r\n    <k name=\"Microsoft\">\r\n"
        "     <k name=\"Windows\">\r\n      <k name=\"CurrentVersion\">\r\n       <k name=\"App Paths\">\r\n"
        "        <k name=\"" + key + "\">\r\n";
    for (int i = 0; i < values; ++i)
        text += "         <v name=\"v" + std::to_string(i) + "\" value=\"C:\\Gone\\" + key + "\"/>\r\n";
    return text + "        </k>\r\n       </k>\r\n      </k>\r\n     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n </registry>\r\n";
}

TEST(BackupList, NewestFirstByTheTimeInTheNameThenByTheTakenNamesCounter) {
    const V names = {
        "FixedOnSundayDecember062026050645.xml",
        "FixedOnMondayDecember072026010000.xml",
        "FixedOnSundayDecember062026050645-2.xml",
        "FixedOnWednesdayJanuary212026235909.xml",
        "FixedOnSundayDecember062026050645-10.xml",
        "FixedOnFridayJanuary012027000000.xml",  // a later year, an earlier month
        "FixedOnSundayDecember062026050646.xml",
        "FixedOnTuesdayDecember062026050645.xml",  // not that weekday: no backup name
        "backup.xml",
        "ignore.lst",
        "FixedOnSundayDecember062026050645.xml.bak",
    };
    EXPECT_EQ(BackupNamesNewestFirst(names),
              (V{"FixedOnFridayJanuary012027000000.xml", "FixedOnMondayDecember072026010000.xml",
                 "FixedOnSundayDecember062026050646.xml", "FixedOnSundayDecember062026050645-10.xml",
                 "FixedOnSundayDecember062026050645-2.xml", "FixedOnSundayDecember062026050645.xml",
                 "FixedOnWednesdayJanuary212026235909.xml"}));
    EXPECT_TRUE(BackupNamesNewestFirst({"a.xml", "FixedOn.xml"}).empty());
}

TEST(BackupList, EachListedBackupSaysWhenAndWhatItPutsBack) {
    const V names = {"FixedOnSundayDecember062026050645.xml", "FixedOnMondayDecember072026010000.xml",
                     "notes.xml", "FixedOnMondayDecember072026010000-2.xml"};
    test::WriteFileBytes(names[0], AppPathsBackup("old.exe", 1));
    test::WriteFileBytes(names[1], AppPathsBackup("new.exe", 3));
    test::WriteFileBytes(names[2], AppPathsBackup("notes.exe", 2));
    // Cut off inside its key: what comes before the break.
    const std::string whole = AppPathsBackup("cut.exe", 2);
    test::WriteFileBytes(names[3], whole.substr(0, whole.find("<v name=\"v1\"")));

    const std::vector<BackupListing> listed = ListBackups("", names, RestoreAreas::Program());
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].fileName, names[3]);
    EXPECT_EQ(listed[1].fileName, names[1]);
    EXPECT_EQ(listed[2].fileName, names[0]);
    EXPECT_EQ(listed[0].path, names[3]);
    EXPECT_EQ(FormatBackupListTime(listed[1].written), "2026-12-07 01:00:00");
    EXPECT_EQ(FormatBackupListTime(listed[2].written), "2026-12-06 05:06:45");

    EXPECT_TRUE(listed[1].summary.opened);
    EXPECT_TRUE(listed[1].summary.complete);
    EXPECT_EQ(listed[1].summary.keys, 1u);
    EXPECT_EQ(listed[1].summary.values, 3u);
    EXPECT_EQ(listed[1].summary.shortcuts, 0u);
    EXPECT_EQ(listed[2].summary.values, 1u);
    EXPECT_FALSE(listed[0].summary.complete);
    EXPECT_EQ(listed[0].summary.values, 1u);

    // A folder before the names.
    const std::vector<BackupListing> elsewhere = ListBackups("no-such-folder", {names[1]}, RestoreAreas::Program());
    ASSERT_EQ(elsewhere.size(), 1u);
    EXPECT_NE(elsewhere[0].path.find("no-such-folder"), std::string::npos);
    EXPECT_NE(elsewhere[0].path, "no-such-folder" + names[1]);
    EXPECT_FALSE(elsewhere[0].summary.opened);

    for (const std::string& name : names) std::remove(name.c_str());
}

}  // namespace
}  // namespace qm

// The backup and the deletions each act in the registry view they are given,
// and a repair in the view of each finding, on an in-memory registry that
// keeps the 32-bit view below Wow6432Node keys.
#include <gtest/gtest.h>

#include <string>

#include "platform/named_event.h"
#include "repair_fixture.h"

namespace qm {
namespace {

using test::RepairTest;
using ViewOperationsTest = RepairTest;

const char* const k64Path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmViews";
const char* const k32Path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\QmViews";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(ViewOperationsTest, DeletionsActInTheViewTheyName) {
    registry_.SetString(std::string(k64Path) + "\\Tree\\Sub", "x", "64");
    registry_.SetString(std::string(k32Path) + "\\Tree\\Sub", "x", "32");
    registry_.SetString(k64Path, "v", "64");
    registry_.SetString(k32Path, "v", "32");
    const std::size_t handles = registry_.OpenHandleCount();

    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmViews\\Tree", RegView::k32), kRegSuccess);
    EXPECT_FALSE(registry_.KeyExists(std::string(k32Path) + "\\Tree"));
    EXPECT_TRUE(registry_.KeyExists(std::string(k64Path) + "\\Tree\\Sub"));
    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmViews\\Tree"), kRegSuccess);
    EXPECT_FALSE(registry_.KeyExists(std::string(k64Path) + "\\Tree"));

    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmViews", "v", RegView::k32), kRegSuccess);
    EXPECT_FALSE(registry_.ValueExists(k32Path, "v"));
    EXPECT_TRUE(registry_.ValueExists(k64Path, "v"));
    // Gone from the 32-bit view already: the 64-bit one is not touched.
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmViews", "v", RegView::k32),
              kRegFileNotFound);
    EXPECT_TRUE(registry_.ValueExists(k64Path, "v"));
    EXPECT_EQ(registry_.OpenHandleCount(), handles);

    // The 95/98/Me path takes the view too.
    registry_.SetWin9xKeyDeletion(true);
    system_.SetWin9xFamily(true);
    MakeEngine();
    ASSERT_TRUE(lib_->IsOldPlatform());
    registry_.SetString(std::string(k64Path) + "\\Old\\A", "x", "64");
    registry_.SetString(std::string(k32Path) + "\\Old\\A", "x", "32");
    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmViews\\Old", RegView::k32), kRegSuccess);
    EXPECT_FALSE(registry_.KeyExists(std::string(k32Path) + "\\Old"));
    EXPECT_TRUE(registry_.KeyExists(std::string(k64Path) + "\\Old\\A"));
}

TEST_F(ViewOperationsTest, BackupReadsTheKeyInTheViewItNamesAndMarksThe32BitOne) {
    registry_.SetString(std::string(k64Path) + "\\Key", "v", "sixty-four");
    registry_.SetString(std::string(k32Path) + "\\Key", "v", "thirty-two");
    const std::string keyPath = std::string(k64Path) + "\\Key";
    for (const RegView view : {RegView::k32, RegView::k64}) {
        SCOPED_TRACE(ViewName(view));
        const std::string file = UniqueName(std::string("backup") + ViewName(view));
        CXmlWriter writer;
        writer.SetFileName(file);
        CXmlElement("registry").WriteStartTag(writer, 1, true, true);
        EXPECT_EQ(repair_->SaveAsXml(writer, keyPath, nullptr, ClassesHive::kMerged, view), 1);
        CXmlElement::WriteEndTag("registry", writer, -1, true, true);
        writer.Close();
        const std::string bytes = test::ReadFileBytes(file);
        const bool is32 = view == RegView::k32;
        EXPECT_EQ(Count(bytes, "view=\"32\""), is32 ? 1u : 0u) << bytes;
        EXPECT_EQ(Count(bytes, "thirty-two"), is32 ? 1u : 0u) << bytes;
        EXPECT_EQ(Count(bytes, "sixty-four"), is32 ? 0u : 1u) << bytes;
    }
}

TEST_F(ViewOperationsTest, OneRepairRemovesTheSameEntryFromEachViewItWasFoundIn) {
    NamedEvent(kStopEventName).Reset();
    // The same key path in both views, one finding each, taken in turn: the
    // 64-bit one, the 32-bit one, then the 64-bit value finding again.
    registry_.SetString(std::string(k64Path) + "\\Run", "Gone", "C:\\Gone\\64.exe");
    registry_.SetString(std::string(k32Path) + "\\Run", "Gone", "C:\\Gone\\32.exe");
    registry_.SetString(std::string(k64Path) + "\\Run", "Also", "C:\\Gone\\also.exe");
    registry_.SetString(std::string(k32Path) + "\\Run", "Also", "C:\\Gone\\also32.exe");
    const std::string run = std::string(k64Path) + "\\Run";
    AddFinding(kTagStartup, run, kRemoveValue, "Gone", "C:\\Gone\\64.exe");
    AddFinding(kTagStartup, run, kRemoveValue, "Gone", "C:\\Gone\\32.exe").SetView(RegView::k32);
    AddFinding(kTagStartup, run, kRemoveValue, "Also", "C:\\Gone\\also.exe");
    const std::size_t handles = registry_.OpenHandleCount();

    ResultRows rows = RowsFor({kLabelStartup});
    const std::string file = repair_->FixRegistry(rows, UniqueName("views"));
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(FixedOf(rows, kLabelStartup), 3);
    EXPECT_FALSE(registry_.ValueExists(run, "Gone"));
    EXPECT_FALSE(registry_.ValueExists(std::string(k32Path) + "\\Run", "Gone"));
    EXPECT_FALSE(registry_.ValueExists(run, "Also"));
    EXPECT_TRUE(registry_.ValueExists(std::string(k32Path) + "\\Run", "Also"));
    EXPECT_EQ(registry_.OpenHandleCount(), handles);

    // Three chains, the 32-bit one marked; each holds its own view's value.
    const std::string bytes = test::ReadFileBytes(file);
    EXPECT_EQ(Count(bytes, "<k name=\"HKEY_LOCAL_MACHINE\""), 3u) << bytes;
    EXPECT_EQ(Count(bytes, "view=\"32\""), 1u) << bytes;
    EXPECT_EQ(Count(bytes, "C:\\Gone\\32.exe"), 1u) << bytes;
    EXPECT_EQ(Count(bytes, "C:\\Gone\\64.exe"), 1u) << bytes;
    EXPECT_EQ(Count(bytes, "also32"), 0u) << bytes;

    // The engine's own registry calls stay in the 64-bit view afterwards.
    RegKeyHandle key;
    ASSERT_EQ(lib_->OpenKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmViews\\Run", key.Receive(lib_->Registry())),
              kRegSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(lib_->Registry().RegQueryValueExA(key.Get(), "Also", nullptr, nullptr, &size), kRegFileNotFound);
}

}  // namespace
}  // namespace qm

// The steps a restore's check keeps: they must be the very steps a walk of
// the file gives (the restore writes from them instead of walking again), and
// anything the kept form cannot carry must send the restore back to the file
// (the restore tests with shortcut files and broken backups go that way).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "repair/backup_summary.h"
#include "repair/backup_walk.h"
#include "repair/checked_restore_steps.h"
#include "repair/xml_reader.h"
#include "tests/support/backup_files.h"
#include "tests/support/test_restore_areas.h"

namespace qm {
namespace {

std::string Xml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n" + body + " </registry>\r\n";
}

// Every field a restore reads of a step, as one line.
std::string Describe(const RestoreStep& s) {
    std::string out = std::to_string(static_cast<int>(s.kind)) + " line " + std::to_string(s.line) + " view " +
                      std::to_string(static_cast<int>(s.view)) + " place " +
                      std::to_string(static_cast<int>(s.place)) + " named " + (s.named ? "1" : "0");
    if (s.kind == RestoreStep::Kind::Key) out += " [" + s.text + "]";
    if (s.kind == RestoreStep::Kind::Value) {
        out += " \"" + s.text + "\" type " + std::to_string(s.type) + " data";
        for (const std::uint8_t b : s.data) out += " " + std::to_string(b);
    }
    return out;
}

std::vector<std::string> Drain(CheckedRestoreSteps& kept, std::size_t perBatch) {
    std::vector<std::string> out;
    RestoreStepBatch batch;
    for (bool more = true; more;) {
        batch.Clear();
        more = kept.Fill(batch, perBatch);
        EXPECT_LE(batch.Size(), perBatch);
        for (std::size_t i = 0; i < batch.Size(); ++i) out.push_back(Describe(batch[i]));
    }
    return out;
}

// The steps of a walk of the file itself, as the restore made them before.
std::vector<std::string> Walked(const std::string& path) {
    std::vector<std::string> out;
    CXmlReader reader;
    BackupWalk walk(reader, path, false, &test::TestRestoreAreas(), nullptr);
    RestoreStepBatch batch;
    for (bool more = true; more;) {
        batch.Clear();
        more = walk.Fill(batch, 512);
        for (std::size_t i = 0; i < batch.Size(); ++i) out.push_back(Describe(batch[i]));
    }
    return out;
}

const char* const kVaried =
    "  <k name=\"HKEY_CURRENT_USER\">\r\n"
    "   <k name=\"Software\">\r\n"
    "    <k name=\"Kept &amp; &quot;quoted&quot;\">\r\n"
    "     <v name=\"(Default)\" value=\"C:\\Program Files\\a.exe\"/>\r\n"
    "     <v name=\"(Default)\" value=\"own name\" named=\"1\"/>\r\n"
    "     <v name=\"Count\" value=\"0x0000002a (42)\" type=\"REG_DWORD\"/>\r\n"
    "     <v name=\"Big\" value=\"0x0000000100000002\" type=\"REG_QWORD\"/>\r\n"
    "     <v name=\"Bytes\" value=\"00 ff 10\" type=\"REG_BINARY\"/>\r\n"
    "     <v name=\"Empty\" value=\"\" type=\"REG_BINARY\"/>\r\n"
    "     <v name=\"List\" value=\"one&#10;two\" type=\"REG_MULTI_SZ\"/>\r\n"
    "     <v name=\"Path\" value=\"%SystemRoot%\\x\" type=\"REG_EXPAND_SZ\"/>\r\n"
    "     <v name=\"Caf\xC3\xA9\" value=\"\xC3\xA9t\xC3\xA9\"/>\r\n"
    "     <k name=\"EmptyKey\"/>\r\n"
    "    </k>\r\n"
    "   </k>\r\n"
    "  </k>\r\n"
    "  <k name=\"HKEY_CLASSES_ROOT\" hive=\"machine\">\r\n"
    "   <k name=\"QmTool\">\r\n"
    "    <v name=\"Tool\" value=\"t\"/>\r\n"
    "   </k>\r\n"
    "  </k>\r\n"
    "  <k name=\"HKEY_LOCAL_MACHINE\" view=\"32\">\r\n"
    "   <k name=\"SOFTWARE\">\r\n"
    "    <k name=\"QmRepair\">\r\n"
    "     <k name=\"Sub\">\r\n"
    "      <v name=\"x\" value=\"y\"/>\r\n"
    "     </k>\r\n"
    "    </k>\r\n"
    "   </k>\r\n"
    "  </k>\r\n";

TEST(CheckedRestoreSteps, KeepsExactlyTheStepsOfAWalkOfTheFile) {
    const std::string path = "checked_steps_varied.xml";
    test::WriteFileBytes(path, Xml(kVaried));
    CheckedRestoreSteps kept;
    const BackupSummary check = SummarizeBackup(path, test::TestRestoreAreas(), nullptr, false, &kept);
    ASSERT_TRUE(check.complete) << check.reason;
    ASSERT_TRUE(kept.Whole());
    const std::vector<std::string> walked = Walked(path);
    ASSERT_GT(walked.size(), 20u);
    // Handed out in batches of any size, the same steps in the same order.
    EXPECT_EQ(Drain(kept, 512), walked);
    CheckedRestoreSteps again;
    SummarizeBackup(path, test::TestRestoreAreas(), nullptr, false, &again);
    EXPECT_EQ(Drain(again, 3), walked);
}

TEST(CheckedRestoreSteps, LetsGoOfEverythingItCannotCarry) {
    struct Case {
        const char* what;
        std::string body;
        bool complete;
    };
    const Case cases[] = {
        {"a shortcut file element",
         "  <file path=\"C:\\Users\\a.lnk\" data=\"00\"/>\r\n  <k name=\"HKEY_CURRENT_USER\"/>\r\n", false},
        {"a value whose text does not read",
         "  <k name=\"HKEY_CURRENT_USER\">\r\n   <v name=\"n\" value=\"0x12\" type=\"REG_DWORD\"/>\r\n  </k>\r\n",
         false},
        {"a file that breaks off", "  <k name=\"HKEY_CURRENT_USER\">\r\n   <v name=\"n\" value=\"v\"/>\r\n", false},
    };
    for (const Case& c : cases) {
        const std::string path = "checked_steps_case.xml";
        std::string text = Xml(c.body);
        if (std::string(c.what) == "a file that breaks off") text = text.substr(0, text.find(" </registry>"));
        test::WriteFileBytes(path, text);
        CheckedRestoreSteps kept;
        SummarizeBackup(path, test::TestRestoreAreas(), nullptr, false, &kept);
        EXPECT_FALSE(kept.Whole()) << c.what;
        EXPECT_EQ(kept.Bytes(), 0u) << c.what;
        RestoreStepBatch batch;
        EXPECT_FALSE(kept.Fill(batch, 512)) << c.what;
        EXPECT_EQ(batch.Size(), 0u) << c.what;
    }
}

TEST(CheckedRestoreSteps, PastItsLimitKeepsNothing) {
    const std::string path = "checked_steps_limit.xml";
    test::WriteFileBytes(path, Xml(kVaried));
    CheckedRestoreSteps roomy;
    SummarizeBackup(path, test::TestRestoreAreas(), nullptr, false, &roomy);
    ASSERT_TRUE(roomy.Whole());
    CheckedRestoreSteps tight(roomy.Bytes() - 1);
    SummarizeBackup(path, test::TestRestoreAreas(), nullptr, false, &tight);
    EXPECT_FALSE(tight.Whole());
    EXPECT_EQ(tight.Bytes(), 0u);
    CheckedRestoreSteps exact(roomy.Bytes());
    SummarizeBackup(path, test::TestRestoreAreas(), nullptr, false, &exact);
    EXPECT_TRUE(exact.Whole());
}

}  // namespace
}  // namespace qm

// A restore succeeds only when the file is a complete backup and all of it
// was written back; everything else fails with the line, the reason and
// what was restored before it. Editors' changes that keep the content (a
// byte-order mark, other indentation and line ends) are no failure.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "tests/restore/round_trip.h"

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::TreeSnapshot;

const char* const kParent = "Software\\QuillmereTest";

class RestoreOrFail : public ::testing::Test {
protected:
    void SetUp() override {
        services_.registry = &reg_;
        services_.system = &sys_;
        services_.ignoreFile = "restore-or-fail-ignore.lst";
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
        repair_->SetRestoreUi(&ui_);
        // These backups write below HKEY_CURRENT_USER.
        repair_->SetRestoreAreas(&test::TestRestoreAreas());
    }

    int Restore(const std::string& content) {
        test::WriteFileBytes("restore_or_fail.xml", content);
        ui_.ClearMessages();
        CXmlReader reader;
        const int result = repair_->LoadAsXml(reader, "restore_or_fail.xml");
        EXPECT_EQ(reg_.OpenHandleCount(), 0u);
        return result;
    }

    // A random tree below kParent\name, its snapshot and its backup; the
    // tree is deleted again.
    std::string BackupOfRandomTree(std::uint32_t seed, const std::string& name, TreeSnapshot& original,
                                   bool lineBreaks = true) {
        const std::string sub = std::string(kParent) + "\\" + name;
        RegKey key = kNullKey;
        EXPECT_EQ(reg_.RegCreateKeyA(kHkeyCurrentUser, sub.c_str(), &key), kRegSuccess);
        {
            RegKeyHandle h(reg_, key);
            test::RandomTree tree(seed);
            tree.Fill(reg_, key, 2);
            if (!lineBreaks) {
                // Values whose texts span lines change with the line ends.
                reg_.SetValue("HKEY_CURRENT_USER\\" + sub, "plain", kRegSz, Bytes({'p', 0}));
            }
        }
        original = test::Snapshot(reg_, kHkeyCurrentUser, sub);
        EXPECT_EQ(test::WriteBackup(*repair_, "HKEY_CURRENT_USER\\" + sub, "restore_or_fail_full.xml"), 1);
        test::DeleteTree(reg_, kHkeyCurrentUser, sub);
        return test::ReadFileBytes("restore_or_fail_full.xml");
    }

    TreeSnapshot Now(const std::string& name) {
        return test::Snapshot(reg_, kHkeyCurrentUser, std::string(kParent) + "\\" + name);
    }

    MemoryRegistry reg_;
    MemorySystem sys_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    RecordingRestoreUi ui_;
};

// Every key and value of `got` is in `want`, with the same type and bytes.
std::string NotPartOf(const TreeSnapshot& got, const TreeSnapshot& want) {
    for (const auto& [path, values] : got) {
        const auto it = want.find(path);
        if (it == want.end()) return "key \"" + path + "\" was not in the backup";
        for (const auto& [name, v] : values) {
            const auto jt = it->second.find(name);
            if (jt == it->second.end()) return "value \"" + name + "\" was not in the backup";
            if (!(jt->second == v)) return "value \"" + name + "\" came back changed";
        }
    }
    return "";
}

TEST_F(RestoreOrFail, EveryTruncationOfARealBackupFailsAndWritesOnlyWhatWasThere) {
    for (std::uint32_t seed = 7; seed < 10; ++seed) {
        const std::string name = "Cut" + std::to_string(seed);
        TreeSnapshot original;
        const std::string full = BackupOfRandomTree(seed, name, original);
        ASSERT_GT(full.size(), 200u);
        // Up to the end of the root element: after it only a line end is missing.
        const std::size_t complete = full.rfind("</registry>") + 11;
        for (std::size_t cut = 0; cut < complete; ++cut) {
            ASSERT_EQ(Restore(full.substr(0, cut)), 0) << "seed " << seed << " cut " << cut;
            const RestoreReport& report = repair_->LastRestore();
            EXPECT_FALSE(report.complete);
            ASSERT_NE(report.reason, "") << cut;
            EXPECT_EQ(NotPartOf(Now(name), original), "") << "seed " << seed << " cut " << cut;
            test::DeleteTree(reg_, kHkeyCurrentUser, std::string(kParent) + "\\" + name);
        }
        // The whole file, or without its last line end: everything, and success.
        ASSERT_EQ(Restore(full.substr(0, complete)), 1) << repair_->LastRestore().Describe();
        EXPECT_EQ(test::FirstDifference(original, Now(name)), "");
        EXPECT_TRUE(repair_->LastRestore().complete);
        EXPECT_EQ(repair_->LastRestore().reason, "");
    }
}

TEST_F(RestoreOrFail, EmptyAndRootlessFilesFail) {
    EXPECT_EQ(Restore(""), 0);
    EXPECT_EQ(repair_->LastRestore().reason, "no registry element");
    EXPECT_EQ(Restore("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"), 0);
    EXPECT_EQ(repair_->LastRestore().reason, "no registry element");
    EXPECT_EQ(Restore("<?xml version=\"1.0\"?>\r\n <registry>\r\n"), 0);
    EXPECT_EQ(repair_->LastRestore().line, 2);
    EXPECT_EQ(repair_->LastRestore().reason,
              "the file ends before the end of the registry element (</registry>)");
    EXPECT_EQ(Restore("<registry/>\r\n"), 1);
    EXPECT_EQ(Restore("<registry></registry>\r\n<!-- after -->\r\n  \r\n"), 1);
    EXPECT_EQ(Restore("<registry></registry>\r\n<registry></registry>\r\n"), 0);
    EXPECT_EQ(repair_->LastRestore().reason, "element <registry> after the end of the registry element");
    EXPECT_EQ(Restore("<backup></backup>"), 0);
    EXPECT_EQ(repair_->LastRestore().reason, "unknown element <backup>");
}

TEST_F(RestoreOrFail, ByteOrderMarkIsAccepted) {
    TreeSnapshot original;
    const std::string full = BackupOfRandomTree(21, "Bom", original);
    ASSERT_EQ(Restore("\xEF\xBB\xBF" + full), 1) << repair_->LastRestore().Describe();
    EXPECT_EQ(test::FirstDifference(original, Now("Bom")), "");
}

// The backup as an XML editor may leave it: tabs for indentation, every
// attribute on a line of its own, line feeds alone, blank lines.
std::string Reindented(const std::string& file) {
    std::string out;
    int depth = 0;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find("\r\n", start);
        if (end == std::string::npos) end = file.size();
        std::string line = file.substr(start, end - start);
        start = end + 2;
        const std::size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos || line[first] != '<') {
            out += line + "\n";  // a value text going on
            continue;
        }
        line.erase(0, first);
        if (line.rfind("</", 0) == 0) --depth;
        std::string tabs(static_cast<std::size_t>(depth < 0 ? 0 : depth), '\t');
        // Attributes on their own lines (the texts hold no " name=" and the like).
        for (const char* attr : {" name=", " value=", " type="}) {
            const std::size_t at = line.find(attr);
            if (at != std::string::npos) line.replace(at, 1, "\n" + tabs + "\t\t");
        }
        // A blank line after each tag, unless a value text goes on.
        out += tabs + line + (line.back() == '>' ? "\n\n" : "\n");
        if (line.rfind("<k", 0) == 0 && line.find("/>") == std::string::npos) ++depth;
        if (line.rfind("<registry", 0) == 0) ++depth;
    }
    return out;
}

TEST_F(RestoreOrFail, ReindentedBackupRestoresAll) {
    for (std::uint32_t seed = 30; seed < 40; ++seed) {
        const std::string name = "Tabs" + std::to_string(seed);
        TreeSnapshot original;
        const std::string full = BackupOfRandomTree(seed, name, original);
        // Texts that span lines keep their own line ends: restore them from
        // the file as it was, and compare the rest.
        const std::string edited = Reindented(full);
        ASSERT_NE(edited, full);
        ASSERT_EQ(Restore(edited), 1) << "seed " << seed << ": " << repair_->LastRestore().Describe()
                                      << "\n" << edited;
        const TreeSnapshot got = Now(name);
        for (const auto& [path, values] : original) {
            ASSERT_TRUE(got.count(path)) << path;
            for (const auto& [valueName, v] : values) {
                ASSERT_TRUE(got.at(path).count(valueName)) << valueName;
                const std::string text(v.bytes.begin(), v.bytes.end());
                if (text.find('\n') != std::string::npos && v.type != kRegMultiSz) continue;
                EXPECT_EQ(got.at(path).at(valueName), v) << "seed " << seed << " " << valueName;
            }
        }
        EXPECT_EQ(repair_->LastRestore().values, [&] {
            std::uint32_t n = 0;
            for (const auto& [path, values] : original) n += static_cast<std::uint32_t>(values.size());
            return n;
        }());
    }
}

// Hand-broken elements: each fails at its line, names what is wrong, and
// never touches the key's unnamed value.
TEST_F(RestoreOrFail, HandBrokenAttributesFailWithoutGuessing) {
    struct Case {
        const char* element;
        const char* reason;
    };
    const Case cases[] = {
        {"<v value=\"new\"/>", "value element without a name"},
        {"<v value=\"new\" type=\"REG_SZ\"/>", "value element without a name"},
        {"<v nmae=\"(Default)\" value=\"new\"/>", "value element without a name"},
        {"<v name=\"(Default)\"/>", "value \"(Default)\" without a value text"},
        {"<v name=\"x\" value=\"1\" value=\"2\"/>", "attribute \"value\" given twice"},
        {"<v name=\"x\" value=\"1\" type=\"REG_SOMETHING\"/>", "value \"x\": unknown type \"REG_SOMETHING\""},
        {"<v name=\"x\" value=\"1\" type=\"REG_NONE\"/>", "value \"x\": unknown type \"REG_NONE\""},
        {"<v name=\"x\" value=\"1\" type=\"hex(1g)\"/>", "value \"x\": unknown type \"hex(1g)\""},
        {"<v name=\"x\" value=\"0xZZ000000 (0)\" type=\"REG_DWORD\"/>",
         "value \"x\": value text is not a DWORD (\"0x0000000a (10)\")"},
        {"<v name=\"x\" value=\"0x0000000a (11)\" type=\"REG_DWORD\"/>",
         "value \"x\": value text is not a DWORD (\"0x0000000a (10)\")"},
        {"<v name=\"x\" value=\"10\" type=\"REG_DWORD\"/>",
         "value \"x\": value text is not a DWORD (\"0x0000000a (10)\")"},
        {"<v name=\"x\" value=\"0x0a\" type=\"REG_QWORD\"/>",
         "value \"x\": value text is not a QWORD (\"0x000000000000000a\")"},
        {"<v name=\"x\" value=\"01 2\" type=\"REG_BINARY\"/>",
         "value \"x\": value text is not hexadecimal bytes (\"0a 1b ...\")"},
        {"<v name=\"x\" value=\"01,02\" type=\"hex(5)\"/>",
         "value \"x\": value text is not hexadecimal bytes (\"0a 1b ...\")"},
        {"<k value=\"x\"/>", "key element without a name"},
        {"<k/>", "key element without a name"},
        {"<value name=\"x\" value=\"1\"/>", "unknown element <value>"},
        {"<v name=\"y\" value=\"1\"><k name=\"c\"/></v>", "element <k> inside <v>"},
        {"stray text", "text outside every attribute"},
        {"</v>", "end tag </v> where </k> belongs"},
    };
    const std::string key = "HKEY_CURRENT_USER\\Software\\Broken";
    for (const Case& c : cases) {
        reg_.SetString(key, "", "original");
        const std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
                                 "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Software\">\r\n"
                                 "    <k name=\"Broken\">\r\n     <v name=\"before\" value=\"1\"/>\r\n"
                                 "     " + std::string(c.element) + "\r\n"
                                 "     <v name=\"after\" value=\"2\"/>\r\n"
                                 "    </k>\r\n   </k>\r\n  </k>\r\n </registry>\r\n";
        EXPECT_EQ(Restore(file), 0) << c.element;
        const RestoreReport& report = repair_->LastRestore();
        EXPECT_EQ(report.line, 7) << c.element;
        EXPECT_EQ(report.reason, c.reason) << c.element;
        EXPECT_EQ(report.values, 1u) << c.element;
        EXPECT_EQ(report.keys, 3u) << c.element;
        std::uint32_t type = 0;
        Bytes bytes;
        ASSERT_TRUE(reg_.GetValue(key, "", &type, &bytes));
        EXPECT_EQ(bytes, Bytes({'o', 'r', 'i', 'g', 'i', 'n', 'a', 'l', 0})) << c.element;
        EXPECT_FALSE(reg_.ValueExists(key, "after")) << c.element;
        EXPECT_EQ(report.Describe(), "line 7: " + std::string(c.reason) +
                                         " (3 keys, 1 value and 0 files restored before it)");
        test::DeleteTree(reg_, kHkeyCurrentUser, "Software\\Broken");
    }
}

TEST_F(RestoreOrFail, OverlongLineIsRefusedWithAMessage) {
    // No line end for more than the limit: refused, not read into memory whole.
    std::string content = "<registry>\r\n<k name=\"";
    content.append(kMaxXmlLineLength + 16, 'a');
    EXPECT_EQ(Restore(content), 0);
    EXPECT_EQ(repair_->LastRestore().line, 2);
    EXPECT_EQ(repair_->LastRestore().reason,
              "line longer than " + std::to_string(kMaxXmlLineLength) + " bytes");
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].rfind("Parse error in line 2 : (line longer than", 0), 0u);
}

}  // namespace
}  // namespace qm

// The registry-file corpus imported by the registry editor of the test
// prefix: for every file it imports, our reader gives the same registry (for
// a file it imports in part, when asked to skip what the editor skips); for
// every file our reader refuses as one the editor would skip a value of, the
// editor does leave that value out.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "platform/registry_win32.h"
#include "tests/regfile/corpus_cases.h"
#include "tests/support/registry_dump.h"
#include "tests/regfile/run_regedit_win32.h"

namespace qm {
namespace {

using testing::CorpusCase;
using testing::DumpTree;
using testing::kCorpusKey;

class RegeditCorpus : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kCorpusKey); }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kCorpusKey);
        DeleteFileA("corpus.reg");
        DeleteFileA("written.reg");
    }
    // What the editor makes of the file, below the corpus key.
    std::string Import(const std::string& path) {
        RegDeleteTreeA(HKEY_CURRENT_USER, kCorpusKey);
        EXPECT_EQ(testing::RunRegedit("/s " + path), 0u);
        return DumpTree(real_, kHkeyCurrentUser, kCorpusKey);
    }
    Win32Registry real_;
};

TEST_F(RegeditCorpus, TheEditorStoresWhatOurReaderReadsFromEachFile) {
    int imported = 0, inPart = 0, refused = 0;
    for (const CorpusCase& c : testing::CorpusCases()) {
        SCOPED_TRACE(c.file);
        const std::string source = std::string(QM_TEST_DATA_DIR) + "/regfile_corpus/" + c.file;
        ASSERT_TRUE(CopyFileA(source.c_str(), "corpus.reg", FALSE)) << source;
        // The editor stops part way.
        if (c.kind == CorpusCase::EditorCrashes) continue;
        const std::string editor = Import("corpus.reg");
        if (c.kind == CorpusCase::EditorIgnoresFile) {
            EXPECT_EQ(editor, "");
            continue;
        }
        MemoryRegistry ours;
        if (c.kind == CorpusCase::RefusedEditorMisreads) {
            EXPECT_THROW(LoadRegFile("corpus.reg", ours), RegFileError);
            EXPECT_NE(editor.find(c.editorLine), std::string::npos) << editor;
            ++refused;
            continue;
        }
        if (c.kind == CorpusCase::ImportedInPart) {
            // Refused for a write-back; read as the editor reads it, the
            // same registry as the editor's, and written back so that the
            // editor reads that the same.
            EXPECT_THROW(LoadRegFile("corpus.reg", ours), RegFileError);
            std::vector<RegFileSkippedLine> skipped;
            RegFileEncoding encoding;
            ASSERT_NO_THROW(encoding = ReadRegFile("corpus.reg", ours, kRegFileChooseCodePage, kRegFileSizeLimit,
                                                   &skipped));
            const std::string read = DumpTree(ours, kHkeyCurrentUser, kCorpusKey);
            EXPECT_EQ(testing::SortedDump(editor), testing::SortedDump(read)) << editor << "---\n" << read;
            EXPECT_EQ(read, c.expected);
            EXPECT_EQ(skipped.size(), c.skippedLines.size());
            ASSERT_NO_THROW(WriteRegFile("written.reg", ours, encoding));
            EXPECT_EQ(testing::SortedDump(Import("written.reg")), testing::SortedDump(read));
            ++inPart;
            continue;
        }
        if (c.kind == CorpusCase::Refused) {
            EXPECT_THROW(LoadRegFile("corpus.reg", ours), RegFileError);
            if (*c.skipped) {
                EXPECT_NE(editor, "") << "the editor applies the rest of the file";
                EXPECT_EQ(editor.find("  \"" + std::string(c.skipped) + "\" "), std::string::npos) << editor;
            } else {
                EXPECT_EQ(editor, "");
            }
            ++refused;
            continue;
        }
        // 8-bit text beyond ASCII is read in the machine's code page, as the
        // editor reads it (and written back in it).
        RegFileEncoding encoding;
        ASSERT_NO_THROW(encoding = ReadRegFile("corpus.reg", ours));
        const std::string read = DumpTree(ours, kHkeyCurrentUser, kCorpusKey);
        EXPECT_EQ(testing::SortedDump(editor), testing::SortedDump(read)) << editor << "---\n" << read;
        if (c.kind == CorpusCase::CodePageText) {
            EXPECT_EQ(encoding.codePage, MachineAnsiCodePage());
        } else {
            EXPECT_EQ(read, c.expected);
        }

        // What we write from it, the editor imports to the same registry.
        ASSERT_NO_THROW(WriteRegFile("written.reg", ours, encoding));
        EXPECT_EQ(testing::SortedDump(Import("written.reg")), testing::SortedDump(read));
        ++imported;
    }
    std::printf("corpus: %d imported identically, %d in part as the editor imports them, %d refused\n", imported,
                inPart, refused);
}

}  // namespace
}  // namespace qm

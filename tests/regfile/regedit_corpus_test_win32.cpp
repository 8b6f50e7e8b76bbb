// The registry-file corpus imported by the registry editor of the test
// prefix: for every file it imports, our reader gives the same registry; for
// every file our reader refuses as one the editor would skip a value of, the
// editor does leave that value out.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/reg_file.h"
#include "platform/registry_memory.h"
#include "platform/registry_win32.h"
#include "tests/regfile/corpus_cases.h"
#include "tests/regfile/registry_dump.h"
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
    int imported = 0, refused = 0;
    for (const CorpusCase& c : testing::CorpusCases()) {
        SCOPED_TRACE(c.file);
        const std::string source = std::string(QM_TEST_DATA_DIR) + "/regfile_corpus/" + c.file;
        ASSERT_TRUE(CopyFileA(source.c_str(), "corpus.reg", FALSE)) << source;
        // The editor stops part way; and it reads 8-bit text in the system's
        // code page where this program's is UTF-8.
        if (c.kind == CorpusCase::EditorCrashes || c.kind == CorpusCase::CodePageText) continue;
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
        ASSERT_NO_THROW(LoadRegFile("corpus.reg", ours));
        const std::string read = DumpTree(ours, kHkeyCurrentUser, kCorpusKey);
        EXPECT_EQ(testing::SortedDump(editor), testing::SortedDump(read)) << editor << "---\n" << read;
        EXPECT_EQ(read, c.expected);

        // What we write from it, the editor imports to the same registry.
        const RegFileFormat format = LoadRegFile("corpus.reg", ours);
        ASSERT_NO_THROW(SaveRegFile("written.reg", ours, format));
        EXPECT_EQ(testing::SortedDump(Import("written.reg")), testing::SortedDump(read));
        ++imported;
    }
    std::printf("corpus: %d imported identically, %d refused\n", imported, refused);
}

}  // namespace
}  // namespace qm

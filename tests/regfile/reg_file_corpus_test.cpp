// The registry-file corpus read by our reader: each file gives the registry
// the registry editor makes of it, or is refused with the line and reason.
#include <gtest/gtest.h>

#include <dirent.h>

#include <set>

#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "platform/directory_stream_posix.h"
#include "tests/regfile/corpus_cases.h"
#include "tests/support/registry_dump.h"

namespace qm {
namespace {

const std::string kCorpusDir = std::string(QM_TEST_DATA_DIR) + "/regfile_corpus/";

TEST(RegFileCorpus, EveryFileReadsAsTheEditorReadsItOrIsRefusedWithItsLine) {
    for (const auto& c : testing::CorpusCases()) {
        SCOPED_TRACE(c.file);
        MemoryRegistry reg;
        reg.SetString("HKEY_CURRENT_USER\\Before", "x", "1");
        if (c.kind == testing::CorpusCase::Refused || c.kind == testing::CorpusCase::RefusedEditorMisreads ||
            c.kind == testing::CorpusCase::EditorCrashes) {
            try {
                LoadRegFile(kCorpusDir + c.file, reg);
                ADD_FAILURE() << "accepted";
            } catch (const RegFileError& e) {
                if (c.line) {
                    EXPECT_EQ(e.Line(), c.line) << e.what();
                }
                EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
            }
            EXPECT_EQ(testing::DumpTree(reg, kHkeyCurrentUser, testing::kCorpusKey), "");
            EXPECT_TRUE(reg.ValueExists("HKEY_CURRENT_USER\\Before", "x"));
            continue;
        }
        if (c.kind == testing::CorpusCase::ImportedInPart) {
            // Refused when nothing is to be skipped, before anything is applied.
            try {
                LoadRegFile(kCorpusDir + c.file, reg);
                ADD_FAILURE() << "accepted";
            } catch (const RegFileError& e) {
                EXPECT_EQ(e.Line(), c.line) << e.what();
                EXPECT_NE(std::string(e.what()).find(c.skipped), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find("writing it back would lose them"), std::string::npos);
            }
            EXPECT_EQ(testing::DumpTree(reg, kHkeyCurrentUser, testing::kCorpusKey), "");
            // Read as the editor reads it, each skipped line named once.
            std::vector<RegFileSkippedLine> skipped;
            ASSERT_NO_THROW(ReadRegFile(kCorpusDir + c.file, reg, kRegFileChooseCodePage, kRegFileSizeLimit, &skipped));
            EXPECT_EQ(testing::DumpTree(reg, kHkeyCurrentUser, testing::kCorpusKey), c.expected);
            std::vector<int> lines;
            for (const RegFileSkippedLine& s : skipped) {
                lines.push_back(s.line);
                EXPECT_NE(s.what.find("registry editor"), std::string::npos) << s.what;
            }
            EXPECT_EQ(lines, c.skippedLines);
            MemoryRegistry streamed;
            std::vector<RegFileSkippedLine> streamSkipped;
            ASSERT_NO_THROW(StreamRegFile(kCorpusDir + c.file, streamed, kRegFileChooseCodePage, &streamSkipped));
            EXPECT_EQ(testing::DumpTree(streamed, kHkeyCurrentUser, testing::kCorpusKey), c.expected);
            EXPECT_EQ(streamSkipped.size(), c.skippedLines.size());
            EXPECT_TRUE(reg.ValueExists("HKEY_CURRENT_USER\\Before", "x"));
            continue;
        }
        if (c.kind == testing::CorpusCase::CodePageText) {
            MemoryRegistry inCodePage;
            ASSERT_NO_THROW(ReadRegFile(kCorpusDir + c.file, inCodePage, c.codePage));
            EXPECT_EQ(testing::DumpTree(inCodePage, kHkeyCurrentUser, testing::kCorpusKey), c.expected);
#ifdef _WIN32
            continue;  // read in the machine's code page: regedit_corpus_test_win32.cpp
#endif
        }
        ASSERT_NO_THROW(LoadRegFile(kCorpusDir + c.file, reg));
        EXPECT_EQ(testing::DumpTree(reg, kHkeyCurrentUser, testing::kCorpusKey), c.expected);
        // Nothing to skip in a file the editor imports whole.
        MemoryRegistry again;
        std::vector<RegFileSkippedLine> skipped;
        ASSERT_NO_THROW(ReadRegFile(kCorpusDir + c.file, again, kRegFileChooseCodePage, kRegFileSizeLimit, &skipped));
        EXPECT_TRUE(skipped.empty()) << skipped.front().line << ": " << skipped.front().what;
        EXPECT_EQ(testing::DumpTree(again, kHkeyCurrentUser, testing::kCorpusKey), c.expected);
        // Applied as it is read, the same.
        MemoryRegistry streamed;
        ASSERT_NO_THROW(StreamRegFile(kCorpusDir + c.file, streamed));
        EXPECT_EQ(testing::DumpTree(streamed, kHkeyCurrentUser, testing::kCorpusKey), c.expected);
        EXPECT_EQ(streamed.OpenHandleCount(), 0u);
    }
}

TEST(RegFileCorpus, EveryFileOfTheFolderHasItsCase) {
    std::set<std::string> named;
    for (const auto& c : testing::CorpusCases()) named.insert(c.file);
    const DirectoryStream dir(opendir(kCorpusDir.c_str()));
    ASSERT_TRUE(dir);
    std::set<std::string> found;
    while (dirent* e = readdir(dir.Get()))
        if (std::string(e->d_name).size() > 4 && std::string(e->d_name).find(".reg") != std::string::npos)
            found.insert(e->d_name);
    EXPECT_EQ(found, named);
}

// What is written from each file the editor imports reads back to the same
// registry, in the format and code page the file came in.
TEST(RegFileCorpus, WhatIsWrittenFromEachFileReadsBackTheSame) {
    for (const auto& c : testing::CorpusCases()) {
        if (c.kind != testing::CorpusCase::Imported && c.kind != testing::CorpusCase::CodePageText &&
            c.kind != testing::CorpusCase::ImportedInPart)
            continue;
        SCOPED_TRACE(c.file);
        MemoryRegistry reg;
        const std::uint32_t codePage = c.kind == testing::CorpusCase::CodePageText ? c.codePage : kRegFileChooseCodePage;
        std::vector<RegFileSkippedLine> skipped;
        const RegFileEncoding encoding = ReadRegFile(kCorpusDir + c.file, reg, codePage, kRegFileSizeLimit, &skipped);
        MemoryRegistry again;
        const std::vector<std::uint8_t> written = WriteRegText(reg, encoding);
        ASSERT_NO_THROW(ReadRegText(written, again, codePage));
        EXPECT_EQ(testing::DumpTree(again, kHkeyCurrentUser, testing::kCorpusKey), c.expected);
        if (c.kind == testing::CorpusCase::CodePageText) {
            EXPECT_NE(written.front(), 0xFF) << "an 8-bit file stays 8-bit";
        }
    }
}

}  // namespace
}  // namespace qm

// Whole files: reads bounded by a limit, replacements that leave the old file
// or the new one and nothing else.
#include "platform/whole_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> TempFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator("."))
        if (e.path().extension() == ".tmp") names.push_back(e.path().filename().string());
    return names;
}

TEST(WholeFile, ReadsUpToTheLimitAndRefusesMore) {
    Put("limit.bin", std::string("ab\0\x1A\r\n", 6));
    std::vector<std::uint8_t> bytes{9};
    std::string error;
    ASSERT_EQ(ReadWholeFile("limit.bin", 6, bytes, error), ReadStatus::Read) << error;
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'a', 'b', 0, 0x1A, '\r', '\n'}));
    EXPECT_EQ(ReadWholeFile("limit.bin", 5, bytes, error), ReadStatus::TooLarge);
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(error.find("larger than 5 bytes"), std::string::npos) << error;

    EXPECT_EQ(ReadWholeFile("no-such.bin", 100, bytes, error), ReadStatus::Missing);
    EXPECT_EQ(ReadWholeFile("no-such-folder/x.bin", 100, bytes, error), ReadStatus::Missing);
    fs::create_directory("a-folder");
    EXPECT_EQ(ReadWholeFile("a-folder", 100, bytes, error), ReadStatus::Failed);
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
#ifndef _WIN32
    // A device has no end: refused at once.
    EXPECT_EQ(ReadWholeFile("/dev/zero", 1 << 20, bytes, error), ReadStatus::Failed);
    EXPECT_NE(error.find("device"), std::string::npos) << error;
#endif
    fs::remove("a-folder");
    fs::remove("limit.bin");
}

TEST(WholeFile, ReplacementWritesWholeOrLeavesTheOldFile) {
    std::string error;
    ASSERT_TRUE(ReplaceFileAtomically("replace.txt", "first", 5, error)) << error;
    EXPECT_EQ(Contents("replace.txt"), "first");
    ASSERT_TRUE(ReplaceFileAtomically("replace.txt", "", 0, error)) << error;
    EXPECT_EQ(Contents("replace.txt"), "");
    const std::string big(3 << 20, 'x');
    ASSERT_TRUE(ReplaceFileAtomically("replace.txt", big.data(), big.size(), error)) << error;
    EXPECT_EQ(Contents("replace.txt"), big);
    EXPECT_TRUE(TempFiles().empty());

    // A read-only file stays as it is, as it does for any Windows program.
    fs::permissions("replace.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(ReplaceFileAtomically("replace.txt", "new", 3, error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    fs::permissions("replace.txt", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Contents("replace.txt"), big);

    EXPECT_FALSE(ReplaceFileAtomically("no-such-folder/replace.txt", "new", 3, error));
    EXPECT_NE(error.find("no-such-folder/replace.txt"), std::string::npos) << error;
    EXPECT_TRUE(TempFiles().empty());
    fs::remove("replace.txt");
}

#ifndef _WIN32
TEST(WholeFile, ReplacementKeepsTheFilesPermissions) {
    std::string error;
    Put("private.txt", "old");
    fs::permissions("private.txt", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(ReplaceFileAtomically("private.txt", "new", 3, error)) << error;
    EXPECT_EQ(fs::status("private.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    fs::remove("private.txt");
}
#endif

}  // namespace
}  // namespace qm

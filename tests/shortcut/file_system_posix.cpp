// PosixFileSystem: the Win32 behaviour the walk and the repair rely on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "emulation/file_system_posix.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class PosixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(root_);
        fs::create_directories(root_ + "/Dir/Sub");
        std::ofstream(root_ + "/Dir/A.LNK") << "x";
        std::ofstream(root_ + "/Dir/b.lnkx") << "x";
        std::ofstream(root_ + "/Dir/.hidden") << "x";
        ASSERT_EQ(::symlink("Sub", (root_ + "/Dir/ToSub").c_str()), 0);
        ASSERT_EQ(::symlink("missing", (root_ + "/Dir/Dangling").c_str()), 0);
        drives_.Map('Q', root_);
    }
    void TearDown() override {
        ::chmod((root_ + "/Dir/A.LNK").c_str(), 0644);
        fs::remove_all(root_);
    }

    std::map<std::string, std::uint32_t> List(const std::string& pattern) {
        std::map<std::string, std::uint32_t> out;
        FindData entry;
        auto find = files_.FindFirstFileA(pattern, entry);
        if (!find) return out;
        do out[entry.name] = entry.attributes;
        while (find->FindNextFileA(entry));
        return out;
    }

    std::string root_ = (fs::current_path() / "posix-files").string();
    DriveMap drives_;
    PosixFileSystem files_{drives_};
};

TEST_F(PosixFiles, EnumerationMatchesLikeWindowsAndMarksLinks) {
    const auto all = List("Q:\\Dir\\*.*");
    EXPECT_EQ(all.size(), 8u);  // ".", "..", five entries and Sub
    EXPECT_EQ(all.at("Sub"), kFileAttributeDirectory);
    EXPECT_EQ(all.at("ToSub"), kFileAttributeDirectory | kFileAttributeReparsePoint);
    EXPECT_EQ(all.at("Dangling"), kFileAttributeReparsePoint);
    EXPECT_EQ(all.at(".hidden"), kFileAttributeArchive | kFileAttributeHidden);

    const auto links = List("q:/dir\\*.lnk");
    EXPECT_EQ(links.size(), 1u);
    EXPECT_EQ(links.count("A.LNK"), 1u);

    const auto root = List("Q:\\*.*");  // no "." and ".." in a drive's root
    EXPECT_EQ(root.size(), 1u);
    EXPECT_EQ(List("Q:\\Nowhere\\*.*").size(), 0u);
    EXPECT_EQ(List("R:\\*.*").size(), 0u);
}

TEST_F(PosixFiles, ReadOnlyFileIsDeletedOnlyAfterItsAttributesAreReset) {
    ASSERT_TRUE(files_.SetFileAttributesA("Q:\\Dir\\A.LNK", kFileAttributeReadonly));
    EXPECT_EQ(files_.GetFileAttributesA("Q:\\Dir\\A.LNK"), kFileAttributeArchive | kFileAttributeReadonly);
    EXPECT_FALSE(files_.DeleteFileA("Q:\\Dir\\A.LNK"));
    EXPECT_TRUE(files_.SetFileAttributesA("Q:\\Dir\\A.LNK", kFileAttributeNormal));
    EXPECT_TRUE(files_.DeleteFileA("Q:\\Dir\\A.LNK"));
    EXPECT_FALSE(files_.Access("Q:\\Dir\\A.LNK"));
    EXPECT_FALSE(files_.DeleteFileA("Q:\\Dir\\Sub"));  // a directory
    EXPECT_FALSE(files_.DeleteFileA(""));
}

TEST_F(PosixFiles, ALinkHasTheIdentityOfItsTarget) {
    FileIdentity sub, link, dir;
    ASSERT_TRUE(files_.GetFileIdentity("Q:\\Dir\\Sub", sub));
    ASSERT_TRUE(files_.GetFileIdentity("Q:\\Dir\\ToSub", link));
    ASSERT_TRUE(files_.GetFileIdentity("Q:\\Dir", dir));
    EXPECT_EQ(sub, link);
    EXPECT_NE(sub, dir);
    EXPECT_FALSE(files_.GetFileIdentity("Q:\\Dir\\Dangling", link));
}

}  // namespace
}  // namespace qm::test

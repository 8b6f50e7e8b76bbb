// The scan run's file-test cache: right answers whatever the number of
// paths, each path asked of the system underneath at most twice while it
// stays in the table.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/caching_system.h"

namespace qm {
namespace {

// Even-numbered paths are files, those divisible by 3 directories.
class CountingSystem : public ISystem {
public:
    bool FileExists(const std::string& path) override {
        ++exists[path];
        return Number(path) % 2 == 0 || Number(path) % 3 == 0;
    }
    bool IsDirectory(const std::string& path) override {
        ++directory[path];
        return Number(path) % 3 == 0;
    }
    std::string ExpandEnvironmentStrings(const std::string& text) override { return text + "!"; }
    std::string GetSystemDirectory() override { return "C:\\W\\S"; }
    std::string GetWindowsDirectory() override { return "C:\\W"; }
    std::uint32_t GetVersion() override { return 7; }
    bool IsLocalDrive(char letter) override { return letter == 'C'; }

    static int Number(const std::string& path) { return std::stoi(path.substr(path.rfind('\\') + 1)); }
    std::map<std::string, int> exists, directory;
};

std::string PathNo(int i) { return "C:\\Files\\" + std::to_string(i); }

TEST(CachingSystemTest, AnswersAsTheSystemAndAsksItAtMostTwicePerPathInTurn) {
    CountingSystem base;
    CachingSystem cached(base);
    // Far more paths than the table holds: slots are taken over, answers stay right.
    constexpr int kPaths = 20000;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < kPaths; ++i) {
            const std::string p = PathNo(i);
            ASSERT_EQ(cached.FileExists(p), i % 2 == 0 || i % 3 == 0) << p;
            ASSERT_EQ(cached.IsDirectory(p), i % 3 == 0) << p;
            ASSERT_EQ(cached.FileExists(p), i % 2 == 0 || i % 3 == 0) << p;
        }
    // A path's first test is only noted, its next one stored: at most twice a round.
    for (const auto& [path, times] : base.exists) ASSERT_LE(times, 4) << path;

    // A path asked again soon is answered from the table.
    const std::string hot = PathNo(44);  // a file
    base.exists.clear();
    base.directory.clear();
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(cached.FileExists(hot));
        EXPECT_FALSE(cached.IsDirectory(hot));
    }
    EXPECT_LE(base.exists[hot], 2);  // its first test may have been only noted
    EXPECT_EQ(base.directory[hot], 1);

    // Everything else is the system's own answer.
    EXPECT_EQ(cached.ExpandEnvironmentStrings("%A%"), "%A%!");
    EXPECT_EQ(cached.GetSystemDirectory(), "C:\\W\\S");
    EXPECT_EQ(cached.GetWindowsDirectory(), "C:\\W");
    EXPECT_EQ(cached.GetVersion(), 7u);
    EXPECT_TRUE(cached.IsLocalDrive('C'));
    EXPECT_FALSE(cached.IsLocalDrive('D'));
}

}  // namespace
}  // namespace qm

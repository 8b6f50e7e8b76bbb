#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/drive_map.h"

namespace qm {
namespace {

class DriveMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::string(QM_BUILD_DIR) + "/test-work/drive-map";
        std::system(("rm -rf '" + root_ + "'").c_str());
        ::mkdir(root_.c_str(), 0755);
        Make("c");
        Make("c/windows");
        Make("c/windows/System32");
        Make("c/Program Files");
        Touch("c/windows/System32/foo.dll");
        Touch("c/Program Files/App.EXE");
        map_.Map('c', root_ + "/c");
    }
    void Make(const std::string& rel) { ::mkdir((root_ + "/" + rel).c_str(), 0755); }
    void Touch(const std::string& rel) { std::ofstream(root_ + "/" + rel) << "x"; }

    std::string root_;
    DriveMap map_;
};

TEST_F(DriveMapTest, ComponentsResolveWithoutRegardToCase) {
    EXPECT_TRUE(map_.Exists("C:\\WINDOWS\\system32\\FOO.dll"));
    EXPECT_EQ(*map_.ToHostPath("C:\\WINDOWS\\system32\\FOO.dll"), root_ + "/c/windows/System32/foo.dll");
    EXPECT_TRUE(map_.Exists("c:\\program files\\app.exe"));
    EXPECT_TRUE(map_.Exists("C:/Program Files/App.EXE"));
    EXPECT_TRUE(map_.Exists("C:\\Windows\\System32\\"));  // a directory
    EXPECT_TRUE(map_.Exists("C:\\"));
}

TEST_F(DriveMapTest, WindowsNameRulesApply) {
    EXPECT_TRUE(map_.Exists("C:\\Program Files\\App.exe "));   // trailing blank dropped
    EXPECT_TRUE(map_.Exists("C:\\Program Files\\App.exe."));   // trailing dot dropped
    EXPECT_TRUE(map_.Exists("C:\\Windows\\.\\System32\\..\\System32\\foo.dll"));
    EXPECT_TRUE(map_.Exists("C:\\\\Windows\\\\System32\\foo.dll"));
}

TEST_F(DriveMapTest, MissingAndUnmappedPathsDoNotExist) {
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\bar.dll"));
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\foo.dll\\x"));
    EXPECT_FALSE(map_.Exists("D:\\Windows"));
    EXPECT_FALSE(map_.Exists("Windows\\System32\\foo.dll"));
    EXPECT_FALSE(map_.Exists("\\\\server\\share\\foo.dll"));
    EXPECT_FALSE(map_.Exists("C:Windows"));
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\fo?.dll"));
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\*.dll"));
    EXPECT_FALSE(map_.Exists(""));
}

TEST_F(DriveMapTest, HostPathsMapBackToWindowsPaths) {
    EXPECT_EQ(map_.ToWindowsPath(root_ + "/c/windows/System32/foo.dll"), "C:\\windows\\System32\\foo.dll");
    EXPECT_EQ(map_.ToWindowsPath(root_ + "/c"), "C:\\");
    EXPECT_EQ(map_.ToWindowsPath(root_ + "/cc/x"), "");
    EXPECT_EQ(map_.ToWindowsPath("/elsewhere"), "");
}

}  // namespace
}  // namespace qm

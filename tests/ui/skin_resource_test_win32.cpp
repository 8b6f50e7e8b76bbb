#include <gtest/gtest.h>

#include "tests/ui/screen_capture_win32.h"
#include "ui/resource_extract_win32.h"
#include "ui/skin_resource_win32.h"

namespace qm {
namespace {

const std::string kSkinSource = std::string(QM_TEST_DATA_DIR) + "/../../resources/Skin.ini";

// Runs with a scratch file of the user's named Skin.ini in the working directory.
class BuiltInSkin : public ::testing::Test {
protected:
    void TearDown() override { DeleteFileA("Skin.ini"); }
};

TEST_F(BuiltInSkin, IsReadFromTheResourceAsShipped) {
    std::string bytes;
    ASSERT_TRUE(ReadResourceBytes(kSkinResourceName, kSkinResourceType, bytes));
    EXPECT_EQ(bytes, test::ReadWholeFile(kSkinSource));
    SkinFile skin;
    skin.SetSkinFile("Skin.ini");
    ASSERT_TRUE(LoadBuiltInSkin(skin));
    EXPECT_TRUE(skin.IsLoaded());
    EXPECT_EQ(skin.ReadSkinValue("MAINSCREENINFO", "Main"), "home_on.gif");
    EXPECT_EQ(skin.ReadNumberedSection("SUBMAIN_MAIN_TEXTINFO").size(), 23u);
}

TEST_F(BuiltInSkin, LeavesAUsersSkinIniAlone) {
    DeleteFileA("Skin.ini");
    SkinFile skin;
    skin.SetSkinFile("Skin.ini");
    ASSERT_TRUE(LoadBuiltInSkin(skin));
    EXPECT_FALSE(test::FileExists("Skin.ini"));  // nothing written

    const std::string mine = "[MAINSCREENINFO]\r\nMain=mine.gif\r\n; the user's own file\r\n";
    ASSERT_TRUE(test::WriteWholeFile("Skin.ini", mine));
    SkinFile again;
    again.SetSkinFile("Skin.ini");
    ASSERT_TRUE(LoadBuiltInSkin(again));
    EXPECT_EQ(again.ReadSkinValue("MAINSCREENINFO", "Main"), "home_on.gif");
    EXPECT_EQ(test::ReadWholeFile("Skin.ini"), mine);
}

TEST(ResourceExtract, WritesOverwritesAndReportsMissingResources) {
    const std::string path = "extracted.ini";
    ASSERT_TRUE(test::WriteWholeFile(path, std::string(100000, 'x')));
    ASSERT_TRUE(ExtractResourceToFile(path, "SKININI", "INI"));
    EXPECT_EQ(test::ReadWholeFile(path), test::ReadWholeFile(kSkinSource));
    EXPECT_FALSE(ExtractResourceToFile("missing.bin", "NO_SUCH_RESOURCE", "INI"));
    EXPECT_FALSE(test::FileExists("missing.bin"));
    EXPECT_FALSE(ExtractResourceToFile("Z:\\no\\such\\folder\\x.ini", "SKININI", "INI"));
    DeleteFileA(path.c_str());
}

TEST(ResourceExtract, TemporaryFileIsPrivateAndGoesAway) {
    std::string path;
    {
        TempResourceFile file("ANIMATION", "GIF");
        ASSERT_TRUE(file);
        path = file.Path();
        std::string bytes;
        ASSERT_TRUE(ReadResourceBytes("ANIMATION", "GIF", bytes));
        EXPECT_EQ(test::ReadWholeFile(path), bytes);
        char folder[MAX_PATH + 1] = {};
        GetTempPathA(sizeof(folder), folder);
        EXPECT_EQ(path.compare(0, strlen(folder), folder), 0) << path;
        TempResourceFile second("ANIMATION", "GIF");
        EXPECT_NE(second.Path(), path);
    }
    EXPECT_FALSE(test::FileExists(path));
    TempResourceFile none("NO_SUCH_RESOURCE", "GIF");
    EXPECT_FALSE(none);
}

}  // namespace
}  // namespace qm

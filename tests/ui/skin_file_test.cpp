#include "ui/skin_file.h"

#include <gtest/gtest.h>

#include "ui/skin_image_name.h"

namespace qm {
namespace {

SkinFile SkinFromText(const std::string& text) {
    SkinFile skin;
    skin.SetSkinFile("Skin.ini");
    skin.UseSkinText(text);
    return skin;
}

TEST(SkinNumberedSection, GapLosesTheHighestEntries) {
    // Keys 1, 2, 4: N = 3, "3" is missing, "4" is never read.
    SkinFile skin = SkinFromText("[B]\n1=one\n2=two\n4=four\n");
    auto entries = skin.ReadNumberedSection("b");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].key, 1);
    EXPECT_EQ(entries[0].value, "one");
    EXPECT_EQ(entries[1].key, 2);
}

TEST(SkinNumberedSection, EmptyValuesAreSkippedAndOrderIsByNumber) {
    SkinFile skin = SkinFromText("[B]\n3=three\n1=\n2=two\n");
    auto entries = skin.ReadNumberedSection("B");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].key, 2);
    EXPECT_EQ(entries[1].key, 3);
    EXPECT_TRUE(skin.ReadNumberedSection("missing").empty());
    std::vector<std::string> keys{"stale"};
    EXPECT_FALSE(skin.ReadSkinKeys("missing", keys));
    EXPECT_TRUE(keys.empty());
    EXPECT_TRUE(skin.ReadSkinKeys("b", keys));
    EXPECT_EQ(keys, (std::vector<std::string>{"3", "1", "2"}));
}

TEST(SkinValues, SpacesAroundEqualsAndCaseOfNames) {
    SkinFile skin = SkinFromText("[ScanScreenAnimation]\r\nDIMENSION = 225,138,349,136\r\n");
    EXPECT_EQ(skin.ReadSkinValue("SCANSCREENANIMATION", "dimension"), "225,138,349,136");
    EXPECT_EQ(skin.ReadSkinValue("SCANSCREENANIMATION", "Other", "fallback"), "fallback");
    std::string rest = skin.ReadSkinValue("scanscreenanimation", "Dimension");
    EXPECT_EQ(ParseRect(rest), (SkinRect{225, 138, 574, 274}));
}

TEST(SkinFields, LastFieldIsNotConsumed) {
    std::string rest = "a, b ,c";
    EXPECT_EQ(NextField(rest), "a");
    EXPECT_EQ(rest, "b ,c");
    EXPECT_EQ(NextField(rest), "b ");  // the space before the comma stays
    EXPECT_EQ(NextField(rest), "c");
    EXPECT_EQ(NextField(rest), "c");
    EXPECT_EQ(rest, "c");
    std::string empty;
    EXPECT_EQ(NextField(empty), "");
}

TEST(SkinFields, Kinds) {
    EXPECT_TRUE(FieldIsTrue("TRUE"));
    EXPECT_TRUE(FieldIsTrue("Trash"));
    EXPECT_FALSE(FieldIsTrue("true"));
    EXPECT_FALSE(FieldIsTrue("FALSE"));
    EXPECT_FALSE(FieldIsTrue(""));
    EXPECT_EQ(FieldToInt("-12"), -12);
    EXPECT_EQ(FieldToInt("12px"), 12);
    EXPECT_EQ(FieldToInt("x1"), 0);
    EXPECT_EQ(FieldToColour("0l"), 0u);
    EXPECT_EQ(FieldToColour("255"), 255u);
}

TEST(SkinLines, ButtonWithAndWithoutFlag) {
    SkinButtonLine b = ParseButtonLine("BUTTON_SCAN,16,302,150,150,TRUE");
    EXPECT_EQ(b.name, "BUTTON_SCAN");
    EXPECT_EQ(b.rect, (SkinRect{16, 302, 166, 452}));
    EXPECT_TRUE(b.checkBox);
    // No flag: the flag is read from the unconsumed rest, the rectangle's last field.
    b = ParseButtonLine("BUTTON_X,1,2,3,4");
    EXPECT_EQ(b.rect, (SkinRect{1, 2, 4, 6}));
    EXPECT_FALSE(b.checkBox);
}

TEST(SkinLines, ButtonWordingIsTheRestOfTheLine) {
    SkinButtonLine b = ParseButtonLine("BUTTON_EXIT,666,106,24,24,FALSE, Close");
    EXPECT_EQ(b.rect, (SkinRect{666, 106, 690, 130}));
    EXPECT_FALSE(b.checkBox);
    EXPECT_EQ(b.wording, "Close");
    b = ParseButtonLine("BUTTON_SCAN,16,302,150,150,TRUE,Start scan|Stop scan, now");
    EXPECT_TRUE(b.checkBox);
    EXPECT_EQ(b.wording, "Start scan|Stop scan, now");
    EXPECT_EQ(ParseButtonLine("BUTTON_SCAN,16,302,150,150,TRUE").wording, "");
    EXPECT_EQ(ParseButtonLine("BUTTON_X,1,2,3,4").wording, "");
}

TEST(SkinLines, PanelTitleIsTheRestAfterTheRectangle) {
    SkinPanelLine p = ParsePanelLine("SUBMAIN_MAIN,a.gif,b.gif,c.gif,d.gif,223,137,349,219,Scan areas, all");
    EXPECT_EQ(p.rect, (SkinRect{223, 137, 572, 356}));
    EXPECT_EQ(p.wording, "Scan areas, all");
    EXPECT_EQ(ParsePanelLine("SUBMAIN_MAIN,a.gif,b.gif,c.gif,d.gif,223,137,349,219").wording, "");
    EXPECT_EQ(ParsePanelLine("SUBMAIN_MAIN,a.gif,b.gif,c.gif,d.gif,223,137").wording, "");
}

TEST(SkinLines, ReadableControlNames) {
    EXPECT_EQ(ReadableControlName("BUTTON_START_EVERY"), "Start every");
    EXPECT_EQ(ReadableControlName("BUTTON_OK"), "Ok");
    EXPECT_EQ(ReadableControlName("PLAIN"), "Plain");
    EXPECT_EQ(ReadableControlName(""), "");
}

TEST(SkinLines, TextLabelWithAndWithoutTrailingComma) {
    SkinTextLine t = ParseTextLine("PROGRESS_TEXT_COM,Arial,TRUE,FALSE,-10,0l,180,30,90,20,");
    EXPECT_EQ(t.name, "PROGRESS_TEXT_COM");
    EXPECT_EQ(t.face, "Arial");
    EXPECT_TRUE(t.bold);
    EXPECT_TRUE(t.ItalicWhenFalse());
    EXPECT_FALSE(t.ItalicWhenTrue());
    EXPECT_EQ(t.height, -10);
    EXPECT_EQ(t.colour, 0u);
    EXPECT_EQ(t.rect, (SkinRect{180, 30, 270, 50}));
    EXPECT_EQ(t.text, "");
    // No trailing comma: the rectangle's last number is also the initial text.
    t = ParseTextLine("EDIT_SCAN_PERIOD,Arial,TRUE,FALSE,-12,0l,110,102,16,15");
    EXPECT_EQ(t.rect, (SkinRect{110, 102, 126, 117}));
    EXPECT_EQ(t.text, "15");
    t = ParseTextLine("EDIT_SCAN_PERIOD,Arial,FALSE,TRUE,-12,255,110,102,16,15,8");
    EXPECT_FALSE(t.bold);
    EXPECT_TRUE(t.ItalicWhenTrue());
    EXPECT_EQ(t.colour, 255u);
    EXPECT_EQ(t.text, "8");
    EXPECT_EQ(t.wording, "");
}

TEST(SkinLines, EditBoxWordingIsTheRestAfterItsInitialText) {
    SkinTextLine t = ParseTextLine("EDIT_SCAN_PERIOD,Arial,TRUE,FALSE,-12,0l,110,102,44,16,8,Minutes, between scans ");
    EXPECT_EQ(t.rect, (SkinRect{110, 102, 154, 118}));
    EXPECT_EQ(t.text, "8");
    EXPECT_EQ(t.wording, "Minutes, between scans");
    t = ParseTextLine("EDIT_BAKUP_COUNT,Arial,TRUE,FALSE,-12,0l,276,130,40,17,,Exports kept:");
    EXPECT_EQ(t.rect, (SkinRect{276, 130, 316, 147}));
    EXPECT_EQ(t.text, "");
    EXPECT_EQ(t.wording, "Exports kept:");
    EXPECT_EQ(ParseTextLine("TEXT_X,Arial,TRUE,FALSE,-12,0l,1,2,3,4,").wording, "");
}

TEST(SkinLines, PanelKeepsSpaceBeforeCommaInImageName) {
    SkinPanelLine p = ParsePanelLine(
        "SUBMAIN_ADVANCED,ADVANCED-SETTINGS_unchk.gif,ADVANCED-SETTINGS_chk.gif ,"
        "ADVANCED-SETTINGS_chk.gif,ADVANCED-SETTINGS_unchk.gif,223,137,349,219");
    EXPECT_EQ(p.name, "SUBMAIN_ADVANCED");
    EXPECT_EQ(p.images[1], "ADVANCED-SETTINGS_chk.gif ");
    EXPECT_EQ(ImageResourceName(p.images[1]), "ADVANCED-SETTINGS_CHK");
    EXPECT_EQ(p.images[3], "ADVANCED-SETTINGS_unchk.gif");
    EXPECT_EQ(p.rect, (SkinRect{223, 137, 572, 356}));
}

TEST(SkinLines, ListColumns) {
    SkinListLine l = ParseListLine("13,62,324,111,3,Type,162,Scanned,81,Bug(s),81");
    EXPECT_EQ(l.rect, (SkinRect{13, 62, 337, 173}));
    ASSERT_EQ(l.columns.size(), 3u);
    EXPECT_EQ(l.columns[0].title, "Type");
    EXPECT_EQ(l.columns[0].width, 162);
    EXPECT_EQ(l.columns[2].title, "Bug(s)");
    EXPECT_EQ(l.columns[2].width, 81);
    // A line promising more columns than it has repeats its last field.
    l = ParseListLine("0,0,10,10,2,Delete,40");
    ASSERT_EQ(l.columns.size(), 2u);
    EXPECT_EQ(l.columns[1].title, "40");
    EXPECT_EQ(l.columns[1].width, 40);
    EXPECT_EQ(l.wording, "");
    // After the last column: the list's name.
    l = ParseListLine("0,0,349,150,2,Delete,50,FileName,295, Ignored entries, all");
    ASSERT_EQ(l.columns.size(), 2u);
    EXPECT_EQ(l.columns[1].width, 295);
    EXPECT_EQ(l.wording, "Ignored entries, all");
    EXPECT_EQ(ParseListLine("13,62,324,111,3,Type,162,Scanned,81,Bug(s),81").wording, "");
}

TEST(SkinImageName, ResourceNameMapping) {
    EXPECT_EQ(ImageResourceName("home_unchk.gif"), "HOME_UNCHK");
    EXPECT_EQ(ImageResourceName("Mask.bmp"), "MASK");
    EXPECT_EQ(ImageResourceName("ADVANCED-SETTINGS_chk.gif "), "ADVANCED-SETTINGS_CHK");
    EXPECT_EQ(ImageResourceName("C:\\Program Files\\Quillmere\\Autoscan_disabled_chked.gif"),
              "AUTOSCAN_DISABLED_CHKED");
    EXPECT_EQ(ImageResourceName("C:\\dir.v2\\result"), "RESULT");
    EXPECT_EQ(ImageResourceName("archive.tar.gz"), "ARCHIVE.TAR");
    EXPECT_EQ(ImageResourceName("scan_complete-roll_over.gif"), "SCAN_COMPLETE-ROLL_OVER");
}

TEST(SkinDirectory, WindowsPaths) {
    const std::string cwd = "C:\\Program Files\\Quillmere";
    EXPECT_EQ(SkinDirectoryIn(cwd, "Skin.ini", '\\'), "C:\\Program Files\\Quillmere\\");
    EXPECT_EQ(SkinDirectoryIn("C:\\", "Skin.ini", '\\'), "C:\\");
    EXPECT_EQ(SkinDirectoryIn(cwd, "skins\\blue\\Skin.ini", '\\'), "C:\\Program Files\\Quillmere\\skins\\blue\\");
    EXPECT_EQ(SkinDirectoryIn(cwd, "..\\other/./Skin.ini", '\\'), "C:\\Program Files\\other\\");
    EXPECT_EQ(SkinDirectoryIn(cwd, "D:\\Skins\\Skin.ini", '\\'), "D:\\Skins\\");
    EXPECT_EQ(SkinDirectoryIn(cwd, "\\Skins\\Skin.ini", '\\'), "C:\\Skins\\");
    EXPECT_EQ(SkinDirectoryIn(cwd, "\\\\server\\share\\s\\Skin.ini", '\\'), "\\\\server\\share\\s\\");
    EXPECT_EQ(SkinDirectoryIn(cwd, "..\\..\\..\\Skin.ini", '\\'), "C:\\");
    EXPECT_EQ(SkinDirectoryIn("/home/user", "Skin.ini", '/'), "/home/user/");
}

TEST(SkinDirectory, ImagesAreLookedForBesideTheSkin) {
    SkinFile skin;
    skin.SetSkinFile("Skin.ini");
    const std::string dir = SkinDirectory("Skin.ini");
    EXPECT_EQ(dir, CurrentDirectory() + kPathSeparator);
    EXPECT_EQ(skin.SkinPath(), dir + "Skin.ini");
    EXPECT_EQ(skin.ImagePath("home_on.gif"), dir + "home_on.gif");
    EXPECT_FALSE(skin.IsLoaded());
}

}  // namespace
}  // namespace qm

#include <gtest/gtest.h>

#include "tests/ui/screen_capture_win32.h"
#include "ui/skin_file.h"
#include "ui/skin_image_name.h"
#include "ui/skin_image_win32.h"
#include "ui/skin_resource_win32.h"

namespace qm {
namespace {

class SkinImage : public ::testing::Test {
protected:
    test::OleScope ole_;
};

// A 24-bit BMP of `width` x `height` in one colour (0x00RRGGBB).
std::string SolidBmp(int width, int height, std::uint32_t colour) {
    test::Capture c;
    c.width = width;
    c.height = height;
    c.pixels.assign(static_cast<std::size_t>(width) * height, colour);
    const std::string path = "solid.tmp.bmp";
    test::SaveCapture(c, path);
    std::string bytes = test::ReadWholeFile(path);
    DeleteFileA(path.c_str());
    return bytes;
}

TEST_F(SkinImage, EveryImageOfTheDefaultSkinLoadsFromResources) {
    SkinFile skin;
    skin.SetSkinFile("Skin.ini");
    ASSERT_TRUE(LoadBuiltInSkin(skin));
    struct Expect {
        std::string field;
        LONG width, height;
    };
    std::vector<Expect> expected;
    for (const char* key : {"Main", "Mask", "Over", "Down", "Disabled"})
        expected.push_back({skin.ReadSkinValue("MAINSCREENINFO", key), 708, 500});
    for (const SkinEntry& e : skin.ReadNumberedSection("SUBMAINSCREENINFO"))
        for (const std::string& image : ParsePanelLine(e.value).images) expected.push_back({image, 349, 219});
    for (const char* info : {"SCREENERRORSCANINFO", "SCREENSCANCOMPLETEINFO", "SCREENERRORFIXINGINFO", "SCREENFIXCOMPLETEINFO"})
        for (const std::string& image : ParsePanelLine(skin.ReadSkinValue(info, "1")).images)
            expected.push_back({image, 349, 211});
    ASSERT_EQ(expected.size(), 49u);
    for (const Expect& e : expected) {
        SkinBitmap bitmap;
        const SIZE size = LoadSkinImage(skin.ImagePath(e.field), bitmap);
        EXPECT_TRUE(bitmap) << e.field;
        EXPECT_EQ(size.cx, e.width) << e.field;
        EXPECT_EQ(size.cy, e.height) << e.field;
    }
}

TEST_F(SkinImage, AFileBesideTheSkinWinsOverTheResource) {
    ASSERT_TRUE(test::WriteWholeFile("result.gif", SolidBmp(5, 3, 0x00336699)));  // a BMP under a .gif name
    SkinBitmap bitmap;
    SIZE size = LoadSkinImage(SkinDirectory("Skin.ini") + "result.gif", bitmap);
    EXPECT_EQ(size.cx, 5);
    EXPECT_EQ(size.cy, 3);
    test::Capture pixels = test::CaptureBitmap(bitmap.Get());
    EXPECT_EQ(pixels.At(4, 2), 0x336699u);
    DeleteFileA("result.gif");
    // Gone from disk: the resource of the derived name is used.
    size = LoadSkinImage(SkinDirectory("Skin.ini") + "result.gif", bitmap);
    EXPECT_EQ(size.cx, 349);
}

TEST_F(SkinImage, MissingOrUnreadableImagesLeaveTheBitmapEmpty) {
    SkinBitmap bitmap;
    ASSERT_EQ(LoadSkinImage("home_on.gif", bitmap).cx, 708);
    SIZE size = LoadSkinImage("no_such_image.gif", bitmap);
    EXPECT_EQ(size.cx, 0);
    EXPECT_FALSE(bitmap);
    ASSERT_TRUE(test::WriteWholeFile("garbage.gif", "this is not a picture"));
    size = LoadSkinImage("garbage.gif", bitmap);
    EXPECT_EQ(size.cx, 0);
    EXPECT_FALSE(bitmap);
    DeleteFileA("garbage.gif");
}

TEST_F(SkinImage, CopyImageRectCutsAndDrawSkinImagePlaces) {
    SkinBitmap main;
    ASSERT_EQ(LoadSkinImage("home_on.gif", main).cx, 708);
    const test::Capture whole = test::CaptureBitmap(main.Get());
    const WindowDc screenDc(nullptr);
    HDC screen = screenDc.Get();
    SkinBitmap piece;
    const RECT scan{16, 302, 166, 452};  // BUTTON_SCAN
    CopyImageRect(screen, piece, main.Get(), scan);
    ASSERT_TRUE(piece);
    EXPECT_EQ(piece.Size().cx, 150);
    EXPECT_EQ(piece.Size().cy, 150);
    const test::Capture cut = test::CaptureBitmap(piece.Get());
    for (int y = 0; y < 150; y += 7)
        for (int x = 0; x < 150; x += 7) ASSERT_EQ(cut.At(x, y), whole.At(16 + x, 302 + y)) << x << "," << y;

    // A null source leaves the target as it was.
    CopyImageRect(screen, piece, nullptr, scan);
    EXPECT_EQ(piece.Size().cx, 150);
    // Cutting an image out of itself replaces it safely.
    CopyImageRect(screen, piece, piece.Get(), RECT{10, 20, 40, 30});
    EXPECT_EQ(piece.Size().cx, 30);
    EXPECT_EQ(test::CaptureBitmap(piece.Get()).At(0, 0), whole.At(26, 322));

    for (bool stretch : {false, true}) {
        MemoryDc target(screen);
        GdiObject<HBITMAP> canvas(CreateCompatibleBitmap(screen, 200, 200));
        target.Select(canvas.Get());
        PatBlt(target.Get(), 0, 0, 200, 200, BLACKNESS);
        DrawSkinImage(target.Get(), main.Get(), RECT{50, 60, 80, 70}, stretch);
        DrawSkinImage(target.Get(), nullptr, RECT{0, 0, 200, 200}, stretch);  // does nothing
        const test::Capture drawn = test::CaptureDc(target.Get(), 0, 0, 200, 200);
        EXPECT_EQ(drawn.At(50, 60), whole.At(0, 0) & 0xFFFFFF);
        EXPECT_EQ(drawn.At(79, 69), whole.At(29, 9));
        EXPECT_EQ(drawn.At(80, 69), 0u);
        EXPECT_EQ(drawn.At(49, 60), 0u);
    }
}

}  // namespace
}  // namespace qm

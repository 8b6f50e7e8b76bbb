#include <gtest/gtest.h>

#include <utility>

#include "resources/resource.h"
#include "tests/ui/screen_capture_win32.h"
#include "ui/animation_host_win32.h"
#include "ui/skin_resource_win32.h"

namespace qm {
namespace {

CAnimationHost* g_host = nullptr;

// Stands for the main screen: forwards the play and stop messages.
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_host != nullptr && HandleAnimationMessage(*g_host, message)) return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class AnimationHost : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = "QmTestAnimationOwner";
        RegisterClassA(&wc);
        owner_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "QmTestAnimationOwner", "", WS_POPUP, kLeft, kTop, 660, 110,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        g_host = &host_;
        skin_.SetSkinFile("Skin.ini");
    }
    void TearDown() override {
        host_.Destroy();
        g_host = nullptr;
        if (owner_ != nullptr) DestroyWindow(owner_);
    }
    test::Capture Shot() {
        // The default skin's rectangle: 543,19 93x70 in the owner.
        return test::CaptureScreen(kLeft + 543, kTop + 19, 93, 70);
    }

    static constexpr int kLeft = 60;
    static constexpr int kTop = 50;
    test::OleScope ole_;
    CAnimationHost host_;
    SkinFile skin_;
    HWND owner_ = nullptr;
};

TEST(AnimationFrame, AFrameLargerThanItsRoomIsDrawnSmallerInItsProportions) {
    auto fit = [](LONG fw, LONG fh, LONG rw, LONG rh) {
        const SIZE s = FitFrame(SIZE{fw, fh}, SIZE{rw, rh});
        return std::make_pair(s.cx, s.cy);
    };
    EXPECT_EQ(fit(93, 70, 124, 73), std::make_pair(93L, 70L)) << "fits: its own size";
    EXPECT_EQ(fit(93, 70, 93, 70), std::make_pair(93L, 70L));
    EXPECT_EQ(fit(93, 70, 60, 200), std::make_pair(60L, 45L)) << "too wide";
    EXPECT_EQ(fit(93, 70, 300, 35), std::make_pair(46L, 35L)) << "too high";
    EXPECT_EQ(fit(93, 70, 1, 1), std::make_pair(1L, 1L));
    EXPECT_EQ(fit(93, 70, 0, 70), std::make_pair(0L, 0L)) << "no room";
    EXPECT_EQ(fit(0, 0, 93, 70), std::make_pair(0L, 0L)) << "no frame";
}

TEST_F(AnimationHost, PlayAndStopBeforeTheControlExistDoNothing) {
    ASSERT_NE(owner_, nullptr);
    EXPECT_EQ(SendMessageA(owner_, kPlayAnimationMessage, 1, 2), 0);
    EXPECT_FALSE(host_.IsPlaying());
    EXPECT_EQ(SendMessageA(owner_, kStopAnimationMessage, 0, 0), 0);
    EXPECT_FALSE(host_.IsPlaying());
    EXPECT_EQ(host_.Window(), nullptr);
    EXPECT_EQ(kPlayAnimationMessage, 0x40Bu);
    EXPECT_EQ(kStopAnimationMessage, 0x40Au);
}

TEST_F(AnimationHost, StartsFromTheSkinWithoutWritingFiles) {
    ASSERT_TRUE(test::WriteWholeFile("skin3.swf", "the user's file"));
    ASSERT_TRUE(LoadBuiltInSkin(skin_));
    ASSERT_TRUE(StartSkinAnimation(host_, skin_, "MAINSCREENANIMATION", owner_, kMainAnimationWindowName,
                                   IDC_MAIN_ANIMATION));
    ASSERT_NE(host_.Window(), nullptr);
    EXPECT_EQ(GetDlgCtrlID(host_.Window()), IDC_MAIN_ANIMATION);
    EXPECT_EQ(GetParent(host_.Window()), owner_);
    char name[32] = {};
    GetWindowTextA(host_.Window(), name, sizeof(name));
    EXPECT_STREQ(name, "SHOCKWAVE");
    RECT r;
    GetWindowRect(host_.Window(), &r);
    EXPECT_EQ(r.left, kLeft + 543);
    EXPECT_EQ(r.top, kTop + 19);
    EXPECT_EQ(r.right - r.left, 93);
    EXPECT_EQ(r.bottom - r.top, 70);
    EXPECT_EQ(host_.FrameCount(), 24);
    EXPECT_TRUE(host_.IsPlaying());
    EXPECT_EQ(test::ReadWholeFile("skin3.swf"), "the user's file");
    EXPECT_FALSE(test::FileExists("Skin.ini"));
    EXPECT_FALSE(test::FileExists("animation.gif"));
    DeleteFileA("skin3.swf");
    // A second Create on the same host is refused.
    EXPECT_FALSE(host_.Create("again", WS_CHILD, RECT{0, 0, 1, 1}, owner_, 1));
}

TEST_F(AnimationHost, FramesAdvanceOnScreenUntilStopped) {
    if (!test::DisplayAvailable()) GTEST_SKIP() << "no display (DISPLAY is not set)";
    ASSERT_TRUE(LoadBuiltInSkin(skin_));
    ShowWindow(owner_, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(StartSkinAnimation(host_, skin_, "MAINSCREENANIMATION", owner_, kMainAnimationWindowName,
                                   IDC_MAIN_ANIMATION));
    test::PumpMessages(400);
    const int frameA = host_.CurrentFrame();
    const test::Capture a = Shot();
    test::PumpMessages(400);
    const test::Capture b = Shot();
    EXPECT_NE(host_.CurrentFrame(), frameA);
    ASSERT_EQ(a.width, 93);
    EXPECT_FALSE(a == b) << "the animation did not change on screen";
    // Something was drawn: not the owner's grey all over.
    std::size_t grey = 0;
    for (std::uint32_t p : a.pixels) grey += (p & 0xFFFFFF) == 0x808080;
    EXPECT_LT(grey, a.pixels.size() / 2);
    test::SaveCapture(a, "animation_frame.bmp");

    EXPECT_EQ(SendMessageA(owner_, kStopAnimationMessage, 0, 0), 0);
    EXPECT_FALSE(host_.IsPlaying());
    test::PumpMessages(200);
    const int held = host_.CurrentFrame();
    const test::Capture c = Shot();
    test::PumpMessages(400);
    EXPECT_EQ(host_.CurrentFrame(), held);
    EXPECT_TRUE(c == Shot()) << "the animation moved while stopped";

    EXPECT_EQ(SendMessageA(owner_, kPlayAnimationMessage, 0, 0), 0);
    EXPECT_TRUE(host_.IsPlaying());
    test::PumpMessages(400);
    EXPECT_NE(host_.CurrentFrame(), held);
    EXPECT_FALSE(c == Shot());
}

TEST_F(AnimationHost, MissingMovieShowsNothingAndDestroyStopsEverything) {
    ASSERT_TRUE(host_.Create("SHOCKWAVE2", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 40}, owner_, IDC_SCAN_ANIMATION));
    EXPECT_FALSE(host_.SetMovie("no_such_movie.gif"));
    EXPECT_EQ(host_.FrameCount(), 0);
    host_.Play();
    test::PumpMessages(200);
    EXPECT_EQ(host_.CurrentFrame(), 0);
    // The film strip frame centred in a larger control, with an odd frame width.
    EXPECT_TRUE(host_.SetMovie("animation.gif", 1000));
    EXPECT_EQ(host_.FrameCount(), 2);
    EXPECT_TRUE(host_.SetMovie("animation.gif", 0));
    EXPECT_EQ(host_.FrameCount(), 1);
    host_.Destroy();
    EXPECT_EQ(host_.Window(), nullptr);
    EXPECT_FALSE(host_.IsPlaying());
    host_.Play();  // nothing: no control
    EXPECT_FALSE(host_.IsPlaying());
}

}  // namespace
}  // namespace qm

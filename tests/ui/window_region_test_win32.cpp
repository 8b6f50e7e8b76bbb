#include <gtest/gtest.h>

#include "tests/ui/screen_capture_win32.h"
#include "ui/skin_image_win32.h"
#include "ui/window_region_win32.h"

namespace qm {
namespace {

// A bitmap from top-down 0x00RRGGBB pixels.
GdiObject<HBITMAP> MakeBitmap(int width, int height, const std::vector<std::uint32_t>& pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits != nullptr) memcpy(bits, pixels.data(), pixels.size() * 4);
    return bitmap;
}

GdiRegion WindowRegion(HBITMAP mask, std::size_t batch = kRegionBatchSize) {
    return RegionFromMask(mask, kMaskTransparentColour, kMaskTolerance, batch);
}

TEST(RegionFromMask, AllWhiteIsEmptyButNotNull) {
    auto mask = MakeBitmap(20, 10, std::vector<std::uint32_t>(200, 0xFFFFFF));
    GdiRegion region = WindowRegion(mask.Get());
    ASSERT_TRUE(region);
    RECT box;
    EXPECT_EQ(GetRgnBox(region.Get(), &box), NULLREGION);
}

TEST(RegionFromMask, NoWhiteIsTheFullRectangle) {
    auto mask = MakeBitmap(20, 10, std::vector<std::uint32_t>(200, 0x000000));
    GdiRegion region = WindowRegion(mask.Get());
    GdiRegion full(CreateRectRgn(0, 0, 20, 10));
    ASSERT_TRUE(region);
    EXPECT_TRUE(EqualRgn(region.Get(), full.Get()));
    EXPECT_FALSE(RegionFromMask(nullptr, kMaskTransparentColour, kMaskTolerance));
}

TEST(RegionFromMask, NearWhiteIsOpaqueAndRowsAreTopDown) {
    std::vector<std::uint32_t> pixels(4 * 3, 0xFFFFFF);
    pixels[1] = 0xFEFFFF;  // (1, 0): red 254
    pixels[2 * 4 + 3] = 0x000000;  // (3, 2)
    auto mask = MakeBitmap(4, 3, pixels);
    GdiRegion region = WindowRegion(mask.Get());
    ASSERT_TRUE(region);
    EXPECT_TRUE(PtInRegion(region.Get(), 1, 0));
    EXPECT_TRUE(PtInRegion(region.Get(), 3, 2));
    EXPECT_FALSE(PtInRegion(region.Get(), 0, 0));
    EXPECT_FALSE(PtInRegion(region.Get(), 1, 2));
    EXPECT_FALSE(PtInRegion(region.Get(), 3, 0));
}

TEST(RegionFromMask, BatchesOf2000GiveTheSameRegionAsOneBatch) {
    // 700 x 40 alternating: 14000 runs, seven batches.
    std::vector<std::uint32_t> pixels(700 * 40, 0xFFFFFF);
    for (int y = 0; y < 40; ++y)
        for (int x = y % 2; x < 700; x += 2) pixels[static_cast<std::size_t>(y) * 700 + x] = 0x204060;
    auto mask = MakeBitmap(700, 40, pixels);
    GdiRegion batched = WindowRegion(mask.Get());
    GdiRegion single = WindowRegion(mask.Get(), 0);
    GdiRegion small = WindowRegion(mask.Get(), 7);
    ASSERT_TRUE(batched);
    ASSERT_TRUE(single);
    EXPECT_TRUE(EqualRgn(batched.Get(), single.Get()));
    EXPECT_TRUE(EqualRgn(small.Get(), single.Get()));
    for (int y : {0, 13, 39})
        for (int x : {0, 1, 350, 351, 698, 699})
            EXPECT_EQ(PtInRegion(batched.Get(), x, y) != 0, (x + y) % 2 == 0) << x << "," << y;
}

// ---------------------------------------------------------------- the shaped main window

constexpr COLORREF kBackdrop = RGB(255, 0, 255);
constexpr std::uint32_t kBackdropPixel = 0xFF00FF;

LRESULT CALLBACK ImageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        auto* image = reinterpret_cast<SkinBitmap*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        RECT client;
        GetClientRect(hwnd, &client);
        if (image != nullptr) DrawSkinImage(dc, image->Get(), client);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Topmost, so that windows of other test programs sharing the display stay below.
class Window {
public:
    Window(const char* cls, int x, int y, int w, int h)
        : hwnd_(CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, cls, "", WS_POPUP, x, y, w, h, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr)) {}
    ~Window() {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

TEST(ShapedWindow, DefaultMaskCutsTheOutsideAway) {
    if (!test::DisplayAvailable()) GTEST_SKIP() << "no display (DISPLAY is not set)";
    test::OleScope ole;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    GdiBrush magenta(CreateSolidBrush(kBackdrop));
    WNDCLASSA backdropClass{};
    backdropClass.lpfnWndProc = DefWindowProcA;
    backdropClass.hInstance = instance;
    backdropClass.hbrBackground = magenta.Get();
    backdropClass.lpszClassName = "QmTestBackdrop";
    RegisterClassA(&backdropClass);
    WNDCLASSA imageClass{};
    imageClass.lpfnWndProc = ImageWindowProc;
    imageClass.hInstance = instance;
    imageClass.lpszClassName = "QmTestShaped";
    RegisterClassA(&imageClass);

    SkinBitmap main;
    SkinBitmap mask;
    ASSERT_EQ(LoadSkinImage("home_on.gif", main).cx, 708);
    const SIZE size = LoadSkinImage("Mask.bmp", mask);
    ASSERT_EQ(size.cx, 708);
    ASSERT_EQ(size.cy, 500);

    const int left = 40;
    const int top = 30;
    Window backdrop("QmTestBackdrop", 0, 0, 800, 600);
    Window shaped("QmTestShaped", left, top, size.cx, size.cy);
    ASSERT_NE(backdrop.Get(), nullptr) << "error " << GetLastError();
    ASSERT_NE(shaped.Get(), nullptr);
    SetWindowLongPtrA(shaped.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&main));
    ShowWindow(backdrop.Get(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(ApplyWindowRegion(shaped.Get(), mask.Get()));
    ShowWindow(shaped.Get(), SW_SHOWNOACTIVATE);
    SetWindowPos(shaped.Get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    UpdateWindow(backdrop.Get());
    UpdateWindow(shaped.Get());
    test::PumpMessages(1500);

    const test::Capture shot = test::CaptureScreen(left, top, size.cx, size.cy);
    ASSERT_EQ(shot.width, size.cx);
    test::SaveCapture(shot, "shaped_window.bmp");
    const test::Capture maskPixels = test::CaptureBitmap(mask.Get());
    const test::Capture image = test::CaptureBitmap(main.Get());

    // Every white mask pixel shows the backdrop; every other one shows the image.
    std::size_t cut = 0;
    std::size_t wrong = 0;
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            const bool transparent = maskPixels.At(x, y) == 0xFFFFFF;
            cut += transparent;
            const std::uint32_t expected = transparent ? kBackdropPixel : image.At(x, y);
            if (shot.At(x, y) != expected && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << shot.At(x, y)
                              << ", expected " << expected;
            }
        }
    }
    EXPECT_GT(cut, 5000u);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(shot.At(0, 0), kBackdropPixel);
    EXPECT_EQ(shot.At(size.cx - 1, 20), kBackdropPixel);

    RECT box;
    const GdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetWindowRgn(shaped.Get(), region.Get()), COMPLEXREGION);
    GetRgnBox(region.Get(), &box);
    EXPECT_EQ(box.right, size.cx);
    EXPECT_EQ(box.bottom, size.cy);
}

}  // namespace
}  // namespace qm

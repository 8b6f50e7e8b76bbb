#include "ui/animation_host_win32.h"

#include "ui/skin_file.h"
#include "ui/skin_image_win32.h"

namespace qm {

namespace {

constexpr char kWindowClass[] = "QuillmereAnimationHost";
constexpr UINT_PTR kFrameTimer = 1;

}  // namespace

SIZE FitFrame(SIZE frame, SIZE room) {
    if (frame.cx <= 0 || frame.cy <= 0 || room.cx <= 0 || room.cy <= 0) return SIZE{0, 0};
    if (frame.cx <= room.cx && frame.cy <= room.cy) return frame;
    // The smaller of the two scales, in whole pixels, at least one.
    SIZE fitted{room.cx, static_cast<LONG>(static_cast<long long>(frame.cy) * room.cx / frame.cx)};
    if (fitted.cy > room.cy) fitted = SIZE{static_cast<LONG>(static_cast<long long>(frame.cx) * room.cy / frame.cy), room.cy};
    if (fitted.cx < 1) fitted.cx = 1;
    if (fitted.cy < 1) fitted.cy = 1;
    return fitted;
}

CAnimationHost::~CAnimationHost() { Destroy(); }

bool CAnimationHost::Create(const char* windowName, DWORD style, const RECT& rect, HWND parent, UINT id) {
    if (Window() != nullptr) return false;
    return CreateAs(kWindowClass, 0, windowName, style, rect, parent, id);
}

bool CAnimationHost::SetMovie(const std::string& imagePath, int frameWidth) {
    const SIZE size = LoadSkinImage(imagePath, strip_);
    frame_ = 0;
    if (!strip_ || size.cx <= 0 || size.cy <= 0) {
        frameCount_ = frameWidth_ = frameHeight_ = 0;
    } else {
        frameWidth_ = (frameWidth > 0 && frameWidth <= size.cx) ? frameWidth : size.cx;
        frameHeight_ = size.cy;
        frameCount_ = size.cx / frameWidth_;
    }
    if (Window() != nullptr) InvalidateRect(Window(), nullptr, FALSE);
    return frameCount_ > 0;
}

void CAnimationHost::Play() {
    if (Window() == nullptr) return;
    if (SetTimer(Window(), kFrameTimer, kAnimationFrameInterval, nullptr) != 0) playing_ = true;
}

void CAnimationHost::Stop() {
    if (Window() == nullptr) return;
    KillTimer(Window(), kFrameTimer);
    playing_ = false;
}

void CAnimationHost::Destroy() {
    if (Window() == nullptr) return;
    Stop();
    DestroyWindowNow();
}

void CAnimationHost::Advance() {
    if (frameCount_ <= 1) return;
    frame_ = (frame_ + 1) % frameCount_;
    InvalidateRect(Window(), nullptr, FALSE);
}

void CAnimationHost::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Window(), &ps);
    RECT client;
    GetClientRect(Window(), &client);
    // Centre the frame in the part of the control its parent shows (a skin
    // may give a rectangle reaching past the window's edge); what it does
    // not cover is filled with its corner colour.
    RECT shown = client;
    if (HWND parent = GetParent(Window())) {
        RECT parentClient;
        GetClientRect(parent, &parentClient);
        MapWindowPoints(parent, Window(), reinterpret_cast<POINT*>(&parentClient), 2);
        if (!IntersectRect(&shown, &client, &parentClient)) shown = client;
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // A frame larger than that part is drawn smaller, whole and in its
    // proportions, never cut off.
    const SIZE drawn = FitFrame(SIZE{frameWidth_, frameHeight_},
                                SIZE{shown.right - shown.left, shown.bottom - shown.top});
    const int x = shown.left + (shown.right - shown.left - drawn.cx) / 2;
    const int y = shown.top + (shown.bottom - shown.top - drawn.cy) / 2;
    COLORREF fill = RGB(0, 0, 0);
    if (frameCount_ > 0) {
        MemoryDc memory(dc);
        if (memory) {
            memory.Select(strip_.Get());
            fill = GetPixel(memory.Get(), frame_ * frameWidth_, 0);
            if (x > 0 || y > 0 || drawn.cx < width || drawn.cy < height) {
                GdiBrush brush(CreateSolidBrush(fill));
                FillRect(dc, &client, brush.Get());
            }
            if (drawn.cx == frameWidth_ && drawn.cy == frameHeight_) {
                BitBlt(dc, x, y, frameWidth_, frameHeight_, memory.Get(), frame_ * frameWidth_, 0, SRCCOPY);
            } else {
                const int mode = SetStretchBltMode(dc, HALFTONE);
                SetBrushOrgEx(dc, 0, 0, nullptr);
                StretchBlt(dc, x, y, drawn.cx, drawn.cy, memory.Get(), frame_ * frameWidth_, 0, frameWidth_,
                           frameHeight_, SRCCOPY);
                SetStretchBltMode(dc, mode);
            }
        }
    } else {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    EndPaint(Window(), &ps);
}

LRESULT CAnimationHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kFrameTimer) {
                Advance();
                return 0;
            }
            break;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case kPlayAnimationMessage:
        case kStopAnimationMessage:
            HandleAnimationMessage(*this, message);
            return 0;
        default:
            break;
    }
    return CWindowBase::HandleMessage(message, wParam, lParam);
}

void CAnimationHost::OnWindowGone() { playing_ = false; }

bool HandleAnimationMessage(CAnimationHost& host, UINT message) {
    if (message == kPlayAnimationMessage) {
        host.Play();
        return true;
    }
    if (message == kStopAnimationMessage) {
        host.Stop();
        return true;
    }
    return false;
}

bool StartSkinAnimation(CAnimationHost& host, const SkinFile& skin, const std::string& section,
                        HWND parent, const char* windowName, UINT id) {
    std::string rest = skin.ReadSkinValue(section, "DIMENSION");
    const SkinRect r = ParseRect(rest);
    if (!host.Create(windowName, WS_CHILD | WS_VISIBLE, RECT{r.left, r.top, r.right, r.bottom}, parent, id)) {
        return false;
    }
    host.SetMovie(skin.ImagePath(kDefaultAnimationImage), kDefaultAnimationFrameWidth);
    host.Play();
    return true;
}

}  // namespace qm

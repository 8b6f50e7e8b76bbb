#include "ui/animation_host_win32.h"

#include "ui/skin_file.h"
#include "ui/skin_image_win32.h"

namespace qm {

namespace {

constexpr char kWindowClass[] = "QuillmereAnimationHost";
constexpr UINT_PTR kFrameTimer = 1;

bool RegisterHostClass() {
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        wc.lpfnWndProc = DefWindowProcA;  // replaced per window in WM_NCCREATE
        return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

CAnimationHost::~CAnimationHost() { Destroy(); }

bool CAnimationHost::Create(const char* windowName, DWORD style, const RECT& rect, HWND parent, UINT id) {
    if (window_ != nullptr || !RegisterHostClass()) return false;
    HWND created = CreateWindowExA(0, kWindowClass, windowName, style, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (created == nullptr) return false;
    window_ = created;
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CAnimationHost::WindowProc));
    return true;
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
    if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
    return frameCount_ > 0;
}

void CAnimationHost::Play() {
    if (window_ == nullptr) return;
    if (SetTimer(window_, kFrameTimer, kAnimationFrameInterval, nullptr) != 0) playing_ = true;
}

void CAnimationHost::Stop() {
    if (window_ == nullptr) return;
    KillTimer(window_, kFrameTimer);
    playing_ = false;
}

void CAnimationHost::Destroy() {
    if (window_ == nullptr) return;
    HWND window = window_;
    Stop();
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    window_ = nullptr;
    DestroyWindow(window);
}

void CAnimationHost::Advance() {
    if (frameCount_ <= 1) return;
    frame_ = (frame_ + 1) % frameCount_;
    InvalidateRect(window_, nullptr, FALSE);
}

void CAnimationHost::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    RECT client;
    GetClientRect(window_, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // Centre the frame; what it does not cover is filled with its corner colour.
    const int x = (width - frameWidth_) / 2;
    const int y = (height - frameHeight_) / 2;
    COLORREF fill = RGB(0, 0, 0);
    if (frameCount_ > 0) {
        MemoryDc memory(dc);
        if (memory) {
            memory.Select(strip_.Get());
            fill = GetPixel(memory.Get(), frame_ * frameWidth_, 0);
            if (x > 0 || y > 0 || frameWidth_ < width || frameHeight_ < height) {
                GdiBrush brush(CreateSolidBrush(fill));
                FillRect(dc, &client, brush.Get());
            }
            BitBlt(dc, x, y, frameWidth_, frameHeight_, memory.Get(), frame_ * frameWidth_, 0, SRCCOPY);
        }
    } else {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    EndPaint(window_, &ps);
}

LRESULT CALLBACK CAnimationHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CAnimationHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr) {
        switch (message) {
            case WM_TIMER:
                if (wParam == kFrameTimer) {
                    self->Advance();
                    return 0;
                }
                break;
            case WM_PAINT:
                self->Paint();
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case kPlayAnimationMessage:
            case kStopAnimationMessage:
                HandleAnimationMessage(*self, message);
                return 0;
            case WM_NCDESTROY:
                self->window_ = nullptr;
                self->playing_ = false;
                break;
            default:
                break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

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

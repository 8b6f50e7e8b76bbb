#include "ui/window_base_win32.h"

namespace qm {

std::atomic<long> CWindowBase::caught_{0};

CWindowBase::~CWindowBase() { DestroyWindowNow(); }

bool CWindowBase::CreateAs(const char* className, DWORD exStyle, const char* title, DWORD style,
                           const RECT& rect, HWND parent, UINT id) {
    if (window_ != nullptr) return false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (!GetClassInfoA(instance, className, &existing)) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &CWindowBase::WindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = className;
        if (RegisterClassA(&wc) == 0) return false;
    }
    HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
    return CreateWindowExA(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, menu, instance, this) != nullptr &&
           window_ != nullptr;
}

void CWindowBase::DestroyWindowNow() {
    if (window_ != nullptr) ::DestroyWindow(window_);
}

LRESULT CWindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK CWindowBase::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWindowBase* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<CWindowBase*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self != nullptr) self->window_ = window;
    } else {
        self = reinterpret_cast<CWindowBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ++caught_;
        result = DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        try {
            self->OnWindowGone();
        } catch (...) {
            ++caught_;
        }
    }
    return result;
}

LRESULT CWindowBase::GuardedSubclassCall(SUBCLASSPROC proc, HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    try {
        return proc(window, message, wParam, lParam, id, data);
    } catch (...) {
        ++caught_;
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

void CWindowBase::DragTopLevelWindow(LPARAM lParam) {
    POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(window_, &p);
    ReleaseCapture();
    PostMessageA(GetAncestor(window_, GA_ROOT), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
}

}  // namespace qm

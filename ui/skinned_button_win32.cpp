#include "ui/skinned_button_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include "ui/skin_image_win32.h"
#include "ui/window_base_win32.h"
#include "ui/window_text_win32.h"

namespace qm {

bool OnWindowThread(HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

CSkinnedButton::~CSkinnedButton() { Destroy(); }

bool CSkinnedButton::Create(HWND parent, ISkinnedButtonParent* clicks, const std::string& name,
                            int index, const RECT& rect, bool checkBox, const HBITMAP images[4],
                            UINT id) {
    if (window_.load() != nullptr) return false;
    clicks_ = clicks;
    name_ = name;
    index_ = index;
    checkBox_ = checkBox;
    hover_ = false;
    checked_ = 0;

    {
        const WindowDc screen(parent);
        for (int i = 0; i < 4; ++i) {
            images_[i].Reset();
            if (images != nullptr && images[i] != nullptr) CopyImageRect(screen.Get(), images_[i], images[i], rect);
        }
    }

    HWND w = CreateWindowExA(0, "BUTTON", name.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, rect.left,
                             rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (w == nullptr) return false;
    window_ = w;
    if (!SetWindowSubclass(w, &CSkinnedButton::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this))) {
        window_ = nullptr;
        DestroyWindow(w);
        return false;
    }
    return true;
}

void CSkinnedButton::Destroy() {
    HWND w = window_.exchange(nullptr);
    if (w == nullptr) return;
    RemoveWindowSubclass(w, &CSkinnedButton::SubclassProc, 0);
    DestroyWindow(w);
}

void CSkinnedButton::SetChecked(int state) {
    if (checked_.exchange(state) != state) Repaint();
}

void CSkinnedButton::Repaint() const {
    // Marks the window for painting; the paint itself happens on the
    // window's thread, so this never waits for it.
    HWND w = window_.load();
    if (w != nullptr) InvalidateRect(w, nullptr, FALSE);
}

std::string CSkinnedButton::Wording() const {
    const std::size_t bar = wording_.find('|');
    if (bar == std::string::npos) return wording_;
    return checked_.load() != 0 ? wording_.substr(bar + 1) : wording_.substr(0, bar);
}

SkinImageState CSkinnedButton::LookFor(bool selected, bool disabled) const {
    const bool checked = checked_.load() != 0;
    if (checkBox_) return checked ? kSkinDown : kSkinMain;
    if (checked && !hover_) return kSkinDown;
    if (selected) return kSkinDown;
    if (hover_) return kSkinOver;
    if (disabled) return kSkinDisabled;
    return kSkinMain;
}

void CSkinnedButton::DrawItem(const DRAWITEMSTRUCT& item) const {
    const SkinImageState look =
        LookFor((item.itemState & ODS_SELECTED) != 0, (item.itemState & ODS_DISABLED) != 0);
    const HBITMAP image = images_[look].Get();
    if (image == nullptr) return;
    const SIZE size = images_[look].Size();
    DrawSkinImage(item.hDC, image, RECT{0, 0, size.cx, size.cy});
    // The keyboard's focus mark (not after a mouse click, when the system
    // hides focus marks).
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT mark = item.rcItem;
        DrawFocusRect(item.hDC, &mark);
    }
}

LRESULT CALLBACK CSkinnedButton::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR id, DWORD_PTR data) {
    return CWindowBase::GuardedSubclassCall(&CSkinnedButton::HandleSubclassMessage, window, message, wParam,
                                            lParam, id, data);
}

LRESULT CALLBACK CSkinnedButton::HandleSubclassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                       UINT_PTR, DWORD_PTR self) {
    auto* button = reinterpret_cast<CSkinnedButton*>(self);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &CSkinnedButton::SubclassProc, 0);
        button->window_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return button->OnMessage(message, wParam, lParam);
}

LRESULT CSkinnedButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.load();
    switch (message) {
        case WM_MOUSEMOVE: {
            const bool leftHeld = (wParam & MK_LBUTTON) != 0;
            if (leftHeld && !hover_) break;
            if (GetCapture() != window) {
                if (GetActiveWindow() != nullptr && GetParent(window) != nullptr) {
                    hover_ = true;
                    SetCapture(window);
                    Repaint();
                }
                break;
            }
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(window, &point);
            HWND under = WindowFromPoint(point);
            if (under == nullptr || under == window) break;
            if (hover_) {
                hover_ = false;
                Repaint();
            }
            if (!leftHeld) ReleaseCapture();
            break;
        }
        case WM_LBUTTONUP: {
            // The system's own handling first: it releases the capture and the
            // pressed look. Then the click is reported, as the last thing the
            // button does, because the owner may destroy the button.
            RECT client;
            GetClientRect(window, &client);
            const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            if (PtInRect(&client, point)) {
                hover_ = false;
                Repaint();
                ISkinnedButtonParent* clicks = clicks_;
                const int index = index_;
                if (clicks != nullptr) clicks->ButtonPressedAt(index);
            }
            return result;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
            // Space and Enter press a button that has the keyboard focus, as
            // a click does (on the key's release; in a dialog Enter stays the
            // dialog's own key).
            if (wParam == VK_SPACE || wParam == VK_RETURN) {
                if (message == WM_KEYUP && IsWindowEnabled(window)) {
                    ISkinnedButtonParent* clicks = clicks_;
                    const int index = index_;
                    if (clicks != nullptr) clicks->ButtonPressedAt(index);
                }
                return 0;
            }
            break;
        case WM_KILLFOCUS:
            hover_ = false;
            Repaint();
            break;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: the pointer is no longer known to
            // be over the button.
            if (hover_ && reinterpret_cast<HWND>(lParam) != window) {
                hover_ = false;
                Repaint();
            }
            break;
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
            if (!wording_.empty()) return AnswerWindowText(window, message, wParam, lParam, Wording());
            break;
        case BM_GETCHECK:
            // The owner's check state, for anyone who asks the window
            // (accessibility tools, tests driving the program).
            return checked_.load() != 0 ? BST_CHECKED : BST_UNCHECKED;
        case kSkinEnableMessage:
            EnableWindow(window, wParam != 0);
            return 0;
        case kSkinShowMessage:
            ShowWindow(window, wParam != 0 ? SW_SHOW : SW_HIDE);
            return 0;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace qm

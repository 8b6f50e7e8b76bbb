#include "ui/skinned_edit_win32.h"

#include <commctrl.h>

#include <vector>

#include "ui/skin_image_win32.h"
#include "ui/skinned_button_win32.h"
#include "ui/skinned_label_win32.h"
#include "ui/window_base_win32.h"
#include "ui/window_text_win32.h"

namespace qm {

CSkinnedEdit::~CSkinnedEdit() { Destroy(); }

bool CSkinnedEdit::Create(HWND parent, const SkinTextLine& line, bool italic, HBITMAP background, int index,
                          UINT id) {
    if (window_.load() != nullptr) return false;
    name_ = line.name;
    index_ = index;
    colour_ = line.colour;
    font_ = CreateSkinFont(line, italic);
    const RECT rect{line.rect.left, line.rect.top, line.rect.right, line.rect.bottom};
    background_.Reset();
    CopyImageRect(WindowDc(parent).Get(), background_, background, rect);
    {
        std::lock_guard<std::mutex> lock(textLock_);
        text_ = line.text;
    }
    // Its name for a screen reader goes just before it (the box shows only
    // what is typed).
    nameLabel_ = CreateNameLabel(parent, line.wording, rect.left, rect.top);
    HWND w = CreateWindowExA(0, "EDIT", line.text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,
                             rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (w == nullptr || !SetWindowSubclass(w, &CSkinnedEdit::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this))) {
        if (w != nullptr) DestroyWindow(w);
        if (nameLabel_ != nullptr) DestroyWindow(nameLabel_);
        nameLabel_ = nullptr;
        return false;
    }
    window_ = w;
    return true;
}

void CSkinnedEdit::Destroy() {
    HWND w = window_.exchange(nullptr);
    if (w == nullptr) return;
    RemoveWindowSubclass(w, &CSkinnedEdit::SubclassProc, 0);
    DestroyWindow(w);
    // The box still existed, so its parent and the label with it did too.
    if (nameLabel_ != nullptr) DestroyWindow(nameLabel_);
    nameLabel_ = nullptr;
}

std::string CSkinnedEdit::WindowText() const {
    HWND w = window_.load();
    const int length = GetWindowTextLengthA(w);
    std::vector<char> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
    const int got = GetWindowTextA(w, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

std::string CSkinnedEdit::GetText() const {
    HWND w = window_.load();
    if (w != nullptr && OnWindowThread(w)) {
        std::string text = WindowText();
        std::lock_guard<std::mutex> lock(textLock_);
        if (pending_) return text_;  // set from another thread, shown in a moment
        text_ = text;
        return text;
    }
    std::lock_guard<std::mutex> lock(textLock_);
    return text_;
}

void CSkinnedEdit::SetText(const std::string& text) {
    HWND w = window_.load();
    const bool here = w == nullptr || OnWindowThread(w);
    {
        std::lock_guard<std::mutex> lock(textLock_);
        text_ = text;
        pending_ = !here;
    }
    if (w == nullptr) return;
    if (here) {
        SetWindowTextA(w, text.c_str());
        InvalidateRect(w, nullptr, TRUE);
    } else {
        PostMessageA(w, kSkinSyncTextMessage, 0, 0);
    }
}

void CSkinnedEdit::TextChanged() {
    HWND w = window_.load();
    if (w == nullptr) return;
    std::string text = WindowText();
    std::lock_guard<std::mutex> lock(textLock_);
    if (!pending_) text_ = text;
}

LRESULT CALLBACK CSkinnedEdit::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR data) {
    return CWindowBase::GuardedSubclassCall(&CSkinnedEdit::HandleSubclassMessage, window, message, wParam,
                                            lParam, id, data);
}

LRESULT CALLBACK CSkinnedEdit::HandleSubclassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                     UINT_PTR, DWORD_PTR self) {
    auto* edit = reinterpret_cast<CSkinnedEdit*>(self);
    switch (message) {
        case kSkinSyncTextMessage: {
            std::string text;
            {
                std::lock_guard<std::mutex> lock(edit->textLock_);
                text = edit->text_;
                edit->pending_ = false;
            }
            SetWindowTextA(window, text.c_str());
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, &CSkinnedEdit::SubclassProc, 0);
            edit->window_ = nullptr;
            edit->nameLabel_ = nullptr;  // its parent is going, and the label with it
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace qm

#include "ui/skinned_label_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "ui/skin_image_win32.h"
#include "ui/window_base_win32.h"
#include "ui/window_text_win32.h"

namespace qm {

GdiFont CreateSkinFont(const SkinTextLine& line, bool italic) {
    LOGFONTA font{};
    font.lfHeight = line.height;
    font.lfWeight = line.bold ? 700 : 400;
    font.lfItalic = italic ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(font.lfFaceName, line.face.c_str(), LF_FACESIZE - 1);
    return GdiFont(CreateFontIndirectA(&font));
}

CSkinnedLabel::~CSkinnedLabel() { Destroy(); }

bool CSkinnedLabel::Create(HWND parent, const SkinTextLine& line, bool italic, HBITMAP background,
                           int index) {
    if (window_.load() != nullptr) return false;
    name_ = line.name;
    index_ = index;
    colour_ = line.colour;
    font_ = CreateSkinFont(line, italic);
    {
        std::lock_guard<std::mutex> lock(textLock_);
        text_ = line.text;
    }
    const RECT rect{line.rect.left, line.rect.top, line.rect.right, line.rect.bottom};
    background_.Reset();
    CopyImageRect(WindowDc(parent).Get(), background_, background, rect);

    HWND w = CreateWindowExA(0, "STATIC", name_.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, rect.left,
                             rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (w == nullptr) return false;
    if (!SetWindowSubclass(w, &CSkinnedLabel::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this))) {
        DestroyWindow(w);
        return false;
    }
    window_ = w;
    return true;
}

void CSkinnedLabel::Destroy() {
    HWND w = window_.exchange(nullptr);
    if (w == nullptr) return;
    RemoveWindowSubclass(w, &CSkinnedLabel::SubclassProc, 0);
    DestroyWindow(w);
}

void CSkinnedLabel::SetText(const std::string& text) {
    {
        // A label shown again with its text is not drawn again: a scan's
        // progress sets every label of the panel for each item it checks.
        std::lock_guard<std::mutex> lock(textLock_);
        if (text_ == text) return;
        text_ = text;
    }
    HWND w = window_.load();
    if (w != nullptr) InvalidateRect(w, nullptr, FALSE);
}

std::string CSkinnedLabel::Text() const {
    std::lock_guard<std::mutex> lock(textLock_);
    return text_;
}

void CSkinnedLabel::Paint(HDC dc) const {
    RECT client;
    GetClientRect(window_.load(), &client);
    if (background_) {
        const SIZE size = background_.Size();
        DrawSkinImage(dc, background_.Get(), RECT{0, 0, size.cx, size.cy});
    }
    const std::string text = Text();
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, colour_);
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_.Get()) : nullptr;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &client, DT_VCENTER);
    if (oldFont != nullptr) SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

LRESULT CSkinnedLabel::AnswerGetText(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
    return AnswerWindowText(window, message, wParam, lParam, Text());
}

LRESULT CALLBACK CSkinnedLabel::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR id, DWORD_PTR data) {
    return CWindowBase::GuardedSubclassCall(&CSkinnedLabel::HandleSubclassMessage, window, message, wParam,
                                            lParam, id, data);
}

LRESULT CALLBACK CSkinnedLabel::HandleSubclassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                      UINT_PTR, DWORD_PTR self) {
    auto* label = reinterpret_cast<CSkinnedLabel*>(self);
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (dc != nullptr) label->Paint(dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
            return label->AnswerGetText(window, message, wParam, lParam);
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, &CSkinnedLabel::SubclassProc, 0);
            label->window_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace qm

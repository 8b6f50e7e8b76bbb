// The skinned text label: a static control that paints itself, its own piece
// of the owner's background first, then its text in its own font and colour
// (transparent background, from the top-left corner, lines broken only at
// explicit line breaks).
//
// The drawn text is the label's own, not its window text: the window text is
// the label's skin name (so that the label can be found by name, as the
// buttons can), and WM_GETTEXT answers with the drawn text (what is read off
// the screen is what is shown there). Any thread may set
// it: SetText hands the text over under a lock (the paint on the window's
// thread copies it under the same lock) and invalidates the label. It never
// sends a message and never waits for the window's thread, so a worker can
// update labels while the user-interface thread is busy or blocked.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "ui/gdi_objects_win32.h"
#include "ui/skin_file.h"

namespace qm {

class CSkinnedLabel {
public:
    CSkinnedLabel() = default;
    ~CSkinnedLabel();
    CSkinnedLabel(const CSkinnedLabel&) = delete;
    CSkinnedLabel& operator=(const CSkinnedLabel&) = delete;

    // Creates the label as a visible child of `parent` from a text line:
    // rectangle, font (face, height, weight 700 when bold; `italic` as the
    // owner reads the line's italic field), colour and initial text. The
    // background is cut out of `background` (the owner's first image) at the
    // label's rectangle.
    bool Create(HWND parent, const SkinTextLine& line, bool italic, HBITMAP background, int index);
    void Destroy();

    HWND Window() const { return window_.load(); }
    const std::string& Name() const { return name_; }
    int Index() const { return index_; }
    COLORREF Colour() const { return colour_; }
    HFONT Font() const { return font_.Get(); }

    // Any thread.
    void SetText(const std::string& text);
    std::string Text() const;

    // Paints the label into `dc` (its client area).
    void Paint(HDC dc) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK HandleSubclassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                  UINT_PTR id, DWORD_PTR self);
    // WM_GETTEXT / WM_GETTEXTLENGTH: the drawn text.
    LRESULT AnswerGetText(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;

    std::atomic<HWND> window_{nullptr};  // read by SetText on any thread
    std::string name_;
    int index_ = 0;
    COLORREF colour_ = 0;
    GdiFont font_;
    SkinBitmap background_;
    mutable std::mutex textLock_;
    std::string text_;
};

// The font of a text label or edit box line: face, LOGFONT height, weight 700
// when bold else 400, the given italic, DEFAULT_CHARSET, everything else 0.
GdiFont CreateSkinFont(const SkinTextLine& line, bool italic);

}  // namespace qm

// The skinned edit box: a system single-line edit control, visible and a tab
// stop, named for a screen reader by its skin line's wording (a label just
// before it, see CreateNameLabel). Its skin line's background piece, font and colour are kept with it but
// not used: the control draws with the system's font and colours.
//
// The text: on the window's thread GetText reads the control's current window
// text; other threads get the last text the window's thread saw (kept up to
// date when the owner passes on EN_CHANGE, see TextChanged). SetText from
// another thread stores the text and posts a request to the window's thread
// to show it; no thread ever waits for the window's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "ui/gdi_objects_win32.h"
#include "ui/skin_file.h"

namespace qm {

class CSkinnedEdit {
public:
    CSkinnedEdit() = default;
    ~CSkinnedEdit();
    CSkinnedEdit(const CSkinnedEdit&) = delete;
    CSkinnedEdit& operator=(const CSkinnedEdit&) = delete;

    bool Create(HWND parent, const SkinTextLine& line, bool italic, HBITMAP background, int index, UINT id);
    void Destroy();

    HWND Window() const { return window_.load(); }
    const std::string& Name() const { return name_; }
    int Index() const { return index_; }
    COLORREF Colour() const { return colour_; }
    HFONT Font() const { return font_.Get(); }
    HBITMAP Background() const { return background_.Get(); }

    std::string GetText() const;
    void SetText(const std::string& text);
    // The control's text changed (EN_CHANGE): refreshes the kept copy.
    void TextChanged();

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK HandleSubclassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                  UINT_PTR id, DWORD_PTR self);
    std::string WindowText() const;

    std::atomic<HWND> window_{nullptr};
    HWND nameLabel_ = nullptr;  // its name for a screen reader (CreateNameLabel), on the window's thread only
    std::string name_;
    int index_ = 0;
    COLORREF colour_ = 0;
    GdiFont font_;
    SkinBitmap background_;
    mutable std::mutex textLock_;
    mutable std::string text_;
    bool pending_ = false;  // text_ was set from another thread and is not shown yet
};

}  // namespace qm

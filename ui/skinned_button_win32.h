// The skinned button: a system push button turned owner-drawn, drawn from four
// state images cut out of its owner's four full-size images (main, over, down,
// disabled), as a push button or as a check box.
//
// Look:
//   check box   the down image when checked, else the main image (no hover,
//               pressed or disabled look);
//   push button first rule that applies: checked and not hovered -> down;
//               pressed (the mouse button held on it) -> down; hovered ->
//               over; disabled -> disabled; otherwise main.
// A missing image draws nothing for that state.
//
// Clicks: releasing the left mouse button while the pointer is inside the
// button reports ButtonPressedAt(index) to the button's parent object; a
// release outside reports nothing. The button is a tab stop: releasing Space
// or Enter while it has the keyboard focus reports the same, and a focused
// button shows the focus mark once the keyboard is used. The button never changes its own check
// state: the owner does (SetChecked), typically in its ButtonPressed. The
// window answers BM_GETCHECK with that state.
//
// Hover: the first mouse move over the button (no mouse button held) sets the
// hover look and captures the mouse, so the button sees the pointer leave;
// it then releases the capture (unless the left button is held).
//
// Wording: what the button says is in its images, so it carries it as text
// too (SetWording): WM_GETTEXT answers with it (what a screen reader speaks),
// while the window text stays the skin name the button is found by. A
// wording "unticked|ticked" says the second part while the button is checked.
//
// The parent window must hand WM_DRAWITEM for the button to DrawItem; the
// control set (ui/control_set_win32.h) does this for its buttons. Everything
// runs on the thread that created the window, except SetChecked, which any
// thread may call (it stores the state and invalidates; it never waits for
// the window's thread).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "ui/gdi_objects_win32.h"
#include "ui/window_messages_win32.h"

namespace qm {

// Receives a button's click by the button's index.
class ISkinnedButtonParent {
public:
    virtual ~ISkinnedButtonParent() = default;
    virtual void ButtonPressedAt(int index) = 0;
};

// The four state images, in the order the owner's images come.
enum SkinImageState { kSkinMain = 0, kSkinOver = 1, kSkinDown = 2, kSkinDisabled = 3 };

class CSkinnedButton {
public:
    CSkinnedButton() = default;
    ~CSkinnedButton();
    CSkinnedButton(const CSkinnedButton&) = delete;
    CSkinnedButton& operator=(const CSkinnedButton&) = delete;

    // Creates the button as a visible child of `parent` at `rect` (owner-drawn,
    // without border, a tab stop) and cuts its images out of `images` (main,
    // over, down, disabled; null entries give no image). Clicks go to `clicks`.
    bool Create(HWND parent, ISkinnedButtonParent* clicks, const std::string& name, int index,
                const RECT& rect, bool checkBox, const HBITMAP images[4], UINT id);
    void Destroy();

    HWND Window() const { return window_.load(); }
    const std::string& Name() const { return name_; }
    int Index() const { return index_; }
    bool IsCheckBox() const { return checkBox_; }
    bool Hover() const { return hover_; }
    int Checked() const { return checked_.load(); }
    // Stores the state and repaints when it differs (any thread).
    void SetChecked(int state);
    // What the button says (see above); the window's thread only.
    void SetWording(const std::string& wording) { wording_ = wording; }
    // The wording for the current check state.
    std::string Wording() const;
    HBITMAP Image(SkinImageState state) const { return images_[state].Get(); }

    // The image the button shows when the system says it is pressed
    // (`selected`) or `disabled`.
    SkinImageState LookFor(bool selected, bool disabled) const;
    // Paints for WM_DRAWITEM.
    void DrawItem(const DRAWITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK HandleSubclassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                  UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Repaint() const;

    std::atomic<HWND> window_{nullptr};  // read by SetChecked on any thread
    ISkinnedButtonParent* clicks_ = nullptr;
    std::string name_;
    int index_ = 0;
    bool hover_ = false;
    SkinBitmap images_[4];
    std::atomic<int> checked_{0};
    bool checkBox_ = false;
    std::string wording_;
};

// True when the calling thread is the one that owns `window`.
bool OnWindowThread(HWND window);

}  // namespace qm

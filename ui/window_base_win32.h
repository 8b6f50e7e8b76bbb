// The one window base every window of the program derives from: it registers
// a window class per class name (once), keeps `this` with the window from
// WM_NCCREATE on, and hands every message to the virtual HandleMessage.
// Exceptions never leave the window procedure: one that escapes a handler is
// counted and the message gets default processing.
//
//     class CPanel : public CWindowBase {
//         LRESULT HandleMessage(UINT m, WPARAM w, LPARAM l) override {
//             if (m == WM_PAINT) { ...; return 0; }
//             return CWindowBase::HandleMessage(m, w, l);
//         }
//     };
//     panel.CreateAs("QuillmerePanel", 0, "", WS_CHILD | WS_VISIBLE, rect, parent, 0);
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>

namespace qm {

class CWindowBase {
public:
    CWindowBase() = default;
    // Destroys the window if it still exists.
    virtual ~CWindowBase();
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;

    // Registers `className` (arrow cursor, no background brush) when it is not
    // registered yet and creates the window. False when it cannot be created.
    bool CreateAs(const char* className, DWORD exStyle, const char* title, DWORD style, const RECT& rect,
                  HWND parent, UINT id);
    // Destroys the window (WM_DESTROY and WM_NCDESTROY reach HandleMessage).
    void DestroyWindowNow();

    HWND Window() const { return window_; }

    // Exceptions caught at the window procedure since the process started.
    static long CaughtExceptions() { return caught_.load(); }
    // The same boundary for a subclass procedure (SetWindowSubclass): calls
    // `proc`; an exception that escapes it is counted with the others and the
    // message goes on down the subclass chain (DefSubclassProc).
    static LRESULT GuardedSubclassCall(SUBCLASSPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
    // The same boundary for any other callback the system calls into (a list
    // view's sort callback, an enumeration callback): returns what `call`
    // returns; an exception that escapes it is counted with the others and
    // `fallback` is returned instead.
    template <typename Result, typename Call>
    static Result GuardedCallback(Result fallback, Call&& call) noexcept {
        try {
            return call();
        } catch (...) {
            ++caught_;
            return fallback;
        }
    }

protected:
    // Default: DefWindowProcA.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY: the window is gone and Window() is null.
    virtual void OnWindowGone() {}
    // For a WM_LBUTTONDOWN at `lParam` (client co-ordinates): starts moving the
    // top-level window holding this one as if its caption had been pressed
    // (the skinned windows have none).
    void DragTopLevelWindow(LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    static std::atomic<long> caught_;
};

}  // namespace qm

// CMainSkin: the skinned, shaped top-level window. It builds itself from the
// skin: its size and outline from the mask image, its background from the
// "Main" image, its buttons from [MAINSCREENBUTTONINFO], its labels from
// [TEXTINFO], its panels from [SUBMAINSCREENINFO] and its animation from
// [MAINSCREENANIMATION]. One panel is shown at a time (ShowPanel). The window
// has no caption: a press on its background (or a panel's) drags it. On
// destruction every window of its tree hears kPrepareToCloseMessage first.
//
// Button clicks arrive by name at ButtonPressed, which the main window
// overrides; this class does nothing with them.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "control/sub_main_skin_win32.h"
#include "platform/registry.h"
#include "ui/animation_host_win32.h"
#include "ui/control_set_win32.h"
#include "ui/gdi_objects_win32.h"
#include "ui/skin_file.h"
#include "ui/window_base_win32.h"

namespace qm {

class CMainSkin : public CWindowBase, public ISkinOwner, public IPanelHost {
public:
    explicit CMainSkin(IRegistry& registry) : registry_(registry) {}
    ~CMainSkin() override;

    // Builds the screen from `skin` into the existing window. False when the
    // mask image cannot be loaded: a message box says so and nothing is built.
    bool LoadSkin(const SkinFile& skin);

    // Shows the panel(s) of that name, hides every other; the last one shown
    // becomes the current panel. No match: all hidden, current unchanged.
    void ShowPanel(const std::string& name) override;
    HWND OwnerWindow() const override { return Window(); }
    void SetButtonCheckOnAllPanels(const std::string& name, int state) override;

    CSubMainSkin* CurrentPanel() const { return current_; }
    CSubMainSkin* FindPanel(const std::string& name) const;
    const std::vector<std::unique_ptr<CSubMainSkin>>& Panels() const { return panels_; }
    CControlSet& Controls() { return controls_; }
    SIZE MaskSize() const { return maskSize_; }

    // ISkinOwner: nothing here.
    void ButtonPressed(const std::string& name) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Paints the screen's background (the "Main" image).
    void PaintScreen(HDC dc);

private:
    void CreatePanels(const SkinFile& skin);

    IRegistry& registry_;
    CControlSet controls_;
    SkinBitmap images_[4];  // Main, Over, Down, Disabled
    SIZE maskSize_{0, 0};
    CAnimationHost animation_;
    std::vector<std::unique_ptr<CSubMainSkin>> panels_;
    CSubMainSkin* current_ = nullptr;
};

// Sends `message` to every window below `window`, depth-first: each child,
// then its own children, before the next child.
void SendToDescendants(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qm

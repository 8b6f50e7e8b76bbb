// The by-name operations a window offers on its own skinned controls.
//
// Controls are found by name (compared exactly); when two controls of one kind
// share a name the first one created is the one every operation reaches. An
// operation on a name that matches nothing does nothing, and the getters then
// return 0 or an empty string. The Win32 control set (ui/control_set_win32.h)
// implements this; the settings store (ui/settings_store.h) works through it,
// so it can be tested without windows.
#pragma once

#include <string>

namespace qm {

class INamedControls {
public:
    virtual ~INamedControls() = default;

    // Buttons. A check state of a push button holds it in its down look.
    virtual void SetButtonCheck(const std::string& name, int state) = 0;
    virtual int GetButtonCheck(const std::string& name) const = 0;
    virtual void EnableButton(const std::string& name, bool enable) = 0;
    virtual void HideButton(const std::string& name, bool hide) = 0;
    virtual void EnableAllButtons(bool enable) = 0;

    // Labels: the drawn text (not the window text).
    virtual void SetLabelText(const std::string& name, const std::string& text) = 0;

    // Edit boxes: the control's current text.
    virtual std::string GetEditText(const std::string& name) const = 0;
    virtual void SetEditText(const std::string& name, const std::string& text) = 0;
};

}  // namespace qm

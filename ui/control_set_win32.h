// A skinned window's own controls: its buttons, labels and edit boxes (one
// list per kind, in skin order, owned), the list views it asked for, the
// by-name operations on them, and the click path from a button to the owner.
//
// Building, from the skin sections named after the window:
//
//     CControlSet controls;
//     controls.Attach(hwnd, this);                       // `this` hears ButtonPressed(name)
//     const HBITMAP images[4] = {main, over, down, disabled};
//     controls.ReadButtonInfo(skin, "SUBMAIN_MAIN_BUTTONINFO", images);
//     controls.ReadTextInfo(skin, "SUBMAIN_MAIN_TEXTINFO", main, LabelItalic::WhenFieldIsFalse);
//     controls.ReadEditBoxInfo(skin, "SUBMAIN_SCHEDULE_EDITBOXINFO", main);
//     CSkinnedListView* list = controls.ReadListViewInfo(skin, "SUBMAIN_RESULT_LISTINFO", kListWithCheckBoxes);
//
// Clicks: a button calls ButtonPressedAt(its position in the button list);
// that takes the button at that position and calls the owner's
// ButtonPressed(its name). The owner dispatches on the name.
//
// By-name operations act on the first control of the kind whose name is equal
// (exactly); a name with no control does nothing (getters: 0, ""). Buttons'
// check states and labels' texts may be set from any thread, and so may the
// others: from a thread other than the window's they are posted, never sent,
// so no caller ever waits for the user-interface thread.
//
// Attach subclasses the owner window to paint the owner-drawn buttons
// (WM_DRAWITEM), to follow the edit boxes' text (EN_CHANGE) and to give the
// buttons' tips their text; the owner's own window procedure sees every
// message as before.
//
// Wording: each button says what its skin line's wording field gives (or its
// name as words, ReadableControlName, when the line has none): that is its
// text for a screen reader and the tip shown while the pointer rests on it
// (one tooltip control per owner, asked for the current wording each time).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/named_controls.h"
#include "ui/skin_file.h"
#include "ui/skinned_button_win32.h"
#include "ui/skinned_edit_win32.h"
#include "ui/skinned_label_win32.h"
#include "ui/skinned_list_view_win32.h"

namespace qm {

// Hears clicks by name.
class ISkinOwner {
public:
    virtual ~ISkinOwner() = default;
    virtual void ButtonPressed(const std::string& name) = 0;
};

// How a reader takes a text line's italic field: the main screen's and the
// panels' labels are italic when it begins with "F"; the scan and repair
// screens' labels and all edit boxes when it begins with "T".
enum class LabelItalic { WhenFieldIsFalse, WhenFieldIsTrue };

class CControlSet : public INamedControls, public ISkinnedButtonParent {
public:
    CControlSet() = default;
    ~CControlSet() override;
    CControlSet(const CControlSet&) = delete;
    CControlSet& operator=(const CControlSet&) = delete;

    // The window the controls are children of, and who hears clicks by name.
    bool Attach(HWND owner, ISkinOwner* listener);
    HWND Owner() const { return owner_; }

    // Each entry of the numbered section becomes a control, appended in skin
    // order. `images`: the owner's main, over, down and disabled images, from
    // which each button cuts its own; `background`: the owner's first image,
    // from which each label and edit box cuts its piece.
    void ReadButtonInfo(const SkinFile& skin, const std::string& section, const HBITMAP images[4]);
    void ReadTextInfo(const SkinFile& skin, const std::string& section, HBITMAP background,
                      LabelItalic italic = LabelItalic::WhenFieldIsFalse);
    void ReadEditBoxInfo(const SkinFile& skin, const std::string& section, HBITMAP background);
    // Key "1" of a list section: the list view with its columns, or null when
    // the section has no such line or the control cannot be created.
    CSkinnedListView* ReadListViewInfo(const SkinFile& skin, const std::string& section,
                                       DWORD extendedStyle);

    // INamedControls
    void SetButtonCheck(const std::string& name, int state) override;
    int GetButtonCheck(const std::string& name) const override;
    void EnableButton(const std::string& name, bool enable) override;
    void HideButton(const std::string& name, bool hide) override;
    void EnableAllButtons(bool enable) override;
    void SetLabelText(const std::string& name, const std::string& text) override;
    std::string GetEditText(const std::string& name) const override;
    void SetEditText(const std::string& name, const std::string& text) override;

    // ISkinnedButtonParent: the button at `index` of the list, by name, to
    // the listener.
    void ButtonPressedAt(int index) override;

    // Destroys every control and lets go of the owner window.
    void Free();

    // The first control of that name, or null.
    CSkinnedButton* FindButton(const std::string& name) const;
    CSkinnedLabel* FindLabel(const std::string& name) const;
    CSkinnedEdit* FindEdit(const std::string& name) const;

    const std::vector<std::unique_ptr<CSkinnedButton>>& Buttons() const { return buttons_; }
    const std::vector<std::unique_ptr<CSkinnedLabel>>& Labels() const { return labels_; }
    const std::vector<std::unique_ptr<CSkinnedEdit>>& Edits() const { return edits_; }
    const std::vector<std::unique_ptr<CSkinnedListView>>& ListViews() const { return lists_; }
    // The buttons' tooltip control (null before the first button).
    HWND Tips() const { return tips_; }

private:
    static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK HandleOwnerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR id, DWORD_PTR self);

    // Adds `button` to the tooltip control (created with the first button).
    void AddTip(const CSkinnedButton& button);
    // TTN_GETDISPINFO: the wording of the button the tip is for.
    bool AnswerTipText(NMHDR* header);

    HWND owner_ = nullptr;
    HWND tips_ = nullptr;  // owned: destroyed by Free or with the owner
    std::string tipText_;  // the text handed to the tooltip control last
    std::wstring tipTextWide_;
    ISkinOwner* listener_ = nullptr;
    std::vector<std::unique_ptr<CSkinnedButton>> buttons_;
    std::vector<std::unique_ptr<CSkinnedLabel>> labels_;
    std::vector<std::unique_ptr<CSkinnedEdit>> edits_;
    std::vector<std::unique_ptr<CSkinnedListView>> lists_;
};

}  // namespace qm

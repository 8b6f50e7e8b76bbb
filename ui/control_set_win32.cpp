#include "ui/control_set_win32.h"

#include <commctrl.h>

#include "ui/window_base_win32.h"

namespace qm {

namespace {

constexpr UINT kFirstButtonId = 2000;
constexpr UINT kFirstEditId = 3000;

RECT ToRect(const SkinRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

template <typename Control>
Control* FindFirst(const std::vector<std::unique_ptr<Control>>& list, const std::string& name) {
    for (const auto& c : list)
        if (c->Name() == name) return c.get();
    return nullptr;
}

}  // namespace

CControlSet::~CControlSet() { Free(); }

bool CControlSet::Attach(HWND owner, ISkinOwner* listener) {
    if (owner_ != nullptr || owner == nullptr) return false;
    if (!SetWindowSubclass(owner, &CControlSet::OwnerProc, reinterpret_cast<UINT_PTR>(this),
                           reinterpret_cast<DWORD_PTR>(this)))
        return false;
    owner_ = owner;
    listener_ = listener;
    return true;
}

void CControlSet::ReadButtonInfo(const SkinFile& skin, const std::string& section, const HBITMAP images[4]) {
    if (owner_ == nullptr) return;
    for (const SkinEntry& entry : skin.ReadNumberedSection(section)) {
        const SkinButtonLine line = ParseButtonLine(entry.value);
        auto button = std::make_unique<CSkinnedButton>();
        // The index is the position in this list, which is what the click
        // reports, so a section with gaps in its keys still dispatches right.
        const int index = static_cast<int>(buttons_.size());
        if (button->Create(owner_, this, line.name, index, ToRect(line.rect), line.checkBox, images,
                           kFirstButtonId + static_cast<UINT>(index))) {
            button->SetWording(line.wording.empty() ? ReadableControlName(line.name) : line.wording);
            AddTip(*button);
            buttons_.push_back(std::move(button));
        }
    }
}

void CControlSet::AddTip(const CSkinnedButton& button) {
    if (tips_ == nullptr) {
        tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner_, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner_, GWLP_HINSTANCE)), nullptr);
        if (tips_ == nullptr) return;
    }
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(button.Window());
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool CControlSet::AnswerTipText(NMHDR* header) {
    if (header == nullptr || header->hwndFrom != tips_ || tips_ == nullptr) return false;
    if (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW) return false;
    const CSkinnedButton* button = nullptr;
    for (const auto& b : buttons_)
        if (reinterpret_cast<UINT_PTR>(b->Window()) == header->idFrom) button = b.get();
    tipText_ = button != nullptr ? button->Wording() : std::string();
    if (header->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        info->hinst = nullptr;
        info->lpszText = tipText_.data();
    } else {
        const int wide = MultiByteToWideChar(CP_ACP, 0, tipText_.c_str(), -1, nullptr, 0);
        tipTextWide_.assign(static_cast<std::size_t>(wide > 0 ? wide : 1), L'\0');
        if (wide > 0) MultiByteToWideChar(CP_ACP, 0, tipText_.c_str(), -1, tipTextWide_.data(), wide);
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        info->hinst = nullptr;
        info->lpszText = tipTextWide_.data();
    }
    return true;
}

void CControlSet::ReadTextInfo(const SkinFile& skin, const std::string& section, HBITMAP background,
                               LabelItalic italic) {
    if (owner_ == nullptr) return;
    for (const SkinEntry& entry : skin.ReadNumberedSection(section)) {
        const SkinTextLine line = ParseTextLine(entry.value);
        const bool slanted =
            italic == LabelItalic::WhenFieldIsFalse ? line.ItalicWhenFalse() : line.ItalicWhenTrue();
        auto label = std::make_unique<CSkinnedLabel>();
        if (label->Create(owner_, line, slanted, background, static_cast<int>(labels_.size())))
            labels_.push_back(std::move(label));
    }
}

void CControlSet::ReadEditBoxInfo(const SkinFile& skin, const std::string& section, HBITMAP background) {
    if (owner_ == nullptr) return;
    for (const SkinEntry& entry : skin.ReadNumberedSection(section)) {
        const SkinTextLine line = ParseTextLine(entry.value);
        auto edit = std::make_unique<CSkinnedEdit>();
        const int index = static_cast<int>(edits_.size());
        if (edit->Create(owner_, line, line.ItalicWhenTrue(), background, index,
                         kFirstEditId + static_cast<UINT>(index)))
            edits_.push_back(std::move(edit));
    }
}

CSkinnedListView* CControlSet::ReadListViewInfo(const SkinFile& skin, const std::string& section,
                                                DWORD extendedStyle) {
    if (owner_ == nullptr) return nullptr;
    const std::string value = skin.ReadSkinValue(section, "1");
    if (value.empty()) return nullptr;
    auto list = std::make_unique<CSkinnedListView>();
    if (!list->Create(owner_, ParseListLine(value), extendedStyle)) return nullptr;
    lists_.push_back(std::move(list));
    return lists_.back().get();
}

void CControlSet::SetButtonCheck(const std::string& name, int state) {
    if (CSkinnedButton* b = FindButton(name)) b->SetChecked(state);
}

int CControlSet::GetButtonCheck(const std::string& name) const {
    const CSkinnedButton* b = FindButton(name);
    return b == nullptr ? 0 : b->Checked();
}

namespace {

void EnableOne(HWND w, bool enable) {
    if (w == nullptr) return;
    if (OnWindowThread(w))
        EnableWindow(w, enable);
    else
        PostMessageA(w, kSkinEnableMessage, enable ? 1 : 0, 0);
}

}  // namespace

void CControlSet::EnableButton(const std::string& name, bool enable) {
    if (CSkinnedButton* b = FindButton(name)) EnableOne(b->Window(), enable);
}

void CControlSet::HideButton(const std::string& name, bool hide) {
    CSkinnedButton* b = FindButton(name);
    if (b == nullptr || b->Window() == nullptr) return;
    if (OnWindowThread(b->Window()))
        ShowWindow(b->Window(), hide ? SW_HIDE : SW_SHOW);
    else
        PostMessageA(b->Window(), kSkinShowMessage, hide ? 0 : 1, 0);
}

void CControlSet::EnableAllButtons(bool enable) {
    for (const auto& b : buttons_) EnableOne(b->Window(), enable);
}

void CControlSet::SetLabelText(const std::string& name, const std::string& text) {
    if (CSkinnedLabel* l = FindLabel(name)) l->SetText(text);
}

std::string CControlSet::GetEditText(const std::string& name) const {
    const CSkinnedEdit* e = FindEdit(name);
    return e == nullptr ? std::string() : e->GetText();
}

void CControlSet::SetEditText(const std::string& name, const std::string& text) {
    if (CSkinnedEdit* e = FindEdit(name)) e->SetText(text);
}

void CControlSet::ButtonPressedAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= buttons_.size() || listener_ == nullptr) return;
    // A copy: the listener may free the controls.
    const std::string name = buttons_[static_cast<std::size_t>(index)]->Name();
    listener_->ButtonPressed(name);
}

void CControlSet::Free() {
    if (tips_ != nullptr) {
        DestroyWindow(tips_);
        tips_ = nullptr;
    }
    lists_.clear();
    edits_.clear();
    labels_.clear();
    buttons_.clear();
    if (owner_ != nullptr) {
        RemoveWindowSubclass(owner_, &CControlSet::OwnerProc, reinterpret_cast<UINT_PTR>(this));
        owner_ = nullptr;
    }
    listener_ = nullptr;
}

CSkinnedButton* CControlSet::FindButton(const std::string& name) const { return FindFirst(buttons_, name); }
CSkinnedLabel* CControlSet::FindLabel(const std::string& name) const { return FindFirst(labels_, name); }
CSkinnedEdit* CControlSet::FindEdit(const std::string& name) const { return FindFirst(edits_, name); }

LRESULT CALLBACK CControlSet::OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data) {
    return CWindowBase::GuardedSubclassCall(&CControlSet::HandleOwnerMessage, window, message, wParam,
                                            lParam, id, data);
}

LRESULT CALLBACK CControlSet::HandleOwnerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                 UINT_PTR id, DWORD_PTR self) {
    auto* set = reinterpret_cast<CControlSet*>(self);
    switch (message) {
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item != nullptr && item->CtlType == ODT_BUTTON) {
                for (const auto& b : set->buttons_) {
                    if (b->Window() == item->hwndItem) {
                        b->DrawItem(*item);
                        return TRUE;
                    }
                }
            }
            break;
        }
        case WM_NOTIFY:
            if (set->AnswerTipText(reinterpret_cast<NMHDR*>(lParam))) return 0;
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) {
                for (const auto& e : set->edits_)
                    if (e->Window() == reinterpret_cast<HWND>(lParam)) e->TextChanged();
            }
            break;
        case WM_NCDESTROY:
            // The owner goes first: its children are already destroyed.
            RemoveWindowSubclass(window, &CControlSet::OwnerProc, id);
            set->owner_ = nullptr;
            set->tips_ = nullptr;  // an owned pop-up: gone with its owner
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace qm

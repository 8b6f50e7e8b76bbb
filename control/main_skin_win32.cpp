#include "control/main_skin_win32.h"

#include <cstdio>

#include "control/summary.h"
#include "resources/resource.h"
#include "ui/skin_image_win32.h"
#include "ui/timetable.h"
#include "ui/window_region_win32.h"

namespace qm {

void SendToDescendants(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    for (HWND child : children) {
        if (!IsWindow(child)) continue;
        SendMessageA(child, message, wParam, lParam);
        SendToDescendants(child, message, wParam, lParam);
    }
}

CMainSkin::~CMainSkin() {
    // Panels write the timetable as they go; the window (if still there)
    // goes with its children.
    DestroyWindowNow();
    panels_.clear();
    controls_.Free();
}

bool CMainSkin::LoadSkin(const SkinFile& skin) {
    controls_.Free();
    panels_.clear();
    current_ = nullptr;

    const char* kNames[4] = {"Main", "Over", "Down", "Disabled"};
    for (int i = 0; i < 4; ++i) LoadSkinImage(skin.ImagePath(skin.ReadSkinValue("MAINSCREENINFO", kNames[i])), images_[i]);

    const std::string maskName = skin.ReadSkinValue("MAINSCREENINFO", "Mask");
    SkinBitmap mask;
    maskSize_ = LoadSkinImage(skin.ImagePath(maskName), mask);
    if (!mask || maskSize_.cx <= 0 || maskSize_.cy <= 0) {
        const std::string text = "The skin's window mask \"" + maskName +
                                 "\" cannot be loaded, so the window has no shape.\nQuillmere will close.";
        MessageBoxA(Window(), text.c_str(), "Quillmere", MB_OK | MB_ICONSTOP);
        return false;
    }
    SetWindowPos(Window(), HWND_TOP, 0, 0, maskSize_.cx, maskSize_.cy, SWP_NOMOVE | SWP_NOOWNERZORDER);
    ApplyWindowRegion(Window(), mask.Get());

    controls_.Attach(Window(), this);
    const HBITMAP images[4] = {images_[0].Get(), images_[1].Get(), images_[2].Get(), images_[3].Get()};
    controls_.ReadButtonInfo(skin, "MAINSCREENBUTTONINFO", images);
    controls_.ReadTextInfo(skin, "TEXTINFO", images_[0].Get(), LabelItalic::WhenFieldIsFalse);
    CreatePanels(skin);
    controls_.EnableButton("BUTTON_MAIN", false);
    InvalidateRect(Window(), nullptr, TRUE);

    StartSkinAnimation(animation_, skin, "MAINSCREENANIMATION", Window(), kMainAnimationWindowName,
                       IDC_MAIN_ANIMATION);
    if (StartScanAtLaunch == 1 && ScanInProgress.load() == 0) ButtonPressed("BUTTON_SCAN");
    return true;
}

void CMainSkin::CreatePanels(const SkinFile& skin) {
    for (const SkinEntry& entry : skin.ReadNumberedSection("SUBMAINSCREENINFO")) {
        const SkinPanelLine line = ParsePanelLine(entry.value);
        auto panel = std::make_unique<CSubMainSkin>(registry_);
        if (!panel->Create(this, Window(), skin, line, entry.key)) continue;
        panels_.push_back(std::move(panel));
    }
}

void CMainSkin::ShowPanel(const std::string& name) {
    for (const auto& panel : panels_) {
        if (panel->Name() == name) {
            ShowWindow(panel->Window(), SW_SHOW);
            current_ = panel.get();
            panel->Controls().HideButton("BUTTON_SCAN", false);
            InvalidateRect(panel->Window(), nullptr, TRUE);
        } else {
            ShowWindow(panel->Window(), SW_HIDE);
        }
    }
}

void CMainSkin::SetButtonCheckOnAllPanels(const std::string& name, int state) {
    for (const auto& panel : panels_) panel->Controls().SetButtonCheck(name, state);
}

CSubMainSkin* CMainSkin::FindPanel(const std::string& name) const {
    for (const auto& panel : panels_)
        if (panel->Name() == name) return panel.get();
    return nullptr;
}

void CMainSkin::ButtonPressed(const std::string&) {}

void CMainSkin::PaintScreen(HDC dc) {
    RECT client;
    GetClientRect(Window(), &client);
    DrawSkinImage(dc, images_[0].Get(), client);
}

LRESULT CMainSkin::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleAnimationMessage(animation_, message)) return 0;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Window(), &ps);
            PaintScreen(dc);
            EndPaint(Window(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:
            DragTopLevelWindow(lParam);
            return 0;
        case WM_DESTROY:
            SendToDescendants(Window(), kPrepareToCloseMessage, 0, 0);
            break;
        default:
            break;
    }
    return CWindowBase::HandleMessage(message, wParam, lParam);
}

}  // namespace qm

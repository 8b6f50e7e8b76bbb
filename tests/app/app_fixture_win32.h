// What the window tests of quillmere.exe share: a fresh start (no settings,
// no Run value, no ignore list) and pressing the program's buttons.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "tests/app/app_driver_win32.h"

namespace qm {

namespace test {

inline constexpr const char* kSettings = "Software\\QUILLMERE";
inline constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

inline void ForgetSettings() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettings);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettings);
    test::DeleteSetting(kRun, "QUILLMERE");
}

inline void WriteFlag(const char* name) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
}

// Width and height of the default skin's mask (a BMP in the source tree).
inline SIZE MaskSize() {
    const std::string bmp = test::ReadWholeFile(std::string(QM_SOURCE_DIR) + "/resources/skin/Mask.bmp");
    if (bmp.size() < 26) return SIZE{0, 0};
    auto word = [&](std::size_t at) {
        return static_cast<LONG>(static_cast<unsigned char>(bmp[at]) | (static_cast<unsigned char>(bmp[at + 1]) << 8) |
                                 (static_cast<unsigned char>(bmp[at + 2]) << 16) |
                                 (static_cast<unsigned char>(bmp[at + 3]) << 24));
    };
    const LONG height = word(22);
    return SIZE{word(18), height < 0 ? -height : height};
}

inline int VisibleTopLevelWindows(DWORD pid) {
    struct Count {
        DWORD pid;
        int n;
    } count{pid, 0};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Count*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            char name[32] = "";
            GetClassNameA(w, name, sizeof name);
            // A button's tip is no window of its own to the user.
            if (owner == c->pid && IsWindowVisible(w) && lstrcmpiA(name, TOOLTIPS_CLASSA) != 0) ++c->n;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.n;
}

inline const char* const kTabButtons[] = {"BUTTON_MAIN", "BUTTON_IGNORED", "BUTTON_ADVSETTINGS", "BUTTON_AUTOSCAN"};

// Only `panel` shows, its tab button is disabled and the other tabs are not.
inline bool ShowsAsTab(const AppWindow& app, const std::string& panel, const std::string& button) {
    if (app.VisiblePanels() != std::vector<std::string>{panel}) return false;
    for (const char* tab : kTabButtons)
        if ((IsWindowEnabled(app.Button(tab)) != FALSE) == (button == tab)) return false;
    return true;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display: run under Xvfb with DISPLAY set";
        ForgetSettings();
        RegistryKey run;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, run.Out(), nullptr);
        DeleteFileA("ignore.lst");
    }
    void TearDown() override {
        app_.Kill();
        ForgetSettings();
    }
    // Clicks a button once it can take the click: shown, enabled, in an
    // enabled window, and the window under its centre.
    void Press(const char* button, HWND panel = nullptr) {
        HWND b = app_.Button(button, panel);
        ASSERT_NE(b, nullptr) << button;
        ASSERT_TRUE(WaitUntil([&] { return test::TakesClicks(b); })) << button << " cannot be clicked";
        ASSERT_TRUE(test::MakeForeground(GetAncestor(b, GA_ROOT))) << button << ": its window is not the active one";
        test::Click(b);
    }
    // Clicks a button at once, whatever state it is in (a press the program
    // is expected to drop).
    void PressNow(const char* button, HWND panel = nullptr) {
        HWND b = app_.Button(button, panel);
        ASSERT_NE(b, nullptr) << button;
        test::Click(b);
    }
    void ShowTab(const char* button, const char* panel) {
        Press(button);
        ASSERT_TRUE(WaitUntil([&] { return ShowsAsTab(app_, panel, button); }))
            << panel << " (" << test::InputState(app_.Main()) << "; " << TabState() << ")";
    }

    // The visible panels and the tab buttons' states, as text.
    std::string TabState() const {
        std::string text = "panels";
        for (const std::string& p : app_.VisiblePanels()) text += " " + p;
        for (const char* tab : kTabButtons)
            text += std::string(", ") + tab + (IsWindowEnabled(app_.Button(tab)) ? " enabled" : " disabled");
        return text;
    }
    // Writes `text` as a skin file in the scratch folder; its full path.
    static std::string WriteSkin(const std::string& name, const std::string& text) {
        if (!WriteWholeFile(name, text)) return "";
        char full[MAX_PATH] = "";
        GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
        return full;
    }
    // The default skin with `line` inserted after the line `after`.
    static std::string SkinWith(const std::string& after, const std::string& line) {
        std::string text = DefaultSkinText();
        const std::size_t at = text.find(after);
        if (at == std::string::npos) return "";
        text.insert(at + after.size(), "\r\n" + line);
        return text;
    }

    AppWindow app_;
};

}  // namespace test
}  // namespace qm

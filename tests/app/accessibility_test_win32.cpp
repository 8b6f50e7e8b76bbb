// What a screen reader and a pointer user get from the real quillmere.exe:
// each control's accessible name, read the way a screen reader reads it
// (oleacc's AccessibleObjectFromWindow, then IAccessible::get_accName, from
// this other process), is its visible wording, never a skin name such as
// BUTTON_SCAN; the image buttons show their wording as a tip; the close and
// minimise targets are at least 24 x 24 pixels.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/com_scope_win32.h"
#include "platform/handles_win32.h"
#include "tests/app/app_fixture_win32.h"

namespace qm {
namespace {

using test::MainWindow;
using test::WaitUntil;

// IID_IAccessible, spelled out so the test needs no import library of oleacc.
constexpr IID kAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// A string the system allocated, freed with SysFreeString.
struct SystemStringTraits {
    using Handle = BSTR;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle text) { return text != nullptr; }
    static bool Close(Handle text) {
        SysFreeString(text);
        return true;
    }
};

class ScreenReader {
public:
    ScreenReader() : oleacc_(LoadLibraryA("oleacc.dll")) {
        if (oleacc_)
            fromWindow_ = reinterpret_cast<FromWindow>(
                reinterpret_cast<void*>(GetProcAddress(oleacc_.Get(), "AccessibleObjectFromWindow")));
    }
    bool Ready() const { return fromWindow_ != nullptr; }

    // The name the control's client object gives ("<no object>" when oleacc
    // gives none).
    std::string Name(HWND control) const {
        Microsoft::WRL::ComPtr<IAccessible> object;
        if (fromWindow_ == nullptr ||
            FAILED(fromWindow_(control, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                               reinterpret_cast<void**>(object.GetAddressOf()))) ||
            object == nullptr)
            return "<no object>";
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        UniqueHandle<SystemStringTraits> name;
        std::string text;
        if (SUCCEEDED(object->get_accName(self, name.Out())) && name) {
            const int n = WideCharToMultiByte(CP_ACP, 0, name.Get(), -1, nullptr, 0, nullptr, nullptr);
            if (n > 1) {
                text.assign(static_cast<std::size_t>(n - 1), '\0');
                WideCharToMultiByte(CP_ACP, 0, name.Get(), -1, text.data(), n, nullptr, nullptr);
            }
        }
        return text;
    }

private:
    using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    ComScope com_;
    LoadedModule oleacc_;  // freed before the apartment ends
    FromWindow fromWindow_ = nullptr;
};

// A skin name: a kind prefix in capitals and "_" (BUTTON_SCAN, TEXT_..., PROGRESS_..., EDIT_...).
bool LooksLikeASkinName(const std::string& text) {
    const std::size_t bar = text.find('_');
    if (bar == std::string::npos || bar == 0) return false;
    for (std::size_t i = 0; i < bar; ++i)
        if (!std::isupper(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

std::vector<HWND> Descendants(HWND top) {
    std::vector<HWND> all;
    EnumChildWindows(
        top,
        [](HWND w, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

std::string ClassOf(HWND w) {
    char name[64] = "";
    GetClassNameA(w, name, sizeof name);
    return name;
}

// The visible tooltip window of process `pid` and the text it shows.
std::string ShownTip(DWORD pid) {
    struct Search {
        DWORD pid;
        std::string text;
    } search{pid, ""};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner != s->pid || !IsWindowVisible(w) || lstrcmpiA(ClassOf(w).c_str(), TOOLTIPS_CLASSA) != 0)
                return TRUE;
            char text[128] = "";
            SendMessageA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
            s->text = text;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.text;
}

class Accessibility : public MainWindow {
protected:
    ScreenReader reader_;
};

TEST_F(Accessibility, EachControlIsNamedByItsVisibleWording) {
    ASSERT_TRUE(reader_.Ready()) << "oleacc.dll";
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    struct Expected {
        const char* name;
        const char* panel;
        const char* wording;
    };
    const Expected expected[] = {
        {"BUTTON_SCAN", nullptr, "Start scan"},
        {"BUTTON_REMOVE", nullptr, "Repair selected"},
        {"BUTTON_EXIT", nullptr, "Close"},
        {"BUTTON_MINIMIZE", nullptr, "Minimise"},
        {"BUTTON_IGNORED", nullptr, "Ignore list"},
        {"BUTTON_ADVSETTINGS", nullptr, "Settings"},
        {"BUTTON_COM", "SUBMAIN_MAIN", "COM classes"},
        {"BUTTON_SHORTCUTS", "SUBMAIN_MAIN", "Shortcut files"},
        // The same skin name on another panel says what that panel shows.
        {"BUTTON_STARTUP", "SUBMAIN_MAIN", "Startup programs"},
        {"BUTTON_STARTUP", "SUBMAIN_ADVANCED", "Start with Windows"},
        {"BUTTON_BACKUPS", "SUBMAIN_ADVANCED", "Backups..."},
    };
    for (const Expected& e : expected) {
        HWND control = app_.Button(e.name, e.panel != nullptr ? app_.Panel(e.panel) : nullptr);
        ASSERT_NE(control, nullptr) << e.name;
        EXPECT_EQ(reader_.Name(control), e.wording) << e.name << (e.panel != nullptr ? " on " : "")
                                                    << (e.panel != nullptr ? e.panel : "");
    }
    EXPECT_EQ(reader_.Name(app_.Panel("SUBMAIN_MAIN")), "Scan areas");
    EXPECT_EQ(reader_.Name(app_.Panel("SUBMAIN_RESULT")), "Scan results");
    HWND label = FindWindowExA(app_.Panel("SUBMAIN_ADVANCED"), nullptr, "Static", "TEXT_BAKUP_COUNT");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(reader_.Name(label), "Exports kept:");

    // Edit boxes and lists show no wording of their own (a box shows what is
    // typed): each is named by what the panel says about it, never by its
    // contents.
    struct Unlabelled {
        const char* panel;
        const char* className;
        const char* wording;
    };
    const Unlabelled unlabelled[] = {
        {"SUBMAIN_SCHEDULE", "Edit", "Minutes between scans"},
        {"SUBMAIN_ADVANCED", "Edit", "Exports kept:"},
        {"SUBMAIN_RESULT", WC_LISTVIEWA, "Scan results"},
        {"SUBMAIN_IGNORED", WC_LISTVIEWA, "Ignored entries"},
        {"SUBMAIN_RESTORE", WC_LISTVIEWA, "Backups"},
    };
    for (const Unlabelled& u : unlabelled) {
        HWND panel = app_.Panel(u.panel);
        ASSERT_NE(panel, nullptr) << u.panel;
        HWND control = FindWindowExA(panel, nullptr, u.className, nullptr);
        ASSERT_NE(control, nullptr) << u.panel << " " << u.className;
        EXPECT_EQ(reader_.Name(control), u.wording) << u.panel << " " << u.className;
    }

    // Nothing the window holds is spoken as a skin name.
    int read = 0;
    for (HWND w : Descendants(main)) {
        const std::string name = reader_.Name(w);
        ++read;
        EXPECT_FALSE(LooksLikeASkinName(name)) << ClassOf(w) << " says \"" << name << "\"";
    }
    EXPECT_GT(read, 60);
}

TEST_F(Accessibility, CloseAndMinimiseShowTheirTipsAndTakeClicksAcrossTwentyFourPixels) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    ASSERT_TRUE(test::MakeForeground(main));
    for (const auto& [name, tip] : {std::pair<const char*, const char*>{"BUTTON_EXIT", "Close"},
                                    std::pair<const char*, const char*>{"BUTTON_MINIMIZE", "Minimise"}}) {
        HWND button = app_.Button(name);
        ASSERT_NE(button, nullptr) << name;
        RECT r{};
        GetWindowRect(button, &r);
        EXPECT_GE(r.right - r.left, 24) << name;
        EXPECT_GE(r.bottom - r.top, 24) << name;
        // The pointer rests on the button: its tip shows its wording.
        test::MoveMouse(POINT{r.left + 3, r.top + 3});
        test::MoveMouse(test::Centre(button));
        EXPECT_TRUE(WaitUntil([&] { return ShownTip(app_.ProcessId()) == tip; }, 10000))
            << name << ": the tip shows \"" << ShownTip(app_.ProcessId()) << "\"";
    }
    // The buttons do not overlap: the corner of each target is its own.
    HWND exit = app_.Button("BUTTON_EXIT"), minimise = app_.Button("BUTTON_MINIMIZE");
    RECT a{}, b{}, both{};
    GetWindowRect(exit, &a);
    GetWindowRect(minimise, &b);
    EXPECT_FALSE(IntersectRect(&both, &a, &b));
    // A click near the minimise target's top-left corner, well outside the
    // glyph, still minimises.
    const POINT corner{b.left + 2, b.top + 2};
    EXPECT_EQ(WindowFromPoint(corner), minimise) << "the window region takes the whole target";
    test::ClickAt(corner);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main) || IsIconic(main); }));
}

}  // namespace
}  // namespace qm

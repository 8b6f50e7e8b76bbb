// The window-system face of the restore: the message box and the file-open
// dialog, driven from a second thread as a user would (needs a display).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "control/restore_ui_win32.h"
#include "tests/support/backup_files.h"
#include "tests/support/registry_keys.h"

namespace qm {
namespace {

// The first visible dialog-class window of this process with the caption.
HWND WaitForDialog(const char* caption) {
    for (int i = 0; i < 200; ++i) {
        HWND found = nullptr;
        for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", nullptr); w != nullptr;
             w = ::FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            char text[256] = "";
            ::GetWindowTextA(w, text, sizeof text);
            if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(w) &&
                (caption == nullptr || std::string(text) == caption)) {
                found = w;
                break;
            }
        }
        if (found != nullptr) return found;
        ::Sleep(50);
    }
    return nullptr;
}

// Joins the thread; a thread still blocked in a dialog after a failed check
// is left behind instead of ending the process.
struct DialogThread {
    std::thread thread;
    template <class F>
    explicit DialogThread(F f) : thread(std::move(f)) {}
    void Join() { thread.join(); }
    ~DialogThread() {
        if (thread.joinable()) thread.detach();
    }
};

class RestoreUiWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
    }
};

TEST(RestoreUiFilter, PairsOfTextsEndedByAnEmptyOne) {
    const std::string want("XML Files (*.xml)\0*.xml\0All Files (*.*)\0*.*\0\0", 45);
    EXPECT_EQ(Win32RestoreUi::BackupFileFilter(), want);
}

TEST_F(RestoreUiWin32, MessageBoxIsCaptionedQuillmereWithTheText) {
    Win32RestoreUi ui;
    DialogThread shower([&] { ui.ShowMessage("couldn't set value Flags"); });
    HWND box = WaitForDialog("Quillmere");
    ASSERT_NE(box, nullptr);
    char text[256] = "";
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message text control
    EXPECT_EQ(std::string(text), "couldn't set value Flags");
    EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    shower.Join();
}

TEST_F(RestoreUiWin32, QuestionIsCaptionedRegistryRestorationWithYesAndNoDefaultNo) {
    Win32RestoreUi ui;
    for (const int answer : {IDYES, IDNO}) {
        bool yes = answer != IDYES;
        DialogThread asker([&] { yes = ui.Confirm("Put back what this backup holds?"); });
        HWND box = WaitForDialog("Registry Restoration");
        ASSERT_NE(box, nullptr);
        char text[256] = "";
        ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        EXPECT_EQ(std::string(text), "Put back what this backup holds?");
        EXPECT_NE(::GetDlgItem(box, IDYES), nullptr);
        EXPECT_NE(::GetDlgItem(box, IDNO), nullptr);
        // No has the focus: Enter does not put a backup back.
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &info));
        EXPECT_EQ(info.hwndFocus, ::GetDlgItem(box, IDNO));
        ::PostMessageA(box, WM_COMMAND, answer, 0);
        asker.Join();
        EXPECT_EQ(yes, answer == IDYES);
    }
}

TEST_F(RestoreUiWin32, FileDialogStartsInTheCurrentFolderAddsXmlAndKeepsTheFolder) {
    char before[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof before, before);
    test::WriteFileBytes("chosen backup.xml", "<registry/>");

    Win32RestoreUi ui;
    std::string path;
    bool chosen = false;
    DialogThread chooser([&] { chosen = ui.ChooseBackupFile(path); });
    HWND dlg = WaitForDialog(nullptr);
    ASSERT_NE(dlg, nullptr);
    // The file name box: a combo box (cmb13) in the Explorer-style dialog,
    // an edit box (edt1) in the old one.
    if (!::SetDlgItemTextA(dlg, 0x47C, "chosen backup")) ::SetDlgItemTextA(dlg, 0x480, "chosen backup");
    ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    chooser.Join();

    EXPECT_TRUE(chosen);
    EXPECT_EQ(path, std::string(before) + "\\chosen backup.xml");
    char after[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof after, after);
    EXPECT_STREQ(after, before);

    // Cancel gives false.
    DialogThread canceller([&] { chosen = ui.ChooseBackupFile(path); });
    dlg = WaitForDialog(nullptr);
    ASSERT_NE(dlg, nullptr);
    ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    canceller.Join();
    EXPECT_FALSE(chosen);
}

// The restore centre's backup is given, not asked for: no dialog waits for an answer.
TEST(RestoreUiChosenFile, IsGivenWithoutADialog) {
    Win32RestoreUi ui;
    ui.SetChosenFile("FixedOnSundayDecember062026050645.xml");
    std::string path;
    ASSERT_TRUE(ui.ChooseBackupFile(path));
    EXPECT_EQ(path, "FixedOnSundayDecember062026050645.xml");
}

}  // namespace
}  // namespace qm

// What the restore shows the user, behind an interface: message boxes, the
// question before a restore, the wait cursor and the file-open dialog. The window system's implementation
// is in control/restore_ui_win32.h; RecordingRestoreUi keeps the texts for the
// command line and for tests.
#pragma once

#include <string>
#include <vector>

namespace qm {

class IRestoreUi {
public:
    virtual ~IRestoreUi() = default;
    // A message box with an OK button, captioned with the application title;
    // the arrow cursor is shown first. Returns when the user has closed it.
    virtual void ShowMessage(const std::string& text) = 0;
    // The wait cursor while a backup file is applied (true), the arrow again (false).
    virtual void ShowWaitCursor(bool wait) = 0;
    // The file-open dialog for a backup file. False when the user cancels.
    virtual bool ChooseBackupFile(std::string& path) = 0;
    // Asks `text` with Yes and No (what a backup puts back, before it is
    // written). True for Yes.
    virtual bool Confirm(const std::string& text) = 0;
};

// Keeps every message and question; "chooses" the file it was given (none:
// cancels) and answers Yes unless told otherwise.
class RecordingRestoreUi : public IRestoreUi {
public:
    RecordingRestoreUi() = default;
    explicit RecordingRestoreUi(std::string file) : file_(std::move(file)), haveFile_(true) {}

    void ShowMessage(const std::string& text) override { messages_.push_back(text); }
    void ShowWaitCursor(bool wait) override { waitCursor_ = wait; }
    bool ChooseBackupFile(std::string& path) override {
        ++dialogs_;
        if (!haveFile_) return false;
        path = file_;
        return true;
    }
    bool Confirm(const std::string& text) override {
        questions_.push_back(text);
        return answer_;
    }

    void SetAnswer(bool yes) { answer_ = yes; }
    const std::vector<std::string>& Questions() const { return questions_; }
    const std::vector<std::string>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }
    bool WaitCursorShown() const { return waitCursor_; }
    int DialogCount() const { return dialogs_; }

private:
    std::string file_;
    bool haveFile_ = false;
    std::vector<std::string> messages_;
    std::vector<std::string> questions_;
    bool answer_ = true;
    bool waitCursor_ = false;
    int dialogs_ = 0;
};

}  // namespace qm

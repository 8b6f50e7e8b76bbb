// Answers WM_GETTEXT and WM_GETTEXTLENGTH with a text of the control's own
// choosing (what it shows), leaving its window text (its skin name, by which
// it is found) as it is. The subclass may have made the window a Unicode one:
// the message then comes in its Unicode form and is answered in it.
#pragma once

#include <windows.h>

#include <string>

namespace qm {

// `message` is WM_GETTEXT or WM_GETTEXTLENGTH; the result is what the window
// procedure returns for it.
LRESULT AnswerWindowText(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const std::string& text);

}  // namespace qm

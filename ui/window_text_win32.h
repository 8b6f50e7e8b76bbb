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

// The name of a control that shows none of its own (an edit box shows what is
// typed, a list its rows): a static text of no size holding `wording`, made
// at (x, y) of `parent` just before the control is made. A new child goes
// last in its parent's Z-order, so the label is the window just before the
// control, where oleacc looks for an edit box's or a list's label. Visible
// (a reader skips hidden labels) yet it draws nothing. Null when `wording` is
// empty or the label could not be made; the parent destroys it with itself.
HWND CreateNameLabel(HWND parent, const std::string& wording, int x, int y);

}  // namespace qm

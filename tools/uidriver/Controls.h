// Reading and operating another process's dialog controls by id, with the
// messages Windows marshals between processes (WM_GETTEXT, CB_GETLBTEXT,
// PBM_GETPOS, BM_CLICK). Every synchronous call has a time-out, so a hung
// program fails the caller instead of hanging it.
#ifndef UIDRIVER_CONTROLS_H
#define UIDRIVER_CONTROLS_H

#include <windows.h>

#include <string>
#include <vector>

namespace uidriver {

// How long one cross-process message may take before the driver gives up.
inline constexpr DWORD kMessageTimeoutMs = 5000;

// Text of a window of any process (WM_GETTEXT; top-level captions too).
std::string WindowText(HWND hwnd);
std::string ControlText(HWND dialog, int id);
// Replaces an edit field's text, as typing over it would (WM_SETTEXT).
bool SetControlText(HWND dialog, int id, const std::string& text);

bool ControlExists(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);

// Presses a button the way a person can: only when it exists, is visible and
// enabled. The click is posted, so a message box or dialog it opens does not
// block the driver. False when the button cannot be pressed.
bool Click(HWND dialog, int id);

// Drop-down list items in the list's own (display) order.
std::vector<std::string> ComboItems(HWND dialog, int id);
// Chooses item `index` and tells the dialog the choice is complete, as a
// finished selection with mouse or keyboard does (CBN_SELENDOK).
bool ChooseComboItem(HWND dialog, int id, int index);
bool ShowDropDown(HWND dialog, int id, bool show);

// Progress bar position, or -1 when it cannot be read.
int ProgressPosition(HWND dialog, int id);

// A multi-line edit's text as lines ("\r\n" separated; no empty last line).
std::vector<std::string> SplitLines(const std::string& text);
std::vector<std::string> ControlLines(HWND dialog, int id);

// Posts a key press (down and up) to a window, as the keyboard sends it to
// the focused control; the program's dialog loop translates it.
bool PostKey(HWND target, UINT virtualKey);
// The edit field inside a drop-down combo box (where typing goes).
HWND ComboEdit(HWND dialog, int id);

}  // namespace uidriver

#endif

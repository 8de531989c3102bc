// The program's other windows: message boxes (caption, text, icon, buttons)
// and its own modal dialogs, found as "#32770" top-level windows of the
// program's process other than the main dialog.
//
// A message box's icon is told by its pixels: the icon static's id differs
// between Windows and Wine, and an icon handle means nothing in another
// process, so the driver finds the static by its SS_ICON style, copies its
// area from the screen and compares it with the system's own icons drawn
// here. Only the pixels a system icon paints opaquely take part.
#ifndef UIDRIVER_DIALOGS_H
#define UIDRIVER_DIALOGS_H

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace uidriver {

enum class IconKind { None, Stop, Information, Exclamation, Question, Unknown };
const char* IconName(IconKind kind);

// The static that carries a message box's text has this id on Windows and Wine.
inline constexpr int kMessageBoxTextId = 0xFFFF;

struct MessageBoxInfo {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
    IconKind icon = IconKind::Unknown;
    std::vector<int> buttons;  // ids of the visible buttons, in window order
};

bool IsMessageBox(HWND hwnd);
// Visible message boxes of a process.
std::vector<HWND> MessageBoxes(DWORD pid);
// Waits for a message box of the process and reads it; the icon is read once
// the box has painted it (up to the same deadline).
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, DWORD timeoutMs);
MessageBoxInfo ReadMessageBox(HWND box, DWORD iconTimeoutMs);
IconKind ClassifyIcon(HWND box);

// Presses a button of a dialog or message box and waits until the window is
// gone. False if the button cannot be pressed or the window stays.
bool AnswerAndWait(HWND dialog, int buttonId, DWORD timeoutMs);

// Waits for a visible "#32770" window of the process with this caption.
HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs);

}  // namespace uidriver

#endif

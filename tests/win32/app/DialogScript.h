// Test helpers for driving a dialog that runs its own modal loop on the test
// thread, from a second thread, as a user's input would arrive.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace testing_win {

// Runs `run` (which enters a modal loop) on this thread and `script` on a
// second thread once a visible top-level window with `caption` owned by this
// thread exists. The script gets that window. When the script returns and
// the window still exists, "Close" is enabled and pressed so that the run ends.
INT_PTR RunWithScript(const char* caption, const std::function<INT_PTR()>& run,
                      const std::function<void(HWND)>& script);

// Waits until every message posted to hWnd's thread so far has been handled:
// posts a marker position to the dialog's progress bar `idProgress` and waits
// until the dialog thread has applied it. Rounds > 1 also cover messages
// that handling the earlier ones posted in turn.
void Settle(HWND hDlg, int idProgress, int rounds = 2);

// Finds a visible dialog of `threadId` with the caption, other than `except`.
HWND FindDialog(DWORD threadId, const char* caption, HWND except = nullptr, DWORD timeoutMs = 5000);

std::string WindowText(HWND hWnd);
std::string ClassName(HWND hWnd);

// Pumps this thread's messages until done() or the timeout; true if done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

}  // namespace testing_win

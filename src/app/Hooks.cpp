#include "app/Hooks.h"

#include <string>

#include <windows.h>

#include "app/FlashDlg.h"
#include "res/resource.h"
#include "win/Controls.h"

CFlashDlg* g_pMainDlg = nullptr;
volatile std::uint8_t g_bTerminate = 0;

namespace {

CWindow Control(int id) { return g_pMainDlg->Item(id); }

}  // namespace

void CBSetAuxText(const char* text) {
    // The main dialog has no control 1013; the hook then has no effect.
    const CWindow aux = Control(IDC_AUX_TEXT);
    if (aux.IsAttached()) aux.SetWindowText(text);
}

void CBSetRevision(const char* text) { Control(IDC_REVISION).SetWindowText(text); }

void CBSetDriveName(const char* text) { Control(IDC_DRIVE_LIST).SetWindowText(text); }

int CBGetDriveName(char* buffer) { return Control(IDC_DRIVE_LIST).GetWindowText(buffer, 50); }

void CBShowMessage(const char* message) {
    // The log box is the only place a user reads why a flash failed, so every
    // line is kept: the whole text is read back, however long it has grown.
    const CEdit log(Control(IDC_LOG).GetSafeHwnd());
    int length = log.GetWindowTextLength();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = log.GetWindowText(text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    if (!text.empty()) text += "\r\n";
    text += message;
    log.SetWindowText(text.c_str());
    log.LineScroll(log.GetLineCount());
}

void CBShowStatus(const char* text) { Control(IDC_STATUS).SetWindowText(text); }

// The transfer sets the bar twice per chunk; the worker does not wait for
// the dialog's thread to take each position (see CProgressPacer).
int CBSetProgress(int position) { return g_pMainDlg->ProgressBar().QueuePos(position); }

void CBIdle(void) {}

std::uint8_t CBIfTerminated(void) { return g_bTerminate; }

#include "app/Hooks.h"

#include <string>

#include "res/resource.h"

volatile std::uint8_t g_bTerminate = 0;

namespace {

const CHookTarget& Target(void* target) { return *static_cast<const CHookTarget*>(target); }
CWindow Control(void* target, int id) { return Target(target).dialog.Item(id); }

}  // namespace

void CBSetAuxText(void* target, const char* text) {
    // The main dialog has no control 1013; the hook then has no effect.
    const CWindow aux = Control(target, IDC_AUX_TEXT);
    if (aux.IsAttached()) aux.SetWindowText(text);
}

void CBSetRevision(void* target, const char* text) { Control(target, IDC_REVISION).SetWindowText(text); }

void CBSetDriveName(void* target, const char* text) { Control(target, IDC_DRIVE_LIST).SetWindowText(text); }

int CBGetDriveName(void* target, char* buffer) { return Control(target, IDC_DRIVE_LIST).GetWindowText(buffer, 50); }

void CBShowMessage(void* target, const char* message) {
    // The log box is the only place a user reads why a flash failed, so every
    // line is kept: the whole text is read back, however long it has grown.
    const CEdit& log = Target(target).logBox;
    std::string text = log.GetWindowTextString();
    if (!text.empty()) text += "\r\n";
    text += message;
    log.SetWindowText(text.c_str());
    log.LineScroll(log.GetLineCount());
}

void CBShowStatus(void* target, const char* text) { Control(target, IDC_STATUS).SetWindowText(text); }

// The transfer sets the bar twice per chunk; the worker does not wait for
// the dialog's thread to take each position (see CProgressPacer).
int CBSetProgress(void* target, int position) { return Target(target).pProgress->QueuePos(position); }

void CBIdle(void*) {}

std::uint8_t CBIfTerminated(void*) { return g_bTerminate; }

UiHooks MainDialogHooks(CHookTarget* target) {
    return UiHooks{target,         CBSetAuxText,  CBSetRevision, CBSetDriveName, CBGetDriveName,
                   CBShowMessage,  CBShowStatus,  CBSetProgress, CBIdle,         CBIfTerminated};
}

#include "app/Hooks.h"

#include <string>

#include <windows.h>
#include <commctrl.h>

#include "app/FlashDlg.h"
#include "res/resource.h"

CFlashDlg* g_pMainDlg = nullptr;
volatile std::uint8_t g_bTerminate = 0;

namespace {

HWND Control(int id) { return ::GetDlgItem(g_pMainDlg->GetSafeHwnd(), id); }

void SetControlText(int id, const char* text) { ::SetWindowTextA(Control(id), text); }

}  // namespace

void CBSetAuxText(const char* text) {
    // The main dialog has no control 1013; the hook then has no effect.
    HWND hAux = Control(IDC_AUX_TEXT);
    if (hAux != nullptr) ::SetWindowTextA(hAux, text);
}

void CBSetRevision(const char* text) { SetControlText(IDC_REVISION, text); }

void CBSetDriveName(const char* text) { SetControlText(IDC_DRIVE_LIST, text); }

int CBGetDriveName(char* buffer) { return ::GetWindowTextA(Control(IDC_DRIVE_LIST), buffer, 50); }

void CBShowMessage(const char* message) {
    // The log box is the only place a user reads why a flash failed, so every
    // line is kept: the whole text is read back, however long it has grown.
    HWND hLog = Control(IDC_LOG);
    int length = ::GetWindowTextLengthA(hLog);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = ::GetWindowTextA(hLog, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    if (!text.empty()) text += "\r\n";
    text += message;
    ::SetWindowTextA(hLog, text.c_str());
    LRESULT lines = ::SendMessageA(hLog, EM_GETLINECOUNT, 0, 0);
    ::SendMessageA(hLog, EM_LINESCROLL, 0, lines);
}

void CBShowStatus(const char* text) { SetControlText(IDC_STATUS, text); }

int CBSetProgress(int position) {
    return static_cast<int>(::SendMessageA(Control(IDC_PROGRESS), PBM_SETPOS, position, 0));
}

void CBIdle(void) {}

std::uint8_t CBIfTerminated(void) { return g_bTerminate; }

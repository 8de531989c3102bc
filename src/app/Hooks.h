// The UI hooks through which the flashing engine shows progress, status and
// log lines, and asks whether to stop. Plain functions: they find the main
// dialog through g_pMainDlg and look the control up by id on every call.
//
// Thread safety: callable from the worker thread while the dialog thread runs
// its modal loop. Each control operation is a message sent to the dialog's
// thread, so every effect has happened, in call order, when a hook returns.
#pragma once

#include <cstdint>

class CFlashDlg;

extern CFlashDlg* g_pMainDlg;
// Abort flag, polled by the engine. Nothing in the program sets it; the
// worker clears it when a run ends.
extern volatile std::uint8_t g_bTerminate;

void CBSetAuxText(const char* text);
void CBSetRevision(const char* text);
void CBSetDriveName(const char* text);
int CBGetDriveName(char* buffer);  // buffer of at least 50 bytes
void CBShowMessage(const char* message);
void CBShowStatus(const char* text);
int CBSetProgress(int position);
void CBIdle(void);
std::uint8_t CBIfTerminated(void);

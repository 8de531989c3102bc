// The UI hooks through which the flashing engine shows progress, status and
// log lines, and asks whether to stop. Plain functions: each is handed the
// hook table's context, a CHookTarget naming the main dialog's controls, and
// looks the control up by id on every call. They know the controls, not the
// dialog.
//
// Thread safety: callable from the worker thread while the dialog thread runs
// its modal loop. Each control operation is a message sent to the dialog's
// thread, so every effect has happened, in call order, when a hook returns.
#pragma once

#include <cstdint>

#include "app/ProgressPacer.h"
#include "flash/UiHooks.h"
#include "win/Controls.h"

// What the hooks act on: the main dialog (whose controls they look up by id),
// its log box and the pacer of its progress bar.
struct CHookTarget {
    CWindow dialog;
    CEdit logBox;
    CProgressPacer* pProgress;
};

// The design's abort byte, polled by the engine through CBIfTerminated.
// Nothing in the program sets it; the worker clears it when a run ends.
extern volatile std::uint8_t g_bTerminate;

void CBSetAuxText(void* target, const char* text);
void CBSetRevision(void* target, const char* text);
void CBSetDriveName(void* target, const char* text);
int CBGetDriveName(void* target, char* buffer);  // buffer of at least 50 bytes
void CBShowMessage(void* target, const char* message);
void CBShowStatus(void* target, const char* text);
int CBSetProgress(void* target, int position);
void CBIdle(void* target);
std::uint8_t CBIfTerminated(void* target);

// The table of the hooks above, acting on `target`.
UiHooks MainDialogHooks(CHookTarget* target);

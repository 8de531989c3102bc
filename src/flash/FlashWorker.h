// FlashWorkerProc: the worker thread of one upgrade (Windows). It takes the
// main dialog's FlashJob, runs the flash on its own copy and gives the dialog
// back its "Close" button. "Upgrade" stays disabled for the rest of the run
// of the program.
#pragma once

#include "flash/EngineSeams.h"

// The engine services the worker runs with: the real ones in the program.
// Tests put a recording sleep (and a virtual drive) here before the worker
// starts.
extern EngineSeams g_WorkerSeams;

unsigned __stdcall FlashWorkerProc(void* pMainDlg);

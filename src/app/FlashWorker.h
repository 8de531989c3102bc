// FlashWorkerProc: the worker thread of one upgrade (Windows). It is handed
// what it uses and no more: the job, the platform the engine sends its
// commands through, and a callback that tells the one who started it where
// the run stands. It runs the flash on the engine's own copy of the job.
#pragma once

#include "flash/FlashJob.h"
#include "platform/Platform.h"

struct FlashWorkerStart {
    const FlashJob* pJob;  // read once, when the run starts
    Platform* pPlatform;
    // Called on the worker's thread with true as the run starts (the main
    // dialog greys "Upgrade") and with false once it has ended (it enables
    // "Close").
    void (*pfnRunState)(void* context, bool running);
    void* pContext;
};

// `pStart` is a FlashWorkerStart that outlives the thread.
unsigned __stdcall FlashWorkerProc(void* pStart);

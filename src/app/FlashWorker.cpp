#include "app/FlashWorker.h"

#include "app/Hooks.h"
#include "flash/FlashEngine.h"

unsigned __stdcall FlashWorkerProc(void* pStart) {
    const auto& start = *static_cast<const FlashWorkerStart*>(pStart);
    start.pfnRunState(start.pContext, true);
    {
        CFlashEngine engine(*start.pJob, *start.pPlatform);
        engine.Run();
    }
    g_bTerminate = 0;
    start.pfnRunState(start.pContext, false);
    return 0;
}

#include "flash/FlashWorker.h"

#include <windows.h>

#include "app/FlashDlg.h"
#include "app/Hooks.h"
#include "flash/FlashEngine.h"
#include "res/resource.h"

EngineSeams g_WorkerSeams = DefaultEngineSeams();

unsigned __stdcall FlashWorkerProc(void*) {
    HWND hDlg = g_pMainDlg->GetSafeHwnd();
    ::EnableWindow(::GetDlgItem(hDlg, IDC_UPGRADE), FALSE);
    {
        CFlashEngine engine(g_pMainDlg->Job(), g_WorkerSeams);
        engine.Run();
    }
    g_bTerminate = 0;
    ::EnableWindow(::GetDlgItem(hDlg, IDCANCEL), TRUE);
    return 0;
}

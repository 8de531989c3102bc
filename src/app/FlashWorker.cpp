#include "app/FlashWorker.h"

#include <windows.h>

#include "app/FlashDlg.h"
#include "app/Hooks.h"
#include "flash/FlashEngine.h"
#include "res/resource.h"

unsigned __stdcall FlashWorkerProc(void* pMainDlg) {
    auto& dlg = *static_cast<CFlashDlg*>(pMainDlg);
    dlg.Item(IDC_UPGRADE).EnableWindow(FALSE);
    {
        CFlashEngine engine(dlg.Job(), dlg.GetPlatform());
        engine.Run();
    }
    g_bTerminate = 0;
    dlg.Item(IDCANCEL).EnableWindow(TRUE);
    return 0;
}

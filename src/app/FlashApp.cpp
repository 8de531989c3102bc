#include "app/FlashApp.h"

#include <windows.h>
#include <commctrl.h>

#include "app/FlashDlg.h"

bool CFlashApp::InitInstance() {
    // Register the common controls the templates use (the progress bar).
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    CFlashDlg dlg;
    dlg.DoModal(nullptr);
    return false;
}

#include "app/FlashApp.h"

#include <windows.h>

#include "app/FlashDlg.h"
#include "win/SystemLibraries.h"

bool CFlashApp::InitInstance() {
    // Before any library is loaded: from here on the program takes system
    // libraries from the system folder only, never from its own folder.
    CSystemLibraries::RestrictSearchPath();
    // Register the common controls the templates use (the progress bar).
    CSystemLibraries::CommonControls();

    CFlashDlg dlg;
    dlg.DoModal(nullptr);
    return false;
}

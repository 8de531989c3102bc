// Entry point of MARROWFIN.exe.
#include <windows.h>

#include "app/FlashApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CFlashApp app;
    app.InitInstance();
    return 0;
}

// CSystemLibraries: the system libraries the program takes at run time
// instead of through its import table, each loaded by its full path in the
// system folder. A library named only by name is searched for in the
// program's folder first, so a comctl32.dll or shell32.dll put beside
// MARROWFIN.exe would run with the program's (administrator's) rights.
#pragma once

#include <windows.h>
#include <commctrl.h>

class CSystemLibraries {
public:
    // Limits every later search for a library to the system folder, where the
    // system offers that (NT family with SetDefaultDllDirectories). The 9x
    // family keeps its ordinary search, on which its ASPI layer is found.
    static void RestrictSearchPath();
    // `name` from the system folder, or nullptr.
    static HMODULE Load(const char* name);
    // comctl32 from the system folder, loaded once with its window classes
    // (the progress bar) registered; nullptr if it cannot be loaded.
    static HMODULE CommonControls();
    // comctl32's _TrackMouseEvent; FALSE when the library lacks it.
    static BOOL TrackMouseEvent(LPTRACKMOUSEEVENT tme);
};

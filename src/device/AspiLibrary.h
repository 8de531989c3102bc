// Loading and releasing the ASPI for Win32 layer, and the two entry points the
// rest of device access calls through. Windows only; runs on the dialog thread
// (the entry points are written once there and only read afterwards, also by
// the flashing worker).
#pragma once

#include <windows.h>

#include "device/AspiDefs.h"

// Empty until LoadAspiLibrary finds them; emptied again by ReleaseDeviceAccess.
extern PFN_GETASPI32SUPPORTINFO GetASPI32SupportInfo;
extern PFN_SENDASPI32COMMAND SendASPI32Command;

// Seams, real by default: the message box the loader reports through, and the
// name it loads ("WNASPI32").
typedef int(WINAPI* PFN_MESSAGEBOXA)(HWND, LPCSTR, LPCSTR, UINT);
extern PFN_MESSAGEBOXA g_pfnAspiMessageBox;
extern const char* g_pszAspiLibraryName;

// The main dialog's LoadAspiLibrary. On TransportPassThrough answers TRUE and
// loads nothing. Otherwise loads the layer into *phAspi and looks up both
// entry points; answers FALSE after a message box owned by hOwner when the
// layer or an entry point is missing. A layer without both entry points stays
// loaded in *phAspi until ReleaseDeviceAccess.
BOOL LoadAspiLibrary(HWND hOwner, BYTE transport, HMODULE* phAspi);

// The main dialog's ReleaseDeviceAccess: frees the layer if *phAspi holds it,
// then empties *phAspi and the entry points. Always TRUE.
BOOL ReleaseDeviceAccess(HMODULE* phAspi);

// Loading and releasing the ASPI for Win32 layer. Windows only; runs on the
// dialog thread. The two entry points are kept in the Platform the layer was
// loaded through; they are written once there and only read afterwards, also
// by the flashing worker.
#pragma once

#include <windows.h>

#include "platform/Platform.h"

// The name the layer is loaded by.
constexpr char kAspiLibraryName[] = "WNASPI32";

// The main dialog's LoadAspiLibrary. On TransportPassThrough answers TRUE and
// loads nothing. Otherwise loads the layer into *phAspi and looks up both
// entry points into `platform`; answers FALSE after a message box owned by
// hOwner when the layer or an entry point is missing. A layer without both
// entry points stays loaded in *phAspi until ReleaseDeviceAccess.
BOOL LoadAspiLibrary(Platform& platform, HWND hOwner, BYTE transport, HMODULE* phAspi);

// The main dialog's ReleaseDeviceAccess: frees the layer if *phAspi holds it,
// then empties *phAspi and the entry points. Always TRUE.
BOOL ReleaseDeviceAccess(Platform& platform, HMODULE* phAspi);

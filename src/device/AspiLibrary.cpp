// Run-time loading of the ASPI layer.
#include "device/AspiLibrary.h"

#include "device/ScsiTypes.h"

PFN_GETASPI32SUPPORTINFO GetASPI32SupportInfo = nullptr;
PFN_SENDASPI32COMMAND SendASPI32Command = nullptr;

PFN_MESSAGEBOXA g_pfnAspiMessageBox = MessageBoxA;
const char* g_pszAspiLibraryName = "WNASPI32";

BOOL LoadAspiLibrary(HWND hOwner, BYTE transport, HMODULE* phAspi) {
    if (transport == TransportPassThrough) {
        return TRUE;
    }
    *phAspi = LoadLibraryA(g_pszAspiLibraryName);
    if (*phAspi == nullptr) {
        g_pfnAspiMessageBox(hOwner, "No find the dynamic library!!", "Error!!", MB_ICONINFORMATION);
        return FALSE;
    }
    // GetProcAddress answers a generic FARPROC; the layer's exports have the
    // published signatures.
    GetASPI32SupportInfo =
        reinterpret_cast<PFN_GETASPI32SUPPORTINFO>(reinterpret_cast<void*>(GetProcAddress(*phAspi, "GetASPI32SupportInfo")));
    SendASPI32Command =
        reinterpret_cast<PFN_SENDASPI32COMMAND>(reinterpret_cast<void*>(GetProcAddress(*phAspi, "SendASPI32Command")));
    if (GetASPI32SupportInfo != nullptr && SendASPI32Command != nullptr) {
        return TRUE;
    }
    // The answer (OK or Cancel) changes nothing.
    g_pfnAspiMessageBox(hOwner, "Cannot Load Dynamic Library!!!", "Error!", MB_OKCANCEL);
    return FALSE;
}

BOOL ReleaseDeviceAccess(HMODULE* phAspi) {
    if (*phAspi != nullptr) {
        FreeLibrary(*phAspi);
        *phAspi = nullptr;
        // The entry points lived in the module just freed.
        GetASPI32SupportInfo = nullptr;
        SendASPI32Command = nullptr;
    }
    return TRUE;
}

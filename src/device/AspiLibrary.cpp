// Run-time loading of the ASPI layer.
#include "device/AspiLibrary.h"

#include "device/ScsiTypes.h"

BOOL LoadAspiLibrary(Platform& platform, HWND hOwner, BYTE transport, HMODULE* phAspi) {
    if (transport == TransportPassThrough) {
        return TRUE;
    }
    *phAspi = platform.LoadLibraryA(kAspiLibraryName);
    if (*phAspi == nullptr) {
        platform.MessageBoxA(hOwner, "No find the dynamic library!!", "Error!!", MB_ICONINFORMATION);
        return FALSE;
    }
    // GetProcAddress answers a generic FARPROC; the layer's exports have the
    // published signatures.
    platform.GetASPI32SupportInfo = reinterpret_cast<PFN_GETASPI32SUPPORTINFO>(
        reinterpret_cast<void*>(platform.GetProcAddress(*phAspi, "GetASPI32SupportInfo")));
    platform.SendASPI32Command = reinterpret_cast<PFN_SENDASPI32COMMAND>(
        reinterpret_cast<void*>(platform.GetProcAddress(*phAspi, "SendASPI32Command")));
    if (platform.GetASPI32SupportInfo != nullptr && platform.SendASPI32Command != nullptr) {
        return TRUE;
    }
    // The answer (OK or Cancel) changes nothing.
    platform.MessageBoxA(hOwner, "Cannot Load Dynamic Library!!!", "Error!", MB_OKCANCEL);
    return FALSE;
}

BOOL ReleaseDeviceAccess(Platform& platform, HMODULE* phAspi) {
    if (*phAspi != nullptr) {
        platform.FreeLibrary(*phAspi);
        *phAspi = nullptr;
        // The entry points lived in the module just freed.
        platform.GetASPI32SupportInfo = nullptr;
        platform.SendASPI32Command = nullptr;
    }
    return TRUE;
}

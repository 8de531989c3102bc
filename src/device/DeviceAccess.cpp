// CDeviceAccess: loading the ASPI layer and the transport switch.
#include "device/DeviceAccess.h"

#include <cstring>

#include "device/ExecuteTransports.h"
#include "scsi/ScsiTypes.h"

namespace {

// Both requests carry the CDB in a 16-byte field.
constexpr std::uint8_t kMaxCdbLength = 16;

}  // namespace

BOOL CDeviceAccess::LoadAspiLibrary(HWND hOwner, BYTE transport) {
    if (transport == TransportPassThrough) {
        return TRUE;
    }
    m_hAspi = LoadLibraryA(kAspiLibraryName);
    if (m_hAspi == nullptr) {
        MessageBoxA(hOwner, "No find the dynamic library!!", "Error!!", MB_ICONINFORMATION);
        return FALSE;
    }
    // GetProcAddress answers a generic FARPROC; the layer's exports have the
    // published signatures.
    m_pfnGetASPI32SupportInfo = reinterpret_cast<PFN_GETASPI32SUPPORTINFO>(
        reinterpret_cast<void*>(GetProcAddress(m_hAspi, "GetASPI32SupportInfo")));
    m_pfnSendASPI32Command = reinterpret_cast<PFN_SENDASPI32COMMAND>(
        reinterpret_cast<void*>(GetProcAddress(m_hAspi, "SendASPI32Command")));
    if (HasAspiEntryPoints()) {
        return TRUE;
    }
    // The answer (OK or Cancel) changes nothing.
    MessageBoxA(hOwner, "Cannot Load Dynamic Library!!!", "Error!", MB_OKCANCEL);
    return FALSE;
}

BOOL CDeviceAccess::ReleaseDeviceAccess() {
    if (m_hAspi != nullptr) {
        FreeLibrary(m_hAspi);
        m_hAspi = nullptr;
        // The entry points lived in the module just freed.
        m_pfnGetASPI32SupportInfo = nullptr;
        m_pfnSendASPI32Command = nullptr;
    }
    return TRUE;
}

int CDeviceAccess::ExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                              std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport,
                              std::uint8_t* sense) {
    // Callers read sense bytes 2, 12 and 13 whatever the outcome; on ASPI
    // these zeros are all they get.
    std::memset(sense, 0, 16);
    if (cdbLength > kMaxCdbLength) {
        return 0;  // would overrun the request's CDB field; nothing is sent
    }
    if (transport != TransportAspi) {
        return ExecutePassThrough(*this, entry, flags, length, data, cdbLength, cdb, sense);
    }
    return ExecuteAspi(*this, entry, flags, length, data, cdbLength, cdb);
}

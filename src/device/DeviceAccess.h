// CDeviceAccess: the program's road to its drives (Windows). It wraps the
// Platform it is given and adds what belongs to device access: the ASPI
// layer, loaded by name on the 9x family, whose module and entry points are
// kept here and nowhere else, and the execution of one SCSI command on
// either transport over the wrapped platform's device calls. The main dialog
// owns one and hands it to discovery and to the flashing engine as their
// Platform; a test platform wrapped in one gets the program's own transports
// over its fake device calls.
//
// Thread safety: the layer is loaded and released on the dialog thread
// while no worker exists; ExecuteCmd may be called from the worker between.
#pragma once

#include <windows.h>

#include "platform/Platform.h"
#include "scsi/AspiDefs.h"

// The name the ASPI layer is loaded by.
constexpr char kAspiLibraryName[] = "WNASPI32";

class CDeviceAccess final : public PlatformWrapper {
public:
    explicit CDeviceAccess(Platform& platform) : PlatformWrapper(platform) {}
    ~CDeviceAccess() override { ReleaseDeviceAccess(); }

    CDeviceAccess(const CDeviceAccess&) = delete;
    CDeviceAccess& operator=(const CDeviceAccess&) = delete;

    // The main dialog's LoadAspiLibrary. On TransportPassThrough answers TRUE
    // and loads nothing. Otherwise loads the layer and looks up both entry
    // points; answers FALSE after a message box owned by hOwner when the
    // layer or an entry point is missing. A layer without both entry points
    // stays loaded until ReleaseDeviceAccess.
    BOOL LoadAspiLibrary(HWND hOwner, BYTE transport);
    // The main dialog's ReleaseDeviceAccess: frees the layer if it is
    // loaded and forgets its entry points. Always TRUE.
    BOOL ReleaseDeviceAccess();

    HMODULE AspiModule() const { return m_hAspi; }
    // Both entry points were found (the layer can be asked and sent to).
    bool HasAspiEntryPoints() const {
        return m_pfnGetASPI32SupportInfo != nullptr && m_pfnSendASPI32Command != nullptr;
    }
    // The layer's own two calls; only while HasAspiEntryPoints().
    std::uint32_t GetASPI32SupportInfo() const { return m_pfnGetASPI32SupportInfo(); }
    std::uint32_t SendASPI32Command(void* srb) const { return m_pfnSendASPI32Command(srb); }

    // fgExecuteCmd: one command on `transport` to `entry`, waited for.
    // Returns 1 on success, 0 on failure; sense[0..15] is cleared first and,
    // on the pass-through transport, receives the drive's sense data. A CDB
    // longer than the requests' 16-byte field is refused unsent.
    int ExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                   std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport,
                   std::uint8_t* sense) override;

private:
    HMODULE m_hAspi = nullptr;
    PFN_GETASPI32SUPPORTINFO m_pfnGetASPI32SupportInfo = nullptr;
    PFN_SENDASPI32COMMAND m_pfnSendASPI32Command = nullptr;
};

// AspiLayer: answers the ASPI for Win32 requests of an initiator from the
// virtual drives of a LayerConfig: adapter inquiry, device type, and SCSI
// commands, finished either before SendASPI32Command returns or later from
// the layer's worker thread (see Completion), and written to the record.
//
// Thread safety: the adapters and drive addresses never change after
// construction; each drive slot has a mutex held for the whole of one
// command (drive, record line, saved image), so the dialog thread and a
// worker may send at the same time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "scsi/AspiDefs.h"
#include "vdrive/VirtualDrive.h"
#include "vdrive/aspi/CompletionQueue.h"
#include "vdrive/aspi/LayerConfig.h"
#include "vdrive/aspi/RecordFile.h"

namespace vdrive::aspi {

// Published ASPI values the program itself has no use for.
constexpr std::uint8_t SS_INVALID_SRB = 0xE0;
constexpr std::uint8_t HASTAT_OK = 0x00;
constexpr std::uint8_t HASTAT_SEL_TO = 0x11;  // selection timeout: nobody answered
constexpr std::uint8_t kInitiatorScsiId = 7;

class AspiLayer {
public:
    // `source` names where the configuration came from, for the record.
    AspiLayer(const LayerConfig& config, const std::string& source);
    AspiLayer(const AspiLayer&) = delete;
    AspiLayer& operator=(const AspiLayer&) = delete;

    std::uint32_t SupportInfo() const;
    std::uint32_t Send(void* srb);
    // Hands `tap` each command's record as the drive logs it, from the
    // thread that runs the command (the drives' own logs are emptied as they go).
    void Tap(std::function<void(const CommandRecord&)> tap) { m_tap = std::move(tap); }

private:
    struct Slot {
        std::uint8_t adapter;
        std::uint8_t target;
        Completion completion;
        std::unique_ptr<VirtualDrive> drive;
        std::mutex mutex;
    };

    std::uint32_t HaInquiry(SRB_HAInquiry& srb) const;
    std::uint32_t DeviceType(SRB_GDEVBlock& srb) const;
    std::uint32_t ExecScsi(SRB_ExecSCSICmd& srb);
    Slot* FindSlot(std::uint8_t adapter, std::uint8_t target) const;
    static bool CompletesLater(const Slot& slot, const SRB_ExecSCSICmd& srb);
    // Runs the command, fills the request and notifies the initiator;
    // answers the final status (the request may be gone by then).
    std::uint32_t RunCommand(Slot& slot, SRB_ExecSCSICmd& srb, bool pending);

    std::vector<AdapterConfig> m_adapters;
    std::vector<std::unique_ptr<Slot>> m_slots;
    RecordFile m_record;
    CompletionQueue m_queue;
    std::function<void(const CommandRecord&)> m_tap;
};

}  // namespace vdrive::aspi

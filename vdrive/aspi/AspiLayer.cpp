#include "vdrive/aspi/AspiLayer.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace vdrive::aspi {
namespace {

constexpr std::uint8_t kOpWriteBuffer = 0x3B;
constexpr std::uint8_t kOpVendor = 0x95;
constexpr std::uint8_t kQualifierNotCapable = 0x60;  // peripheral qualifier 011b: no device here

template <std::size_t N>
void PutPadded(std::uint8_t (&field)[N], const std::string& text) {
    std::memset(field, ' ', N);
    std::memcpy(field, text.data(), std::min(text.size(), N));
}

// Completion notice for a finished execute request. The event handle or post
// routine is read before the final status is stored: once the initiator sees
// the status it may free the request.
struct Notice {
    HANDLE event = nullptr;
    void(ASPI_CALL* post)(void*) = nullptr;

    explicit Notice(const SRB_ExecSCSICmd& srb) {
        if ((srb.SRB_Flags & SRB_EVENT_NOTIFY) != 0) {
            event = static_cast<HANDLE>(srb.SRB_PostProc);
        } else if ((srb.SRB_Flags & SRB_POSTING) != 0) {
            post = reinterpret_cast<void(ASPI_CALL*)(void*)>(srb.SRB_PostProc);
        }
    }
};

// Stores the final status last, then tells the initiator.
std::uint32_t Finish(SRB_ExecSCSICmd& srb, std::uint8_t status, const Notice& notice) {
    std::atomic_thread_fence(std::memory_order_release);
    reinterpret_cast<volatile std::uint8_t&>(srb.SRB_Status) = status;
    if (notice.event != nullptr) SetEvent(notice.event);
    if (notice.post != nullptr) notice.post(&srb);
    return status;
}

}  // namespace

AspiLayer::AspiLayer(const LayerConfig& config, const std::string& source)
    : m_adapters(config.adapters), m_record(config.recordPath) {
    for (const DriveSlotConfig& d : config.drives) {
        auto slot = std::make_unique<Slot>();
        slot->adapter = d.adapter;
        slot->target = d.target;
        slot->completion = d.completion;
        slot->drive = std::make_unique<VirtualDrive>(d.drive);
        m_slots.push_back(std::move(slot));
    }
    m_record.Append("load config=" + source + " adapters=" + std::to_string(m_adapters.size()) +
                    " drives=" + std::to_string(m_slots.size()) + " notes=" + std::to_string(config.notes.size()));
    for (const std::string& note : config.notes) m_record.Append("note " + note);
}

std::uint32_t AspiLayer::SupportInfo() const {
    if (m_adapters.empty()) return std::uint32_t{SS_NO_ADAPTERS} << 8;
    return (std::uint32_t{SS_COMP} << 8) | static_cast<std::uint8_t>(m_adapters.size());
}

std::uint32_t AspiLayer::Send(void* request) {
    if (request == nullptr) return SS_INVALID_SRB;
    // Every request block starts with the same header; the command picks
    // the block's layout.
    auto* header = static_cast<std::uint8_t*>(request);
    switch (header[0]) {
    case SC_HA_INQUIRY:
        return HaInquiry(*static_cast<SRB_HAInquiry*>(request));
    case SC_GET_DEV_TYPE:
        return DeviceType(*static_cast<SRB_GDEVBlock*>(request));
    case SC_EXEC_SCSI_CMD:
        return ExecScsi(*static_cast<SRB_ExecSCSICmd*>(request));
    default:
        header[1] = SS_INVALID_CMD;
        return SS_INVALID_CMD;
    }
}

std::uint32_t AspiLayer::HaInquiry(SRB_HAInquiry& srb) const {
    srb.HA_Count = static_cast<std::uint8_t>(m_adapters.size());
    if (srb.SRB_HaId >= m_adapters.size()) {
        srb.SRB_Status = SS_INVALID_HA;
        return SS_INVALID_HA;
    }
    const AdapterConfig& a = m_adapters[srb.SRB_HaId];
    srb.HA_SCSI_ID = kInitiatorScsiId;
    PutPadded(srb.HA_ManagerId, "ASPI for WIN32");
    PutPadded(srb.HA_Identifier, a.name);
    std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
    srb.HA_Unique[0] = a.alignLow;
    srb.HA_Unique[3] = a.targets;
    srb.SRB_Status = SS_COMP;
    return SS_COMP;
}

std::uint32_t AspiLayer::DeviceType(SRB_GDEVBlock& srb) const {
    std::uint8_t status = SS_NO_DEVICE;
    if (srb.SRB_HaId >= m_adapters.size()) {
        status = SS_INVALID_HA;
    } else if (Slot* slot = srb.SRB_Lun == 0 ? FindSlot(srb.SRB_HaId, srb.SRB_Target) : nullptr) {
        const std::uint8_t peripheral = slot->drive->InquiryData()[0];
        // A drive that has gone away is no longer in the device table.
        const bool gone = slot->drive->HasVanished();
        if (!gone && (peripheral & 0xE0) != kQualifierNotCapable) {
            // Only the type: a qualifier-1 drive (25h) is listed as type 5,
            // and the initiator learns the rest from INQUIRY.
            srb.SRB_DeviceType = peripheral & 0x1F;
            status = SS_COMP;
        }
    }
    srb.SRB_Status = status;
    return status;
}

AspiLayer::Slot* AspiLayer::FindSlot(std::uint8_t adapter, std::uint8_t target) const {
    for (const auto& s : m_slots)
        if (s->adapter == adapter && s->target == target) return s.get();
    return nullptr;
}

bool AspiLayer::CompletesLater(const Slot& slot, const SRB_ExecSCSICmd& srb) {
    // Without an event the initiator would have to poll; such requests are
    // always finished at once.
    if ((srb.SRB_Flags & SRB_EVENT_NOTIFY) == 0 || srb.SRB_PostProc == nullptr) return false;
    switch (slot.completion) {
    case Completion::Pending:
        return true;
    case Completion::Immediate:
        return false;
    case Completion::Auto:
        break;
    }
    return srb.CDBByte[0] == kOpWriteBuffer || srb.CDBByte[0] == kOpVendor;
}

std::uint32_t AspiLayer::ExecScsi(SRB_ExecSCSICmd& srb) {
    const Notice notice(srb);
    srb.SRB_HaStat = HASTAT_OK;
    srb.SRB_TargStat = 0;
    if (srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > sizeof srb.CDBByte) return Finish(srb, SS_INVALID_SRB, notice);
    if (srb.SRB_HaId >= m_adapters.size()) return Finish(srb, SS_INVALID_HA, notice);
    Slot* slot = srb.SRB_Lun == 0 ? FindSlot(srb.SRB_HaId, srb.SRB_Target) : nullptr;
    if (slot == nullptr) {
        srb.SRB_HaStat = HASTAT_SEL_TO;
        return Finish(srb, SS_NO_DEVICE, notice);
    }

    if (CompletesLater(*slot, srb)) {
        // Pending must be visible before the worker can store the outcome.
        srb.SRB_Status = SS_PENDING;
        SRB_ExecSCSICmd* request = &srb;
        if (m_queue.Post([this, slot, request] { RunCommand(*slot, *request, true); })) return SS_PENDING;
        // No worker: finish it here instead.
    }
    return RunCommand(*slot, srb, false);
}

std::uint32_t AspiLayer::RunCommand(Slot& slot, SRB_ExecSCSICmd& srb, bool pending) {
    const Notice notice(srb);
    std::uint8_t status = SS_COMP;
    {
        std::lock_guard<std::mutex> lock(slot.mutex);
        const std::uint32_t savesBefore = slot.drive->SaveCount();
        const Result result =
            slot.drive->Execute(srb.CDBByte, srb.SRB_CDBLen, srb.SRB_Flags, srb.SRB_BufPointer, srb.SRB_BufLen);

        // The drive keeps a log of its own; the layer passes each record on
        // and empties it, so the log never grows with a long download.
        const CommandLog log = slot.drive->Log();
        slot.drive->ClearLog();
        if (log.Size() != 0) {
            m_record.Append(FormatCommandLine(slot.adapter, slot.target, log.Records().back(), pending));
            if (m_tap) m_tap(log.Records().back());
        }
        if (slot.drive->SaveCount() != savesBefore) {
            const std::vector<std::uint8_t> image = slot.drive->SavedImage();
            const std::string name = SavedImageName(slot.adapter, slot.target);
            if (m_record.WriteBeside(name, image)) {
                m_record.Append(FormatSavedLine(slot.adapter, slot.target, image, name));
            }
        }

        if (result.transportFailure) {
            srb.SRB_HaStat = HASTAT_SEL_TO;
            status = SS_ERR;
        } else if (result.IsCheckCondition()) {
            srb.SRB_TargStat = kStatusCheckCondition;
            // Never more than the request's sense area, whatever it asks for.
            const std::size_t count =
                std::min({std::size_t{srb.SRB_SenseLen}, sizeof srb.SenseArea, result.senseData.size()});
            std::memcpy(srb.SenseArea, result.senseData.data(), count);
            status = SS_ERR;
        }
    }
    return Finish(srb, status, notice);
}

}  // namespace vdrive::aspi

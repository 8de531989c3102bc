// Discovery through ASPI: every target of every host adapter the layer knows.
#include <cstring>

#include "scsi/AspiDefs.h"
#include "device/DiscoveryPaths.h"
#include "device/InquiryData.h"

namespace {

// Layers that leave HA_Unique byte 3 at 0 do not say how many targets they
// have; the first two are probed.
constexpr int kDefaultTargets = 2;

// INQUIRY, allocation length 36, sent as the 12-byte CDB every caller uses.
constexpr std::uint8_t kInquiryCdb[12] = {0x12, 0x00, 0x00, 0x00, kInquiryIdentityLength, 0, 0, 0, 0, 0, 0, 0};

// Sends INQUIRY to a drive the layer reported as type 5 and fills its
// identity; false when the command fails or the data says otherwise.
bool IdentifyAspiDrive(CDeviceAccess& device, DriveEntry& entry) {
    std::uint8_t inquiry[kInquiryIdentityLength] = {};
    std::uint8_t sense[kSenseBufferSize];
    if (device.ExecuteCmd(entry, SRB_DIR_IN, sizeof inquiry, inquiry, sizeof kInquiryCdb, kInquiryCdb, TransportAspi,
                     sense) != 1 ||
        !IsOpticalDrive(inquiry)) {
        return false;
    }
    CopyDriveIdentity(entry, inquiry);
    return true;
}

}  // namespace

void DiscoverAspiDrives(CDeviceAccess& device, DriveTable& table) {
    if (!device.HasAspiEntryPoints()) {
        return;
    }
    const std::uint32_t info = device.GetASPI32SupportInfo();
    if (AspiSupportStatus(info) != SS_COMP) {
        return;
    }
    const int adapters = AspiAdapterCount(info);
    for (int ha = 0; ha < adapters; ++ha) {
        SRB_HAInquiry adapter;
        std::memset(&adapter, 0, sizeof adapter);
        adapter.SRB_Cmd = SC_HA_INQUIRY;
        adapter.SRB_HaId = static_cast<std::uint8_t>(ha);
        device.SendASPI32Command(&adapter);
        if (adapter.SRB_Status != SS_COMP) {
            continue;
        }
        const int targets = adapter.HA_Unique[3] != 0 ? adapter.HA_Unique[3] : kDefaultTargets;
        for (int id = 0; id < targets; ++id) {
            if (table.nCount >= kMaxDrives) {
                return;
            }
            SRB_GDEVBlock target;
            std::memset(&target, 0, sizeof target);
            target.SRB_Cmd = SC_GET_DEV_TYPE;
            target.SRB_HaId = static_cast<std::uint8_t>(ha);
            target.SRB_Target = static_cast<std::uint8_t>(id);
            target.SRB_Lun = 0;
            device.SendASPI32Command(&target);
            if (target.SRB_Status != SS_COMP || target.SRB_DeviceType != DTYPE_CDROM) {
                continue;
            }
            DriveEntry* entry = AllocateDriveEntry(device);
            if (entry == nullptr) {
                continue;
            }
            entry->HID = static_cast<std::uint8_t>(ha);
            entry->TID = static_cast<std::uint8_t>(id);
            entry->AlignMask = adapter.HA_Unique[0];
            if (IdentifyAspiDrive(device, *entry)) {
                table.pEntries[table.nCount++] = entry;
            } else {
                FreeDriveEntry(device, entry);  // the next drive found takes the slot
            }
        }
    }
}

// One SCSI command through IOCTL_SCSI_PASS_THROUGH_DIRECT.
//
// Alignment trap: with the direct request the adapter transfers straight
// into DataBuffer, and many adapters refuse (or corrupt) a buffer that does
// not meet their AlignmentMask. Callers hand in buffers at any address, so
// the data always travels through a bounce buffer of length + AlignMask bytes
// whose aligned start is rounded up inside it; that costs one copy each way.
#include <cstdint>
#include <cstring>

#include "device/ExecuteTransports.h"
#include "scsi/PassThroughDefs.h"
#include "scsi/ScsiTypes.h"

namespace {

constexpr std::uint32_t kPassThroughTimeoutSeconds = 65535;

}  // namespace

int ExecutePassThrough(Platform& platform, const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                       std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t* sense) {
    PassThroughRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.Spt.Cdb, cdb, cdbLength);
    record.Spt.Length = sizeof(PassThroughDirect);
    record.Spt.PathId = entry.HID;
    record.Spt.TargetId = entry.TID;
    record.Spt.Lun = 0;
    record.Spt.CdbLength = cdbLength;
    record.Spt.SenseInfoLength = kPassThroughSenseRequested;

    // length + AlignMask must not wrap: a wrapped size would give a buffer
    // too small for the copies below.
    const std::uintptr_t mask = entry.AlignMask;
    if (length > SIZE_MAX - mask) {
        return 0;
    }
    auto* raw = static_cast<std::uint8_t*>(platform.AllocBounceBuffer(static_cast<SIZE_T>(length) + mask));
    if (raw == nullptr) {
        return 0;
    }
    std::uint8_t* aligned = reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(raw) + mask) & ~mask);

    if (flags & SRB_DIR_OUT) {
        record.Spt.DataIn = kScsiIoctlDataOut;
        if (length != 0) {
            std::memcpy(aligned, data, length);
        }
    } else if (flags & SRB_DIR_IN) {
        record.Spt.DataIn = kScsiIoctlDataIn;
    }
    record.Spt.DataTransferLength = length;
    record.Spt.TimeOutValue = kPassThroughTimeoutSeconds;
    record.Spt.DataBuffer = aligned;
    record.Spt.SenseInfoOffset = kPassThroughSenseOffset;

    DWORD returned = 0;
    const BOOL ok = platform.DeviceIoControl(entry.hDevice, kIoctlScsiPassThroughDirect, &record,
                                          sizeof(PassThroughDirect), &record, sizeof record, &returned, nullptr);
    int result = 0;
    if (!ok || record.Spt.ScsiStatus != kScsiStatusGood) {
        // 24 bytes asked for; the rest of the 32 are still the zeros of the
        // cleared record.
        std::memcpy(sense, record.SenseBuf, kSenseBufferSize);
    } else {
        if ((flags & SRB_DIR_IN) && length != 0) {
            std::memcpy(data, aligned, length);
        }
        result = 1;
    }
    platform.FreeBounceBuffer(raw);
    return result;
}

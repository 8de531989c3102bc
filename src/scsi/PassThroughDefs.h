// The NT storage port requests the program exchanges with DeviceIoControl:
// control codes, the direct pass-through record and the sizes of the adapter
// queries. Written here rather than taken from <ntddscsi.h> so the portable
// core (and its Linux tests) can use them; no platform headers, no state.
//
// Layout trap: the platform checks SCSI_PASS_THROUGH_DIRECT's Length (44 on a
// 32-bit system) and reads the sense bytes at SenseInfoOffset from the start
// of the very buffer it was given, so the sense area must sit inside the same
// record, after four bytes of filler that keep it at offset 48. The asserts
// below pin this for the 32-bit build; on other builds the pointer widens the
// record and only the portable code uses it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t kIoctlScsiPassThroughDirect = 0x4D014;
constexpr std::uint32_t kIoctlScsiGetInquiryData = 0x4100C;
constexpr std::uint32_t kIoctlScsiGetCapabilities = 0x41010;

// DataIn values.
constexpr std::uint8_t kScsiIoctlDataOut = 0;
constexpr std::uint8_t kScsiIoctlDataIn = 1;

// SCSI status byte the platform hands back; anything but GOOD is a failure.
constexpr std::uint8_t kScsiStatusGood = 0x00;
constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;

// SCSI_PASS_THROUGH_DIRECT as the platform publishes it.
struct PassThroughDirect {
    std::uint16_t Length;
    std::uint8_t ScsiStatus;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;
    std::uint8_t DataIn;
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    void* DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};

// The buffer handed to the platform: the request, filler, and the sense area
// the platform fills on CHECK CONDITION.
struct PassThroughRecord {
    PassThroughDirect Spt;
    std::uint32_t Filler;
    std::uint8_t SenseBuf[32];
};

constexpr std::uint8_t kPassThroughSenseRequested = 24;

// IOCTL_SCSI_GET_INQUIRY_DATA answers into this much room; the adapter list
// walker never reads beyond it.
constexpr std::size_t kAdapterInquiryBufferSize = 2048;

// IO_SCSI_CAPABILITIES: 24 bytes, AlignmentMask (ULONG) at byte 16.
constexpr std::size_t kScsiCapabilitiesSize = 24;
constexpr std::size_t kScsiCapabilitiesAlignmentMaskOffset = 16;

constexpr std::uint32_t kPassThroughSenseOffset = 48;

static_assert(offsetof(PassThroughDirect, ScsiStatus) == 2);
static_assert(offsetof(PassThroughDirect, DataIn) == 8);
static_assert(offsetof(PassThroughDirect, DataTransferLength) == 12);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(PassThroughDirect, TimeOutValue) == 16);
static_assert(offsetof(PassThroughDirect, DataBuffer) == 20);
static_assert(offsetof(PassThroughDirect, SenseInfoOffset) == 24);
static_assert(offsetof(PassThroughDirect, Cdb) == 28);
static_assert(sizeof(PassThroughDirect) == 44);
static_assert(offsetof(PassThroughRecord, Filler) == 44);
static_assert(offsetof(PassThroughRecord, SenseBuf) == kPassThroughSenseOffset);
static_assert(sizeof(PassThroughRecord) == 80);
#endif

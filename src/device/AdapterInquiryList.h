// Walking the inquiry data list that IOCTL_SCSI_GET_INQUIRY_DATA leaves in
// its output buffer (NT 4 and earlier). Portable, no allocation; one walker
// per buffer, not shared between threads.
//
// The list is written by the port driver and is taken as untrusted: every
// count and offset in it is checked against the buffer before it is followed,
// a unit whose header does not fit ends that bus's list, inquiry bytes are
// taken only up to both InquiryDataLength and the end of the buffer, and a
// list whose NextInquiryDataOffset leads back to a unit already visited on
// the same bus ends there instead of going round for ever.
//
// Buffer layout (little-endian, natural alignment of the platform structs):
//   SCSI_ADAPTER_BUS_INFO  byte 0 NumberOfBuses; BusData[] from byte 4
//   SCSI_BUS_DATA (8)      byte 0 NumberOfLogicalUnits, 1 InitiatorBusId,
//                          4 InquiryDataOffset (from the buffer start, 0 = none)
//   SCSI_INQUIRY_DATA      byte 0 PathId, 1 TargetId, 2 Lun, 3 DeviceClaimed,
//                          4 InquiryDataLength, 8 NextInquiryDataOffset
//                          (0 = last), 12 InquiryData[]
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>

#include "device/InquiryData.h"
#include "scsi/PassThroughDefs.h"

constexpr std::size_t kBusDataOffset = 4;
constexpr std::size_t kBusDataSize = 8;
constexpr std::size_t kBusDataInquiryOffsetField = 4;
constexpr std::size_t kUnitHeaderSize = 12;

inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// One unit as the walker hands it out. InquiryData holds the unit's first
// kInquiryIdentityLength inquiry bytes; bytes the list did not supply are 0.
struct AdapterUnit {
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t InquiryData[kInquiryIdentityLength];
};

class AdapterUnitWalker {
public:
    // Walks buffer[0, size); a size above kAdapterInquiryBufferSize is
    // treated as kAdapterInquiryBufferSize. The buffer must outlive the walker.
    AdapterUnitWalker(const std::uint8_t* buffer, std::size_t size);

    // Gives the next unit, bus by bus in bus order and in list order within a
    // bus; false when the list is exhausted.
    bool Next(AdapterUnit& unit);

private:
    const std::uint8_t* m_pBuffer;
    std::size_t m_size;
    std::size_t m_buses;       // NumberOfBuses (0 for an empty buffer)
    std::size_t m_nextBus;     // next BusData element to start
    std::uint32_t m_dwOffset;  // next unit of the current bus, 0 = none
    std::bitset<kAdapterInquiryBufferSize> m_visited;  // units seen on this bus
};

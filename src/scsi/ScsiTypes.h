// The values every sender of a SCSI command shares: direction flags,
// transports and the sense buffer's size. Commands themselves go through
// Platform::ExecuteCmd.
#pragma once

#include <cstdint>

#include "scsi/DriveEntry.h"

// Direction flags: the ASPI values, used on both transports.
constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_DIR_OUT = 0x10;

// Transport, chosen once at start from the operating system family.
constexpr std::uint8_t TransportAspi = 0;         // 9x family, WNASPI32
constexpr std::uint8_t TransportPassThrough = 1;  // NT family, DeviceIoControl

constexpr int kSenseBufferSize = 32;

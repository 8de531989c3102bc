// The one operation that sends a SCSI command, as a type, and the flag values
// every caller shares. fgExecuteCmd is the real implementation (Windows); the
// flashing engine and discovery take it through this pointer type so that
// tests can put a virtual drive behind it.
#pragma once

#include <cstdint>

#include "device/DriveEntry.h"

// Direction flags: the ASPI values, used on both transports.
constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_DIR_OUT = 0x10;

// Transport, chosen once at start from the operating system family.
constexpr std::uint8_t TransportAspi = 0;         // 9x family, WNASPI32
constexpr std::uint8_t TransportPassThrough = 1;  // NT family, DeviceIoControl

constexpr int kSenseBufferSize = 32;

// Sends one command and waits for it. Returns 1 on success, 0 on failure;
// `sense` (32 bytes) receives fixed-format sense data on the pass-through
// transport and zeros otherwise.
typedef int (*PFN_EXECUTE_CMD)(const DriveEntry& entry, std::uint8_t flags,
                               std::uint32_t length, std::uint8_t* data,
                               std::uint8_t cdbLength, const std::uint8_t* cdb,
                               std::uint8_t transport, std::uint8_t* sense);

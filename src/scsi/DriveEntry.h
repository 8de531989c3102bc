// DriveEntry: one discovered optical drive, a plain value copied whole into
// the flash job. DriveTable: the drives the main dialog found, in discovery
// order. Portable; no platform headers.
#pragma once

#include <cstdint>

// A device handle as the platform gives it (a HANDLE on Windows); null when
// the drive is reached through ASPI.
typedef void* DEVICE_HANDLE;

struct DriveEntry {
    DEVICE_HANDLE hDevice;  // drive letter handle (pass-through), null on ASPI
    std::uint8_t HID;       // host adapter number, or the pass-through path id
    std::uint8_t TID;       // SCSI target id; the logical unit is always 0
    std::uint32_t AlignMask;  // data buffer alignment for pass-through
    char ModelName[32];     // INQUIRY bytes 8-31, plus the "(%d)" display suffix
    char Revision[5];       // INQUIRY bytes 32-35
};

constexpr int kMaxDrives = 8;

struct DriveTable {
    DriveEntry* pEntries[kMaxDrives];
    std::int32_t nCount;
};

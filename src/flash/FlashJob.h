// FlashJob: the record the Upgrade command fills inside the main dialog and
// the worker copies into its engine: the drive, the image, what the dialog
// showed about the drive, the UI hook table (UiHooks.h) and the transport.
// Portable.
#pragma once

#include <cstdint>

#include "scsi/DriveEntry.h"
#include "flash/UiHooks.h"

constexpr int kPathSize = 512;
constexpr int kDriveTextSize = 512;
constexpr int kRevisionTextSize = 8;

struct FlashJob {
    DriveEntry Drive;
    char szImagePath[kPathSize];
    char szDriveText[kDriveTextSize];
    char szRevision[kRevisionTextSize];
    std::uint8_t bHexImage;  // 1 = Intel-HEX ".hex", 0 = raw ".bin"
    UiHooks Hooks;
    std::uint8_t bUsePassThrough;  // Transport: TransportPassThrough 1, TransportAspi 0
};

// FlashJob: the record the Upgrade command fills inside the main dialog and
// the worker copies into its engine: the drive, the image, what the dialog
// showed about the drive, the UI hook table and the transport. Portable.
#pragma once

#include <cstdint>

#include "device/DriveEntry.h"

// UI hooks: plain functions taking at most one argument. The engine never
// sees a window; the main dialog supplies the bodies.
typedef void (*PFN_CB_TEXT)(const char* text);
typedef int (*PFN_CB_GETTEXT)(char* buffer);  // buffer of at least 50 bytes
typedef int (*PFN_CB_PROGRESS)(int position);  // answers the previous position
typedef void (*PFN_CB_IDLE)(void);
typedef std::uint8_t (*PFN_CB_TERMINATED)(void);

constexpr int kPathSize = 512;
constexpr int kDriveTextSize = 512;
constexpr int kRevisionTextSize = 8;

// The hook table, in slot order. One value, filled by the dialog and copied
// whole into the engine.
struct UiHooks {
    // Never called by the engine; the main dialog's version writes to a
    // control the dialog does not have.
    PFN_CB_TEXT CBSetAuxText;
    PFN_CB_TEXT CBSetRevision;
    PFN_CB_TEXT CBSetDriveName;
    PFN_CB_GETTEXT CBGetDriveName;
    PFN_CB_TEXT CBShowMessage;
    PFN_CB_TEXT CBShowStatus;
    PFN_CB_PROGRESS CBSetProgress;
    PFN_CB_IDLE CBIdle;
    PFN_CB_TERMINATED CBIfTerminated;
};

struct FlashJob {
    DriveEntry Drive;
    char szImagePath[kPathSize];
    char szDriveText[kDriveTextSize];
    char szRevision[kRevisionTextSize];
    std::uint8_t bHexImage;  // 1 = Intel-HEX ".hex", 0 = raw ".bin"
    UiHooks Hooks;
    std::uint8_t bUsePassThrough;  // Transport: TransportPassThrough 1, TransportAspi 0
};

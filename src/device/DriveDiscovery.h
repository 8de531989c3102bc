// Filling and emptying the main dialog's DriveTable. Windows only; runs on the
// dialog thread before any worker exists.
#pragma once

#include <windows.h>

#include "scsi/ScsiTypes.h"  // DriveTable and the transport values
#include "device/DeviceAccess.h"

// The main dialog's DiscoverDrives. Sets the count to 0, then finds the
// optical drives the transport reaches: ASPI adapters and targets
// (TransportAspi); otherwise letters c..z answering a pass-through INQUIRY,
// or with legacyNtScan letters c..y through their adapter's inquiry data
// list. Adds at most kMaxDrives entries and stops looking once the table is
// full. A letter that yields an entry keeps its handle open in the entry
// (several entries may share one); every other handle is closed at once.
// Entries already in the table are not released: call ReleaseDrives first
// when rediscovering.
void DiscoverDrives(CDeviceAccess& device, DriveTable& table, BYTE transport, BYTE legacyNtScan);

// Closes the entries' device handles (each distinct handle once), frees the
// entries and empties the table. For the end of the main dialog.
void ReleaseDrives(Platform& platform, DriveTable& table);

// The three ways of finding drives and the entry allocation they share.
// Internal to device access; DiscoverDrives (DriveDiscovery.cpp) picks one.
#pragma once

#include "scsi/DriveEntry.h"
#include "device/DeviceAccess.h"

// A zero-filled entry from the process heap, or null.
DriveEntry* AllocateDriveEntry(Platform& platform);
void FreeDriveEntry(Platform& platform, DriveEntry* entry);

void DiscoverAspiDrives(CDeviceAccess& device, DriveTable& table);
void DiscoverLetterDrives(Platform& platform, DriveTable& table);       // NT 5 and later
void DiscoverAdapterListDrives(Platform& platform, DriveTable& table);    // NT 4 and earlier

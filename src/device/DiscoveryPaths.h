// The three ways of finding drives and the entry allocation they share.
// Internal to device access; DiscoverDrives (DriveDiscovery.cpp) picks one.
#pragma once

#include "device/DriveEntry.h"
#include "platform/Platform.h"

// A zero-filled entry from the process heap, or null.
DriveEntry* AllocateDriveEntry();
void FreeDriveEntry(DriveEntry* entry);

void DiscoverAspiDrives(Platform& platform, DriveTable& table);
void DiscoverLetterDrives(Platform& platform, DriveTable& table);       // NT 5 and later
void DiscoverAdapterListDrives(Platform& platform, DriveTable& table);    // NT 4 and earlier

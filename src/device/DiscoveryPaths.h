// The three ways of finding drives and the entry allocation they share.
// Internal to device access; DiscoverDrives (DriveTable.cpp) picks one.
#pragma once

#include "device/DriveEntry.h"

// A zero-filled entry from the process heap, or null.
DriveEntry* AllocateDriveEntry();
void FreeDriveEntry(DriveEntry* entry);

void DiscoverAspiDrives(DriveTable& table);
void DiscoverLetterDrives(DriveTable& table);         // NT 5 and later
void DiscoverAdapterListDrives(DriveTable& table);    // NT 4 and earlier

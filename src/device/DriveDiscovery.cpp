// DiscoverDrives and ReleaseDrives: entry allocation, the discovery switch and release.
#include <windows.h>

#include "device/DiscoveryPaths.h"
#include "device/DriveDiscovery.h"
#include "scsi/ScsiTypes.h"

DriveEntry* AllocateDriveEntry(Platform& platform) {
    return static_cast<DriveEntry*>(platform.HeapAllocZero(sizeof(DriveEntry)));
}

void FreeDriveEntry(Platform& platform, DriveEntry* entry) { platform.HeapFree(entry); }

void DiscoverDrives(CDeviceAccess& device, DriveTable& table, BYTE transport, BYTE legacyNtScan) {
    table.nCount = 0;
    if (transport == TransportAspi) {
        DiscoverAspiDrives(device, table);
    } else if (legacyNtScan) {
        DiscoverAdapterListDrives(device, table);
    } else {
        DiscoverLetterDrives(device, table);
    }
}

void ReleaseDrives(Platform& platform, DriveTable& table) {
    for (int i = 0; i < table.nCount; ++i) {
        const HANDLE hDevice = table.pEntries[i]->hDevice;
        if (hDevice == nullptr) {
            continue;
        }
        // Entries found through one letter's adapter list share its handle.
        bool closedAlready = false;
        for (int j = 0; j < i; ++j) {
            closedAlready = closedAlready || table.pEntries[j]->hDevice == hDevice;
        }
        if (!closedAlready) {
            platform.CloseHandle(hDevice);
        }
    }
    for (int i = 0; i < table.nCount; ++i) {
        FreeDriveEntry(platform, table.pEntries[i]);
        table.pEntries[i] = nullptr;
    }
    table.nCount = 0;
}

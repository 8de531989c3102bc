// Discovery through drive letters, the two NT ways: asking each letter for
// INQUIRY data (NT 5 and later), or reading each letter's adapter inquiry
// data list (NT 4 and earlier).
// Letters a and b are floppy drives and never opened.
#include <cstring>

#include "device/AdapterInquiryList.h"
#include "device/DiscoveryPaths.h"
#include "device/InquiryData.h"
#include "scsi/PassThroughDefs.h"

namespace {

constexpr std::size_t kLetterInquiryBufferSize = 2048;
constexpr std::uint32_t kLetterAlignMask = 0x7FF;
constexpr std::uint32_t kLetterInquiryTimeoutSeconds = 2;
// INQUIRY, allocation length 127.
constexpr std::uint8_t kLetterInquiryCdb[6] = {0x12, 0x00, 0x00, 0x00, 0x7F, 0x00};

HANDLE OpenDriveLetter(Platform& platform, char letter) {
    char path[] = "\\\\.\\?:";
    path[4] = letter;
    return platform.CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
}

// Sends the discovery INQUIRY to a letter; `data` is left 0xFF where nothing
// arrived.
bool InquireLetter(Platform& platform, HANDLE hDevice, std::uint8_t* data) {
    std::memset(data, 0xFF, kLetterInquiryBufferSize);
    PassThroughRecord record;
    std::memset(&record, 0, sizeof record);
    record.Spt.Length = sizeof(PassThroughDirect);
    record.Spt.CdbLength = sizeof kLetterInquiryCdb;
    record.Spt.SenseInfoLength = kPassThroughSenseRequested;
    record.Spt.DataIn = kScsiIoctlDataIn;
    record.Spt.DataTransferLength = kLetterInquiryBufferSize;
    record.Spt.TimeOutValue = kLetterInquiryTimeoutSeconds;
    record.Spt.DataBuffer = data;
    record.Spt.SenseInfoOffset = kPassThroughSenseOffset;
    std::memcpy(record.Spt.Cdb, kLetterInquiryCdb, sizeof kLetterInquiryCdb);
    DWORD returned = 0;
    return platform.DeviceIoControl(hDevice, kIoctlScsiPassThroughDirect, &record, sizeof record, &record,
                                 sizeof record, &returned, nullptr) != FALSE;
}

// The adapter's AlignmentMask, or 0 when the adapter does not answer.
std::uint32_t QueryAlignMask(Platform& platform, HANDLE hDevice) {
    std::uint8_t capabilities[kScsiCapabilitiesSize] = {};
    DWORD returned = 0;
    if (!platform.DeviceIoControl(hDevice, kIoctlScsiGetCapabilities, nullptr, 0, capabilities, sizeof capabilities,
                               &returned, nullptr)) {
        return 0;
    }
    return ReadLe32(capabilities + kScsiCapabilitiesAlignmentMaskOffset);
}

// Adds every optical unit of the letter's adapter list; answers how many.
int AddAdapterListDrives(Platform& platform, DriveTable& table, HANDLE hDevice) {
    // Zero-filled so that bytes the driver did not write never look like units.
    std::uint8_t list[kAdapterInquiryBufferSize] = {};
    DWORD returned = 0;
    if (!platform.DeviceIoControl(hDevice, kIoctlScsiGetInquiryData, nullptr, 0, list, sizeof list, &returned,
                               nullptr)) {
        return 0;
    }
    int added = 0;
    AdapterUnitWalker walker(list, sizeof list);
    AdapterUnit unit;
    while (table.nCount < kMaxDrives && walker.Next(unit)) {
        if (!IsOpticalDrive(unit.InquiryData)) {
            continue;
        }
        DriveEntry* entry = AllocateDriveEntry(platform);
        if (entry == nullptr) {
            continue;
        }
        entry->hDevice = hDevice;
        entry->HID = unit.PathId;
        entry->TID = unit.TargetId;
        CopyDriveIdentity(*entry, unit.InquiryData);
        entry->AlignMask = QueryAlignMask(platform, hDevice);
        table.pEntries[table.nCount++] = entry;
        ++added;
    }
    return added;
}

}  // namespace

void DiscoverLetterDrives(Platform& platform, DriveTable& table) {
    for (char letter = 'c'; letter <= 'z' && table.nCount < kMaxDrives; ++letter) {
        const HANDLE hDevice = OpenDriveLetter(platform, letter);
        if (hDevice == INVALID_HANDLE_VALUE) {
            continue;
        }
        // ScsiStatus is not looked at: a letter that sent no data leaves
        // byte 0 at 0xFF and so yields no entry.
        std::uint8_t data[kLetterInquiryBufferSize];
        DriveEntry* entry = nullptr;
        if (InquireLetter(platform, hDevice, data) && IsOpticalDrive(data)) {
            entry = AllocateDriveEntry(platform);
        }
        if (entry == nullptr) {
            platform.CloseHandle(hDevice);
            continue;
        }
        entry->hDevice = hDevice;
        entry->HID = 0;
        entry->TID = 0;
        CopyDriveIdentity(*entry, data);
        entry->AlignMask = kLetterAlignMask;
        table.pEntries[table.nCount++] = entry;
    }
}

void DiscoverAdapterListDrives(Platform& platform, DriveTable& table) {
    for (char letter = 'c'; letter <= 'y' && table.nCount < kMaxDrives; ++letter) {
        const HANDLE hDevice = OpenDriveLetter(platform, letter);
        if (hDevice == INVALID_HANDLE_VALUE) {
            continue;
        }
        if (AddAdapterListDrives(platform, table, hDevice) == 0) {
            platform.CloseHandle(hDevice);
        }
    }
}

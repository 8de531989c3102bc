// INQUIRY data from a drive: any 36 bytes, zero bytes and all. The copied
// identification and revision must be terminated inside their fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "device/InquiryData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kInquiryIdentityLength) return 0;
    const std::vector<std::uint8_t> inquiry(data, data + kInquiryIdentityLength);  // ASan sees byte 36
    DriveEntry entry;
    std::memset(&entry, 0xA5, sizeof entry);
    CopyDriveIdentity(entry, inquiry.data());
    if (strnlen(entry.ModelName, sizeof entry.ModelName) > 24 || strnlen(entry.Revision, sizeof entry.Revision) > 4)
        std::abort();
    return 0;
}

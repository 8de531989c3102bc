// INQUIRY data from a drive: any 36 bytes, zero bytes and all. The copied
// identification and revision must be terminated inside their fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "device/InquiryData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kInquiryIdentityLength) return 0;
    auto* inquiry = static_cast<std::uint8_t*>(std::malloc(kInquiryIdentityLength));
    std::memcpy(inquiry, data, kInquiryIdentityLength);
    DriveEntry entry;
    std::memset(&entry, 0xA5, sizeof entry);
    CopyDriveIdentity(entry, inquiry);
    if (strnlen(entry.ModelName, sizeof entry.ModelName) > 24) std::abort();
    if (strnlen(entry.Revision, sizeof entry.Revision) > 4) std::abort();
    std::free(inquiry);
    return 0;
}

// Bounded copies of the INQUIRY identification fields.
#include "device/InquiryData.h"

static_assert(sizeof(DriveEntry::ModelName) > kInquiryModelChars);
static_assert(sizeof(DriveEntry::Revision) > kInquiryRevisionChars);

void CopyInquiryField(char* dst, const std::uint8_t* src, std::size_t maxChars) {
    std::size_t n = 0;
    for (; n < maxChars && src[n] != 0; ++n) {
        dst[n] = static_cast<char>(src[n]);
    }
    dst[n] = '\0';
}

void CopyDriveIdentity(DriveEntry& entry, const std::uint8_t* inquiry) {
    CopyInquiryField(entry.ModelName, inquiry + kInquiryModelOffset, kInquiryModelChars);
    CopyInquiryField(entry.Revision, inquiry + kInquiryRevisionOffset, kInquiryRevisionChars);
}

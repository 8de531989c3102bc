// INQUIRY identification copies: early ends at zero bytes, full fields,
// termination over stale bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/InquiryData.h"

TEST(CopyDriveIdentityTest, BoundedTerminatedFields) {
    const struct {
        std::string model, revision;  // exactly 24 and 4 bytes
        const char* expectedModel;
        const char* expectedRevision;
    } cases[] = {
        {"MARROWFN CDR-52X  SPEED ", "1.0 ", "MARROWFN CDR-52X  SPEED ", "1.0 "},  // trailing spaces kept
        {"123456789012345678901234", "WXYZ", "123456789012345678901234", "WXYZ"},  // full, no run-on
        {std::string("ACM\0E   CD-ROM 52X      ", 24), "1.00", "ACM", "1.00"},
        {std::string(24, '\0'), std::string("1\0.0", 4), "", "1"},
    };
    for (const auto& c : cases) {
        // Exactly 36 bytes on the heap: AddressSanitizer reports any read past byte 35.
        std::vector<std::uint8_t> inquiry(kInquiryIdentityLength, 0);
        std::memcpy(inquiry.data() + 8, c.model.data(), 24);
        std::memcpy(inquiry.data() + 32, c.revision.data(), 4);
        DriveEntry entry;
        std::memset(&entry, 'X', sizeof entry);
        CopyDriveIdentity(entry, inquiry.data());
        EXPECT_STREQ(c.expectedModel, entry.ModelName);
        EXPECT_STREQ(c.expectedRevision, entry.Revision);
    }
}

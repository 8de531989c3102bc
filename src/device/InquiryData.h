// Reading a drive's identification out of standard INQUIRY data: the
// device-type test and the bounded copies into a DriveEntry. Portable, pure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scsi/DriveEntry.h"

// Bytes of INQUIRY data discovery looks at: byte 0, the vendor and product
// identification (8-31) and the product revision level (32-35).
constexpr std::size_t kInquiryIdentityLength = 36;
constexpr std::size_t kInquiryModelOffset = 8;
constexpr std::size_t kInquiryModelChars = 24;
constexpr std::size_t kInquiryRevisionOffset = 32;
constexpr std::size_t kInquiryRevisionChars = 4;

// Byte 0 as a whole: peripheral qualifier 0 (connected) and device type 5.
constexpr std::uint8_t kInquiryOpticalDrive = 0x05;

inline bool IsOpticalDrive(const std::uint8_t* inquiry) { return inquiry[0] == kInquiryOpticalDrive; }

// Copies at most maxChars bytes of src into dst, stopping early at a zero
// byte, and always terminates: dst must have room for maxChars + 1.
void CopyInquiryField(char* dst, const std::uint8_t* src, std::size_t maxChars);

// Fills entry.ModelName and entry.Revision from kInquiryIdentityLength bytes
// of INQUIRY data. Trailing spaces are kept; they are part of the names.
void CopyDriveIdentity(DriveEntry& entry, const std::uint8_t* inquiry);

// DriveConfig: everything that makes one virtual drive what it is: its
// INQUIRY identity, its download buffer, how long it stays NOT READY after a
// save, its clock and its fault plan. A plain value handed to VirtualDrive.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "vdrive/FaultPlan.h"

namespace vdrive {

// Milliseconds from any fixed origin; only differences are used.
using Clock = std::function<std::uint64_t()>;

constexpr std::size_t kInquiryLength = 36;
constexpr std::uint32_t kHeaderLength = 32;
constexpr std::uint32_t kDefaultDownloadBufferSize = 1024u * 1024u + kHeaderLength;
// A 24-bit offset plus a 24-bit length never reaches past this.
constexpr std::uint32_t kMaxDownloadBufferSize = 2u * 0x1000000u;
// Long enough to be seen, shorter than the 91 s the program waits.
constexpr std::uint64_t kDefaultNotReadyMs = 60000;

using Revision = std::array<std::uint8_t, 4>;

struct DriveConfig {
    // INQUIRY byte 0: 05h is an optical drive; 00h a disk, 25h qualifier 1.
    std::uint8_t peripheral = 0x05;
    // Raw field bytes (INQUIRY bytes 8-15, 16-31, 32-35); zero bytes allowed.
    std::array<std::uint8_t, 8> vendor{};
    std::array<std::uint8_t, 16> product{};
    Revision revision{};
    // The revision the drive reports once a saved image has been programmed;
    // without it the revision stays as it was.
    std::optional<Revision> revisionAfterSave;
    std::uint32_t downloadBufferSize = kDefaultDownloadBufferSize;  // clamped to kMaxDownloadBufferSize
    std::uint64_t notReadyMs = kDefaultNotReadyMs;
    // Saves the drive had before this model of it was built (a drive whose
    // state outlives one process); the vendor block counts on from here.
    std::uint32_t savesBefore = 0;
    Clock clock;  // empty: std::chrono::steady_clock
    FaultPlan faults;

    // An optical drive from the 24-character vendor and product text and the
    // 4-character revision. Bytes are taken as given (zeros included); a
    // shorter text is padded with spaces, a longer one cut.
    static DriveConfig Optical(std::string_view identification, std::string_view revisionText);
    static Revision MakeRevision(std::string_view text);

    DriveConfig& WithRevisionAfterSave(std::string_view text);

    // The 36-byte standard INQUIRY answer for this identity.
    std::array<std::uint8_t, kInquiryLength> InquiryData() const;
};

}  // namespace vdrive

#include "vdrive/VDriveTransport.h"

#include <algorithm>
#include <cstring>

#include "vdrive/VirtualDrive.h"

namespace {

constexpr std::size_t kZeroedOnEntry = 16;   // both transports clear this much first
constexpr std::size_t kPassThroughSense = 24;  // what the pass-through request asks for

}  // namespace

int VDriveExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length,
                     std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                     std::uint8_t transport, std::uint8_t* sense) {
    if (sense != nullptr) std::memset(sense, 0, kZeroedOnEntry);
    auto* drive = static_cast<vdrive::VirtualDrive*>(entry.hDevice);
    if (drive == nullptr) return 0;

    const bool passThrough = transport != TransportAspi;
    std::uint8_t driveFlags = flags;
    if (passThrough && (flags & SRB_DIR_OUT) != 0) driveFlags = SRB_DIR_OUT;

    const vdrive::Result result = drive->Execute(cdb, cdbLength, driveFlags, data, length);
    if (result.IsGood()) return 1;

    // The pass-through transport copies its whole 32-byte sense area back
    // on failure; the drive filled at most the 24 bytes asked for.
    if (passThrough && sense != nullptr) {
        std::memset(sense, 0, kSenseBufferSize);
        if (result.IsCheckCondition()) {
            const std::size_t count = std::min(kPassThroughSense, result.senseData.size());
            std::memcpy(sense, result.senseData.data(), count);
        }
    }
    return 0;
}

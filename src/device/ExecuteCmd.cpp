// fgExecuteCmd: the transport switch.
#include "device/ExecuteCmd.h"

#include <cstring>

#include "device/ExecuteTransports.h"

namespace {

// Both requests carry the CDB in a 16-byte field.
constexpr std::uint8_t kMaxCdbLength = 16;

}  // namespace

int fgExecuteCmd(Platform& platform, const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                 std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport, std::uint8_t* sense) {
    // Callers read sense bytes 2, 12 and 13 whatever the outcome; on ASPI
    // these zeros are all they get.
    std::memset(sense, 0, 16);
    if (cdbLength > kMaxCdbLength) {
        return 0;  // would overrun the request's CDB field; nothing is sent
    }
    if (transport != TransportAspi) {
        return ExecutePassThrough(platform, entry, flags, length, data, cdbLength, cdb, sense);
    }
    return ExecuteAspi(platform, entry, flags, length, data, cdbLength, cdb);
}

// The program's commands go through the transports over this platform's own
// device calls and entry points, so a wrapper that fakes those fakes the
// commands too.
int Platform::ExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                         std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport,
                         std::uint8_t* sense) {
    return fgExecuteCmd(*this, entry, flags, length, data, cdbLength, cdb, transport, sense);
}

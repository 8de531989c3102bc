// Result and Sense: what one command to a virtual drive comes back with,
// kept apart as a transport outcome, a SCSI status and fixed-format sense
// data, so that each transport adapter can decide what its caller sees.
// Plain values; no thread-safety concerns.
#pragma once

#include <array>
#include <cstdint>

namespace vdrive {

constexpr std::uint8_t kStatusGood = 0x00;
constexpr std::uint8_t kStatusCheckCondition = 0x02;

// Fixed-format sense data: response code 70h, key in byte 2, additional
// length 10 in byte 7, ASC in byte 12, ASCQ in byte 13.
constexpr std::size_t kSenseLength = 18;

struct Sense {
    std::uint8_t key = 0;
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;

    friend bool operator==(const Sense&, const Sense&) = default;
};

// The sense the drive answers with, by situation. Injected faults default to
// kInternalTargetFailure unless the test names its own.
namespace sense {
inline constexpr Sense kNone{0x00, 0x00, 0x00};
inline constexpr Sense kInvalidOpcode{0x05, 0x20, 0x00};               // unknown command or WRITE BUFFER mode
inline constexpr Sense kInvalidFieldInCdb{0x05, 0x24, 0x00};           // bad field, offset/length out of buffer
inline constexpr Sense kInvalidFieldInParameterList{0x05, 0x26, 0x00}; // header sum disagrees with the image
inline constexpr Sense kCommandSequenceError{0x05, 0x2C, 0x00};        // save without header or without image
inline constexpr Sense kBecomingReady{0x02, 0x04, 0x01};               // programming after a save
inline constexpr Sense kInternalTargetFailure{0x04, 0x44, 0x00};       // default for injected faults
}  // namespace sense

struct Result {
    bool transportFailure = false;  // no status at all: the drive did not answer
    std::uint8_t status = kStatusGood;
    std::array<std::uint8_t, kSenseLength> senseData{};  // zero unless CHECK CONDITION
    std::uint32_t dataIn = 0;  // bytes written into the caller's buffer

    static Result Good(std::uint32_t bytesIn);
    static Result CheckCondition(Sense s);
    static Result TransportFailure();

    bool IsGood() const { return !transportFailure && status == kStatusGood; }
    bool IsCheckCondition() const { return !transportFailure && status == kStatusCheckCondition; }
    Sense GetSense() const { return Sense{senseData[2], senseData[12], senseData[13]}; }
};

inline Result Result::Good(std::uint32_t bytesIn) {
    Result r;
    r.dataIn = bytesIn;
    return r;
}

inline Result Result::CheckCondition(Sense s) {
    Result r;
    r.status = kStatusCheckCondition;
    r.senseData[0] = 0x70;
    r.senseData[2] = s.key;
    r.senseData[7] = 10;
    r.senseData[12] = s.asc;
    r.senseData[13] = s.ascq;
    return r;
}

inline Result Result::TransportFailure() {
    Result r;
    r.transportFailure = true;
    return r;
}

}  // namespace vdrive

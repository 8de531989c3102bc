// Test harness: a virtual drive with a hand-driven clock, and the CDBs the
// program sends, built here by hand so the drive is checked against bytes
// written independently of it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "device/ScsiTypes.h"
#include "vdrive/VirtualDrive.h"

namespace vdrive {
inline void PrintTo(const Sense& s, std::ostream* os) {
    *os << std::hex << int{s.key} << "/" << int{s.asc} << "/" << int{s.ascq};
}
}  // namespace vdrive

namespace vdtest {

using Cdb = std::array<std::uint8_t, 12>;
using Bytes = std::vector<std::uint8_t>;
namespace sense = vdrive::sense;

inline Cdb InquiryCdb(std::uint8_t allocation) { return {0x12, 0, 0, 0, allocation}; }
inline Cdb VendorCdb(std::uint8_t page) { return {0x95, page}; }
inline Cdb SaveCdb() { return {0x3B, 0x07}; }
inline Cdb WriteCdb(std::uint32_t offset, std::uint32_t length) {
    const auto b = [](std::uint32_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); };
    return {0x3B, 0x06, 0x00, b(offset, 16), b(offset, 8), b(offset, 0), b(length, 16), b(length, 8), b(length, 0)};
}

inline Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

inline std::uint16_t Sum(const Bytes& bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint16_t>(sum);
}

// The 32-byte header: zeros, then the image sum most significant byte first.
inline Bytes Header(std::uint16_t sum) {
    Bytes header(32, 0);
    header[30] = static_cast<std::uint8_t>(sum >> 8);
    header[31] = static_cast<std::uint8_t>(sum);
    return header;
}

inline vdrive::DriveConfig DefaultConfig() { return vdrive::DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054"); }

struct Harness {
    std::uint64_t now = 1000;
    std::unique_ptr<vdrive::VirtualDrive> drive;

    explicit Harness(vdrive::DriveConfig config = DefaultConfig()) {
        config.clock = [this] { return now; };
        drive = std::make_unique<vdrive::VirtualDrive>(std::move(config));
    }

    vdrive::Result Run(const Cdb& cdb, std::uint8_t dir, Bytes& data) {
        return drive->Execute(cdb.data(), 12, dir, data.data(), static_cast<std::uint32_t>(data.size()));
    }
    vdrive::Result In(const Cdb& cdb, Bytes& data) { return Run(cdb, SRB_DIR_IN, data); }
    vdrive::Result Write(std::uint32_t offset, Bytes data) {
        return Run(WriteCdb(offset, static_cast<std::uint32_t>(data.size())), SRB_DIR_OUT, data);
    }
    vdrive::Result Inquiry() {
        Bytes data(36);
        return In(InquiryCdb(36), data);
    }
    // Save as the program sends it: data-in, 4096 bytes, although the CDB asks for none.
    vdrive::Result Save() {
        Bytes scratch(4096, 0xEE);
        return In(SaveCdb(), scratch);
    }
    // 4096-byte chunks of the image to 32, 4128, ... (last one first when
    // `backwards`), then the header with its sum.
    void Download(const Bytes& image, bool backwards = false) {
        const std::size_t chunks = (image.size() + 4095) / 4096;
        for (std::size_t i = 0; i < chunks; ++i) {
            const std::size_t at = 4096 * (backwards ? chunks - 1 - i : i);
            const std::size_t n = std::min<std::size_t>(4096, image.size() - at);
            Write(static_cast<std::uint32_t>(32 + at), {image.begin() + at, image.begin() + at + n});
        }
        Write(0, Header(Sum(image)));
    }
};

}  // namespace vdtest

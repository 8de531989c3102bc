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

inline Cdb InquiryCdb(std::uint8_t allocation) { return {0x12, 0, 0, 0, allocation, 0, 0, 0, 0, 0, 0, 0}; }
inline Cdb VendorCdb(std::uint8_t page) { return {0x95, page, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }
inline Cdb SaveCdb() { return {0x3B, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }
inline Cdb WriteCdb(std::uint32_t offset, std::uint32_t length) {
    return {0x3B, 0x06, 0x00,
            static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset),
            static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
            0, 0, 0};
}

inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

inline std::uint16_t Sum(const std::vector<std::uint8_t>& bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint16_t>(sum);
}

inline std::vector<std::uint8_t> Header(std::uint16_t sum) {
    std::vector<std::uint8_t> header(32, 0);
    header[30] = static_cast<std::uint8_t>(sum >> 8);
    header[31] = static_cast<std::uint8_t>(sum);
    return header;
}

struct Harness {
    std::uint64_t now = 1000;
    std::unique_ptr<vdrive::VirtualDrive> drive;

    explicit Harness(vdrive::DriveConfig config = vdrive::DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054")) {
        config.clock = [this] { return now; };
        drive = std::make_unique<vdrive::VirtualDrive>(std::move(config));
    }

    vdrive::Result In(const Cdb& cdb, std::vector<std::uint8_t>& data) {
        return drive->Execute(cdb.data(), 12, SRB_DIR_IN, data.data(), static_cast<std::uint32_t>(data.size()));
    }
    vdrive::Result Out(const Cdb& cdb, std::vector<std::uint8_t> data) {
        return drive->Execute(cdb.data(), 12, SRB_DIR_OUT, data.data(), static_cast<std::uint32_t>(data.size()));
    }
    vdrive::Result Write(std::uint32_t offset, const std::vector<std::uint8_t>& data) {
        return Out(WriteCdb(offset, static_cast<std::uint32_t>(data.size())), data);
    }
    // Save as the program sends it: data-in, 4096 bytes, although the CDB asks for none.
    vdrive::Result Save() {
        std::vector<std::uint8_t> scratch(4096, 0xEE);
        return In(SaveCdb(), scratch);
    }
    // Chunks of the image to 32, 4128, ..., then the header with its sum.
    void Download(const std::vector<std::uint8_t>& image, std::size_t chunk = 4096) {
        for (std::size_t at = 0; at < image.size(); at += chunk) {
            const std::size_t n = std::min(chunk, image.size() - at);
            Write(static_cast<std::uint32_t>(32 + at), {image.begin() + at, image.begin() + at + n});
        }
        Write(0, Header(Sum(image)));
    }
};

}  // namespace vdtest

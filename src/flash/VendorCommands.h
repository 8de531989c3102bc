// Command descriptor blocks of the upgrade: the vendor command 95h and
// WRITE BUFFER (3Bh) modes 6 and 7, and the 32-byte header block. Pure
// functions, no state; safe from any thread.
#pragma once

#include <array>
#include <cstdint>

using Cdb12 = std::array<std::uint8_t, 12>;
using HeaderBlock = std::array<std::uint8_t, 32>;

constexpr std::uint8_t kOpVendorBlock = 0x95;
constexpr std::uint8_t kOpWriteBuffer = 0x3B;
constexpr std::uint8_t kWriteBufferDownloadOffsets = 0x06;
constexpr std::uint8_t kWriteBufferDownloadSave = 0x07;

constexpr std::uint32_t kChunkSize = 4096;      // one image chunk per command
constexpr std::uint32_t kHeaderSize = 32;       // header block at buffer offset 0
constexpr std::uint32_t kVendorBlockSize = 32;  // answer of the 95h command
constexpr std::uint32_t kSaveBlockSize = 4096;  // data phase of the save command
constexpr std::uint32_t kMaxField24 = 0xFFFFFF; // WRITE BUFFER offset and length

// 95 22 00 ... : sent once before the image is loaded; its answer is unused.
Cdb12 MakeVendorBlockCdb();

// WRITE BUFFER with a 24-bit buffer offset (bytes 3-5) and a 24-bit parameter
// list length (bytes 6-8), both most significant byte first; buffer id 0.
// Values above 24 bits do not fit the command: the builder answers false and
// leaves `cdb` all zero.
bool MakeWriteBufferCdb(std::uint8_t mode, std::uint32_t offset, std::uint32_t length,
                        Cdb12& cdb);

// Mode 6, length 4096: one image chunk going to buffer offset `offset`.
Cdb12 MakeChunkCdb(std::uint32_t offset);
// Mode 6, length 32: the header block going to buffer offset `offset`.
Cdb12 MakeHeaderCdb(std::uint32_t offset);
// Mode 7, offset 0, length 0: the drive takes what it received.
Cdb12 MakeDownloadSaveCdb();

// Bytes 0-29 zero, byte 30 the high and byte 31 the low byte of the sum of
// the image bytes sent; the drive compares it with what it holds.
HeaderBlock MakeHeaderBlock(std::uint16_t wSum);

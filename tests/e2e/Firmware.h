// Firmware images the tests hand to MARROWFIN.exe, and the sums a run over
// them must show: raw bytes for ".bin" files, Intel-HEX text for ".hex"
// files (64 KB segments joined by the program's own segment record).
#ifndef E2E_FIRMWARE_H
#define E2E_FIRMWARE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kSegment = 65536;
inline constexpr std::size_t kChunk = 4096;
inline constexpr std::size_t kImageBuffer = 1048576;

// Pseudo-random bytes that never hold 'A' (0x41): a filler can then not
// carry a revision text ("A0...") or an identification by chance.
Bytes Filler(std::size_t size, std::uint32_t seed);
// Writes text into the image at `at`.
void Put(Bytes& image, std::size_t at, const std::string& text);
// The image followed by 0xFF up to `size` bytes (what the program's buffer holds).
Bytes PadWithFF(const Bytes& image, std::size_t size);

// Intel-HEX text of the image: data records of 32 bytes, the segment record
// ":00000055AB" before every further 64 KB, and ":00000001FF" at the end.
std::string IntelHex(const Bytes& image);
// One record with its checksum.
std::string HexRecord(std::uint16_t address, std::uint8_t type, const std::uint8_t* data, std::size_t count);

std::uint16_t Sum16(const std::uint8_t* data, std::size_t size);
inline std::uint16_t Sum16(const Bytes& data) { return Sum16(data.data(), data.size()); }
std::uint32_t Fnv1a(const std::uint8_t* data, std::size_t size);

}  // namespace e2e

#endif

// Digests of data moved to a drive: FNV-1a 32 and the 16-bit byte sum the
// flashing procedure itself keeps. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vdrive {

constexpr std::uint32_t kFnvOffsetBasis = 0x811C9DC5u;

inline std::uint32_t Fnv1a32(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t hash = kFnvOffsetBasis;
    for (std::size_t i = 0; i < count; ++i) {
        hash ^= bytes[i];
        hash *= 0x01000193u;
    }
    return hash;
}

inline std::uint16_t Sum16(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
    return sum;
}

}  // namespace vdrive

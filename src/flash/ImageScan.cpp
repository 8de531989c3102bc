// Byte sums and the identification search over the image buffer.
#include "flash/ImageScan.h"

#include <cstring>

std::uint16_t ImageByteSum(const std::uint8_t* p, std::size_t n) {
    // A 32-bit accumulator cannot overflow for 1 MB (at most 255 * 2^20) and
    // lets the compiler add many bytes at once; the result is the same as a
    // wrapping 16-bit sum.
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += p[i];
    return static_cast<std::uint16_t>(sum);
}

bool ForwardMatch(const std::uint8_t* p, std::size_t n, const std::uint8_t* pattern,
                  int patternLength, int& count) {
    std::size_t i = 0;
    while (i < n) {
        if (count == 0) {
            // Nothing matched yet: only the first pattern byte can start one.
            const void* hit = std::memchr(p + i, pattern[0], n - i);
            if (hit == nullptr) return false;
            i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - p);
        }
        if (p[i] == pattern[count]) {
            if (++count == patternLength) return true;
        } else {
            count = 0;
        }
        ++i;
    }
    return false;
}

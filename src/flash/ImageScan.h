// Byte sums and the identification search over the image buffer. Pure
// functions; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Sum of `n` bytes, modulo 65536.
std::uint16_t ImageByteSum(const std::uint8_t* p, std::size_t n);

// Plain forward match of `pattern` (length `patternLength`) through `n`
// bytes, continuing from `count` pattern bytes already matched (so a search
// can go on across separate calls). A byte equal to pattern[count] advances
// the count; any other byte sets it to 0 and is not tried again as the first
// pattern byte. Answers true as soon as the count reaches `patternLength`.
bool ForwardMatch(const std::uint8_t* p, std::size_t n, const std::uint8_t* pattern,
                  int patternLength, int& count);

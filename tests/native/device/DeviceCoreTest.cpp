// The adapter inquiry list walk of NT 4 discovery, for well-formed lists and
// for lists whose counts and offsets point anywhere. Buffers are heap
// allocations of the exact size, so AddressSanitizer reports any read
// outside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/AdapterInquiryList.h"

namespace {

using Buffer = std::vector<std::uint8_t>;

// Writes the bytes of v that fall inside b (a unit may straddle the end).
void Put32(Buffer& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Bus(Buffer& b, std::size_t bus, std::uint32_t firstUnit) { Put32(b, 8 + 8 * bus, firstUnit); }
// A unit whose inquiry data is type 5 followed by 'A' + target.
void Unit(Buffer& b, std::size_t at, std::uint8_t path, std::uint8_t target, std::uint32_t next,
          std::uint32_t claimed = 36) {
    b.at(at) = path;
    b.at(at + 1) = target;
    Put32(b, at + 4, claimed);
    Put32(b, at + 8, next);
    for (std::size_t i = 0; i < 36 && at + 12 + i < b.size(); ++i) b[at + 12 + i] = i ? 'A' + target : 0x05;
}

// "path:target" of every unit in walk order, followed by "(n)" when only the
// first n bytes of its inquiry data were taken (the rest zero) and "(n!)"
// when bytes past them are not zero; fails a walk that does not end.
std::string Walk(const Buffer& b) {
    std::string seen;
    AdapterUnitWalker walker(b.data(), b.size());
    for (AdapterUnit u; walker.Next(u) && seen.size() < 4000;) {
        std::size_t n = 0;
        while (n < 36 && u.InquiryData[n] == (n ? 'A' + u.TargetId : 0x05)) ++n;
        const bool zeros = std::all_of(u.InquiryData + n, u.InquiryData + 36, [](std::uint8_t x) { return x == 0; });
        seen += std::to_string(u.PathId) + ":" + std::to_string(u.TargetId) +
                (n == 36 ? "" : "(" + std::to_string(n) + (zeros ? ")" : "!)")) + " ";
    }
    EXPECT_LT(seen.size(), 4000u) << "walk does not end";
    return seen;
}

// InquiryDataLength is believed only as far as the buffer goes, and bytes it
// does not cover are not taken as inquiry data.
TEST(AdapterUnitWalkerTest, BusAndListOrderAndHostileOffsets) {
    const struct { const char* name; std::size_t size; void (*build)(Buffer&); const char* expected; } cases[] = {
        {"first offset past the end skips that bus only", 2048,
         [](Buffer& b) { b[0] = 2, Bus(b, 0, 0x10000), Bus(b, 1, 100), Unit(b, 100, 1, 2, 0); }, "1:2 "},
        {"header straddles the end", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 2040), Unit(b, 2040, 0, 1, 0); }, ""},
        {"header ends at the end", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 2036), Unit(b, 2036, 0, 1, 0); }, "0:1(0) "},
        {"inquiry data cut by the end", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 2026), Unit(b, 2026, 0, 1, 0); },
         "0:1(10) "},
        {"claimed length beyond the buffer", 2048,
         [](Buffer& b) { b[0] = 1, Bus(b, 0, 100), Unit(b, 100, 0, 1, 0, 0xFFFFFFFF); }, "0:1 "},
        {"claimed 4", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 100), Unit(b, 100, 0, 1, 0, 4); }, "0:1(4) "},
        {"claimed 0", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 100), Unit(b, 100, 0, 1, 0, 0); }, "0:1(0) "},
        {"next offset past the end", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 100), Unit(b, 100, 0, 1, 0xFFFFFFF0); },
         "0:1 "},
        {"bus count beyond the bus table", 40, [](Buffer& b) { b[0] = 255, Bus(b, 1, 20), Unit(b, 20, 0, 7, 0); },
         "0:7(8) "},
        {"empty buffer", 0, [](Buffer&) {}, ""},
    };
    for (const auto& c : cases) {
        Buffer b(c.size);
        c.build(b);
        EXPECT_EQ(c.expected, Walk(b)) << c.name;
    }
}

}  // namespace

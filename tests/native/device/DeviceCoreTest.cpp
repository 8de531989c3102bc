// Portable parsing of what drives and adapters answer: the adapter inquiry
// list walk, for well-formed lists and for lists whose counts and offsets
// point anywhere, and the INQUIRY identification copies. Buffers are heap
// allocations of the exact size, so AddressSanitizer reports any read
// outside them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/AdapterInquiryList.h"
#include "device/InquiryData.h"

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

// "path:target" of every unit in walk order; fails a walk that does not end.
// `units` receives the units themselves.
std::string Walk(const Buffer& b, std::vector<AdapterUnit>* units = nullptr) {
    std::string seen;
    AdapterUnitWalker walker(b.data(), b.size());
    for (AdapterUnit unit; walker.Next(unit);) {
        if (seen.size() > 4000) {
            ADD_FAILURE() << "walk does not end";
            break;
        }
        seen += std::to_string(unit.PathId) + ":" + std::to_string(unit.TargetId) + " ";
        if (units) units->push_back(unit);
    }
    return seen;
}

TEST(AdapterUnitWalkerTest, BusAndListOrderAndHostileOffsets) {
    const struct {
        const char* name;
        std::size_t size;
        void (*build)(Buffer&);
        const char* expected;
    } cases[] = {
        {"well formed; bus 1 has no list", 2048,
         [](Buffer& b) {
             b[0] = 3, Bus(b, 0, 100), Bus(b, 2, 400);
             Unit(b, 100, 0, 0, 200), Unit(b, 200, 0, 1, 300), Unit(b, 300, 0, 5, 0), Unit(b, 400, 2, 3, 0);
         },
         "0:0 0:1 0:5 2:3 "},
        {"first offset past the end skips that bus only", 2048,
         [](Buffer& b) { b[0] = 2, Bus(b, 0, 0x10000), Bus(b, 1, 100), Unit(b, 100, 1, 2, 0); }, "1:2 "},
        {"header straddles the end", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 2040), Unit(b, 2040, 0, 1, 0); }, ""},
        {"header ends at the end", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 2036), Unit(b, 2036, 0, 1, 0); }, "0:1 "},
        {"next offset past the end", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 100), Unit(b, 100, 0, 1, 0xFFFFFFF0); },
         "0:1 "},
        {"bus count beyond the bus table", 40, [](Buffer& b) { b[0] = 255, Bus(b, 1, 20), Unit(b, 20, 0, 7, 0); }, "0:7 "},
        {"loop back to the first unit", 2048,
         [](Buffer& b) { b[0] = 1, Bus(b, 0, 100), Unit(b, 100, 0, 0, 200), Unit(b, 200, 0, 1, 100); }, "0:0 0:1 "},
        {"unit points to itself", 2048, [](Buffer& b) { b[0] = 1, Bus(b, 0, 100), Unit(b, 100, 0, 3, 100); }, "0:3 "},
        {"empty buffer", 0, [](Buffer&) {}, ""},
    };
    for (const auto& c : cases) {
        Buffer b(c.size);
        c.build(b);
        EXPECT_EQ(c.expected, Walk(b)) << c.name;
    }
}

// InquiryDataLength is believed only as far as the buffer goes, and bytes it
// does not cover are not taken as inquiry data.
TEST(AdapterUnitWalkerTest, InquiryBytesBoundedByClaimedLengthAndBuffer) {
    const struct { std::size_t at; std::uint32_t claimed; std::size_t expectedBytes; } cases[] = {
        {100, 0xFFFFFFFFu, 36}, {100, 4, 4}, {100, 0, 0}, {2048 - 12 - 10, 36, 10}};
    for (const auto& c : cases) {
        Buffer b(2048);
        b[0] = 1;
        Bus(b, 0, static_cast<std::uint32_t>(c.at));
        Unit(b, c.at, 0, 1, 0, c.claimed);
        std::vector<AdapterUnit> units;
        Walk(b, &units);
        ASSERT_EQ(1u, units.size());
        for (std::size_t i = 0; i < 36; ++i) {
            const int expected = i >= c.expectedBytes ? 0 : (i ? 'A' + 1 : 0x05);
            ASSERT_EQ(expected, units[0].InquiryData[i]) << "claimed " << c.claimed << ", byte " << i;
        }
    }
}

// The identification copies take whole fields, spaces included, without
// running on, and end at a zero byte.
TEST(CopyDriveIdentityTest, BoundedTerminatedFields) {
    const struct { std::string model, revision, expectedModel, expectedRevision; } cases[] = {  // 24 and 4 bytes
        {"MARROWFN CDR-52X  SPEED ", "1.0 ", "MARROWFN CDR-52X  SPEED ", "1.0 "},  // spaces are kept
        {"123456789012345678901234", "WXYZ", "123456789012345678901234", "WXYZ"},
        {std::string("ACM\0E   CD-ROM 52X      ", 24), std::string("1\0.0", 4), "ACM", "1"},
    };
    for (const auto& c : cases) {
        Buffer inquiry(kInquiryIdentityLength, 0);  // exactly 36 bytes
        std::memcpy(&inquiry[8], c.model.data(), 24);
        std::memcpy(&inquiry[32], c.revision.data(), 4);
        DriveEntry entry;
        std::memset(&entry, 'X', sizeof entry);  // terminated over stale bytes
        CopyDriveIdentity(entry, inquiry.data());
        EXPECT_EQ(c.expectedModel, entry.ModelName);
        EXPECT_EQ(c.expectedRevision, entry.Revision);
    }
}

}  // namespace

// VDriveExecuteCmd: the sense and data rules of the program's two transports.
#include <gtest/gtest.h>

#include <cstring>

#include "DriveHarness.h"
#include "vdrive/VDriveTransport.h"

namespace {

using namespace vdtest;
using vdrive::FaultPlan;

constexpr vdrive::Sense kHardware{0x04, 0x08, 0x03};

// Both transports clear sense bytes 0..15 first; only pass-through copies
// the drive's sense back (0..23), and on any failure it clears all 32.
TEST(VDriveTransport, FollowsTheProgramsSenseRules) {
    enum Answer { Good, CheckCondition, Vanished, NoDrive };
    const struct {
        std::uint8_t transport;
        Answer answer;
        int result;
        bool senseCopied;    // drive sense in 0..23
        bool tailUntouched;  // bytes 16..31 keep the caller's fill
    } cases[] = {
        {TransportAspi, Good, 1, false, true},
        {TransportAspi, CheckCondition, 0, false, true},
        {TransportAspi, Vanished, 0, false, true},
        {TransportAspi, NoDrive, 0, false, true},
        {TransportPassThrough, Good, 1, false, true},
        {TransportPassThrough, CheckCondition, 0, true, false},
        {TransportPassThrough, Vanished, 0, false, false},
        {TransportPassThrough, NoDrive, 0, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "transport " << int{c.transport} << ", answer " << c.answer);
        Harness h;
        if (c.answer == CheckCondition) h.drive->SetFaults(FaultPlan().FailInquiry(kHardware));
        if (c.answer == Vanished) h.drive->SetFaults(FaultPlan().VanishAfter(0));
        DriveEntry entry{};
        entry.hDevice = c.answer == NoDrive ? nullptr : h.drive.get();
        std::uint8_t sense[kSenseBufferSize];
        std::memset(sense, 0xAA, sizeof sense);
        Bytes data(36, 0xFF);
        const Cdb cdb = InquiryCdb(36);

        EXPECT_EQ(VDriveExecuteCmd(entry, SRB_DIR_IN, 36, data.data(), 12, cdb.data(), c.transport, sense), c.result);
        if (c.result == 1) {
            EXPECT_EQ(data[0], 0x05);
        } else {
            EXPECT_EQ(data, Bytes(36, 0xFF)) << "data-in buffer changed on failure";
        }
        std::uint8_t expected[kSenseBufferSize] = {};
        if (c.senseCopied) {
            expected[0] = 0x70;
            expected[2] = kHardware.key;
            expected[7] = 10;
            expected[12] = kHardware.asc;
            expected[13] = kHardware.ascq;
        }
        if (c.tailUntouched) std::memset(expected + 16, 0xAA, 16);
        for (int i = 0; i < kSenseBufferSize; ++i) EXPECT_EQ(sense[i], expected[i]) << "sense byte " << i;
    }
}

TEST(VDriveTransport, PassThroughSendsDataOutWhenBothFlagsAreSet) {
    for (std::uint8_t transport : {TransportAspi, TransportPassThrough}) {
        Harness h;
        DriveEntry entry{};
        entry.hDevice = h.drive.get();
        std::uint8_t sense[kSenseBufferSize];
        Bytes chunk = Pattern(4096, 3);
        const Cdb cdb = WriteCdb(32, 4096);

        EXPECT_EQ(VDriveExecuteCmd(entry, SRB_DIR_IN | SRB_DIR_OUT, 4096, chunk.data(), 12, cdb.data(), transport, sense),
                  1) << "transport " << int{transport};
        EXPECT_EQ(h.drive->Log()[0].dirFlags, transport == TransportPassThrough ? SRB_DIR_OUT : (SRB_DIR_IN | SRB_DIR_OUT));
        const Bytes buffer = h.drive->DownloadBuffer();
        EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), buffer.begin() + 32));
    }
}

}  // namespace

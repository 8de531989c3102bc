// VDriveExecuteCmd: the sense and data rules of the program's two transports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "DriveHarness.h"
#include "vdrive/VDriveTransport.h"

namespace {

using namespace vdtest;
using vdrive::FaultPlan;

constexpr vdrive::Sense kHardware{0x04, 0x08, 0x03};

enum class Answer { Good, CheckCondition, Vanished, NoDrive };

struct TransportCase {
    const char* what;
    std::uint8_t transport;
    Answer answer;
    int result;
    bool senseCopied;     // pass-through CHECK CONDITION: drive sense in 0..23
    bool tailUntouched;   // bytes 16..31 keep the caller's fill
};

class VDriveTransport : public ::testing::TestWithParam<TransportCase> {};

TEST_P(VDriveTransport, FollowsTheProgramsSenseRules) {
    const TransportCase& c = GetParam();
    Harness h;
    if (c.answer == Answer::CheckCondition) h.drive->SetFaults(FaultPlan().FailInquiry(kHardware));
    if (c.answer == Answer::Vanished) h.drive->SetFaults(FaultPlan().VanishAfter(0));
    DriveEntry entry{};
    entry.hDevice = c.answer == Answer::NoDrive ? nullptr : h.drive.get();
    std::uint8_t sense[kSenseBufferSize];
    std::memset(sense, 0xAA, sizeof sense);
    std::vector<std::uint8_t> data(36, 0xFF);
    const Cdb cdb = InquiryCdb(36);

    const int result = VDriveExecuteCmd(entry, SRB_DIR_IN, 36, data.data(), 12, cdb.data(), c.transport, sense);

    EXPECT_EQ(result, c.result);
    if (c.result == 1) {
        EXPECT_EQ(data[0], 0x05);
    } else {
        EXPECT_EQ(data, std::vector<std::uint8_t>(36, 0xFF)) << "data-in buffer changed on failure";
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

INSTANTIATE_TEST_SUITE_P(
    BothTransports, VDriveTransport,
    ::testing::Values(
        TransportCase{"aspi good", TransportAspi, Answer::Good, 1, false, true},
        TransportCase{"aspi check condition", TransportAspi, Answer::CheckCondition, 0, false, true},
        TransportCase{"aspi vanished", TransportAspi, Answer::Vanished, 0, false, true},
        TransportCase{"aspi no drive", TransportAspi, Answer::NoDrive, 0, false, true},
        TransportCase{"pass-through good", TransportPassThrough, Answer::Good, 1, false, true},
        TransportCase{"pass-through check condition", TransportPassThrough, Answer::CheckCondition, 0, true, false},
        TransportCase{"pass-through vanished", TransportPassThrough, Answer::Vanished, 0, false, false},
        TransportCase{"pass-through no drive", TransportPassThrough, Answer::NoDrive, 0, false, true}),
    [](const ::testing::TestParamInfo<TransportCase>& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

TEST(VDriveTransportFlags, PassThroughSendsDataOutWhenBothFlagsAreSet) {
    for (std::uint8_t transport : {TransportAspi, TransportPassThrough}) {
        Harness h;
        DriveEntry entry{};
        entry.hDevice = h.drive.get();
        std::uint8_t sense[kSenseBufferSize];
        auto chunk = Pattern(4096, 3);
        const Cdb cdb = WriteCdb(32, 4096);

        const int result = VDriveExecuteCmd(entry, SRB_DIR_IN | SRB_DIR_OUT, 4096, chunk.data(), 12,
                                            cdb.data(), transport, sense);

        EXPECT_EQ(result, 1) << "transport " << int{transport};
        const std::uint8_t seen = h.drive->Log()[0].dirFlags;
        EXPECT_EQ(seen, transport == TransportPassThrough ? SRB_DIR_OUT : (SRB_DIR_IN | SRB_DIR_OUT));
        const auto buffer = h.drive->DownloadBuffer();
        EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), buffer.begin() + 32));
    }
}

}  // namespace

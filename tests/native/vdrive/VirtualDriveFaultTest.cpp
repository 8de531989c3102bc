// The command record and the fault plans.
#include <gtest/gtest.h>

#include "DriveHarness.h"

namespace {

using namespace vdtest;
using vdrive::FaultPlan;
using vdrive::Outcome;
using vdrive::Sense;
namespace sense = vdrive::sense;

constexpr Sense kMedium{0x03, 0x0C, 0x00};
constexpr Sense kHardware{0x04, 0x08, 0x03};

TEST(VirtualDriveRecord, HoldsEveryCommandWithItsDataDigestAndOutcome) {
    Harness h;
    std::vector<std::uint8_t> inquiry(36);
    h.In(InquiryCdb(36), inquiry);
    h.Write(32, {'f', 'o', 'o', 'b', 'a', 'r'});
    h.Write(0x200000, {1, 2});  // outside the buffer

    const vdrive::CommandLog log = h.drive->Log();
    ASSERT_EQ(log.Size(), 3u);

    EXPECT_EQ(log[0].number, 1u);
    EXPECT_EQ(log[0].Opcode(), 0x12);
    EXPECT_EQ(log[0].cdb[4], 36);
    EXPECT_EQ(log[0].dirFlags, SRB_DIR_IN);
    EXPECT_EQ(log[0].inBytes, 36u);
    EXPECT_EQ(log[0].outBytes, 0u);
    EXPECT_EQ(log[0].outcome, Outcome::Good);

    EXPECT_EQ(log[1].cdbLength, 12);
    EXPECT_EQ(log[1].dirFlags, SRB_DIR_OUT);
    EXPECT_EQ(log[1].length, 6u);
    EXPECT_EQ(log[1].outFnv, 0xBF9CF968u);  // FNV-1a 32 of "foobar"
    EXPECT_EQ(log[1].outSum, 0x0279);

    EXPECT_EQ(log[2].outcome, Outcome::CheckCondition);
    EXPECT_EQ(log[2].sense, sense::kInvalidFieldInCdb);
    EXPECT_EQ(log.CountOpcode(0x3B), 2u);
    EXPECT_EQ(log.CountOutcome(Outcome::Good), 2u);
}

TEST(VirtualDriveRecord, ChunksListsAttemptsInOrderWithOffsets) {
    Harness h;
    h.drive->SetFaults(FaultPlan().FailChunkAt(4128, 1, kMedium));
    h.Download(Pattern(3 * 4096, 4));

    const auto chunks = h.drive->Log().Chunks();
    const std::vector<std::uint32_t> offsets = {32, 4128, 8224, 0};
    ASSERT_EQ(chunks.size(), offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(chunks[i].offset, offsets[i]) << i;
    EXPECT_EQ(chunks[1].outcome, Outcome::CheckCondition);
    EXPECT_EQ(chunks[1].sense, kMedium);
    EXPECT_EQ(chunks[3].length, 32u);
    EXPECT_EQ(h.drive->Log().AcceptedChunks().size(), 3u);
}

TEST(VirtualDriveFaults, FailsTheNthCommandCountingEveryCommand) {
    for (std::uint64_t n : {1u, 2u, 4u}) {
        Harness h;
        h.drive->SetFaults(FaultPlan().FailCommand(n, kHardware));
        std::vector<std::uint8_t> data(36);
        for (std::uint64_t i = 1; i <= 5; ++i) {
            const vdrive::Result r = (i % 2) ? h.In(InquiryCdb(36), data) : h.In(VendorCdb(0x22), data);
            if (i == n) {
                EXPECT_EQ(r.GetSense(), kHardware) << "command " << i << " of plan " << n;
            } else {
                EXPECT_TRUE(r.IsGood()) << "command " << i << " of plan " << n;
            }
        }
    }
}

TEST(VirtualDriveFaults, ChunkAtOffsetFailsGivenTimesThenIsStored) {
    Harness h;
    h.drive->SetFaults(FaultPlan().FailChunkAt(4128, 5, kMedium));
    const auto chunk = Pattern(4096, 8);
    for (int attempt = 1; attempt <= 5; ++attempt) {
        EXPECT_TRUE(h.Write(32, chunk).IsGood()) << "other offsets are not affected";
        const vdrive::Result r = h.Write(4128, chunk);
        EXPECT_EQ(r.GetSense(), kMedium) << "attempt " << attempt;
        EXPECT_EQ(h.drive->ImageExtent(), 32u + 4096u) << "failed chunk was stored";
    }
    EXPECT_TRUE(h.Write(4128, chunk).IsGood());
    EXPECT_EQ(h.drive->ImageExtent(), 4128u + 4096u);

    h.drive->SetFaults(FaultPlan().FailChunkAt(32, FaultPlan::kAlways, kMedium));
    for (int attempt = 0; attempt < 10; ++attempt) EXPECT_EQ(h.Write(32, chunk).GetSense(), kMedium);
}

TEST(VirtualDriveFaults, PerCommandFaultsHitOnlyTheirCommand) {
    struct Case { const char* what; FaultPlan plan; int failing; };  // 0 inquiry, 1 header, 2 save
    const Case cases[] = {{"inquiry", FaultPlan().FailInquiry(kHardware), 0},
                          {"header", FaultPlan().FailHeader(kHardware), 1},
                          {"save", FaultPlan().FailSave(kHardware), 2}};
    for (const Case& c : cases) {
        Harness h;
        h.drive->SetFaults(c.plan);
        std::vector<std::uint8_t> data(36, 0xFF);
        const vdrive::Result inquiry = h.In(InquiryCdb(36), data);
        EXPECT_TRUE(h.Write(32, Pattern(4096, 1)).IsGood()) << c.what;
        const vdrive::Result header = h.Write(0, Header(Sum(Pattern(4096, 1))));
        const vdrive::Result save = h.Save();

        EXPECT_EQ(inquiry.IsGood(), c.failing != 0) << c.what;
        EXPECT_EQ(header.IsGood(), c.failing != 1) << c.what;
        const vdrive::Result& failed = c.failing == 0 ? inquiry : c.failing == 1 ? header : save;
        EXPECT_EQ(failed.GetSense(), kHardware) << c.what;
        if (c.failing == 0) {
            EXPECT_EQ(data, std::vector<std::uint8_t>(36, 0xFF)) << "failed INQUIRY wrote data";
        }
        if (c.failing == 1) {  // without its header the save has nothing valid to take
            EXPECT_EQ(save.GetSense(), sense::kCommandSequenceError);
        }
        EXPECT_EQ(h.drive->SaveCount(), c.failing == 0 ? 1u : 0u) << c.what;
    }
}

TEST(VirtualDriveFaults, VanishedDriveFailsAtTransportLevel) {
    Harness h;
    h.drive->SetFaults(FaultPlan().VanishAfter(2));
    std::vector<std::uint8_t> data(36, 0xFF);
    EXPECT_TRUE(h.In(InquiryCdb(36), data).IsGood());
    EXPECT_TRUE(h.Write(32, Pattern(4096, 1)).IsGood());
    data.assign(36, 0xFF);
    for (int i = 0; i < 3; ++i) {
        const vdrive::Result r = h.In(InquiryCdb(36), data);
        EXPECT_TRUE(r.transportFailure);
        EXPECT_FALSE(r.IsGood());
        EXPECT_FALSE(r.IsCheckCondition());
        EXPECT_EQ(r.senseData, (std::array<std::uint8_t, vdrive::kSenseLength>{}));
    }
    EXPECT_EQ(data, std::vector<std::uint8_t>(36, 0xFF));
    EXPECT_EQ(h.drive->Log().CountOutcome(Outcome::TransportFailure), 3u);
}

TEST(VirtualDriveFaults, PlansCombineAndInjectedFaultOutranksNotReady) {
    vdrive::DriveConfig config = vdrive::DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054");
    config.faults.FailChunkAt(32, 2, kMedium).FailCommand(6, kHardware).VanishAfter(7);
    Harness h(config);
    const auto image = Pattern(4096, 6);
    EXPECT_EQ(h.Write(32, image).GetSense(), kMedium);  // 1
    EXPECT_EQ(h.Write(32, image).GetSense(), kMedium);  // 2
    EXPECT_TRUE(h.Write(32, image).IsGood());           // 3
    EXPECT_TRUE(h.Write(0, Header(Sum(image))).IsGood()); // 4
    EXPECT_TRUE(h.Save().IsGood());                     // 5, now programming
    std::vector<std::uint8_t> data(36);
    EXPECT_EQ(h.In(InquiryCdb(36), data).GetSense(), kHardware);           // 6
    EXPECT_EQ(h.In(InquiryCdb(36), data).GetSense(), sense::kBecomingReady);  // 7
    EXPECT_TRUE(h.In(InquiryCdb(36), data).transportFailure);              // 8
}

TEST(VirtualDriveFaults, ReportsAnotherDeviceType) {
    for (std::uint8_t peripheral : {std::uint8_t{0x00}, std::uint8_t{0x25}}) {
        vdrive::DriveConfig config = vdrive::DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054");
        config.peripheral = peripheral;
        Harness h(config);
        std::vector<std::uint8_t> data(36);
        ASSERT_TRUE(h.In(InquiryCdb(36), data).IsGood());
        EXPECT_EQ(data[0], peripheral);
    }
}

}  // namespace

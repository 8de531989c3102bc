// The virtual drive: its side of the upgrade protocol (INQUIRY, 95h, WRITE
// BUFFER modes 6 and 7, the NOT READY window, refused commands), the command
// record and the fault plans.
#include <gtest/gtest.h>

#include <string>

#include "DriveHarness.h"

namespace {

using namespace vdtest;
using vdrive::FaultPlan;
using vdrive::Outcome;

constexpr vdrive::Sense kMedium{0x03, 0x0C, 0x00};
constexpr vdrive::Sense kHardware{0x04, 0x08, 0x03};

// The field bytes go out raw (zero bytes included); byte 0 is the configured type.
TEST(VirtualDriveInquiry, AnswersStandardLayoutWithRawFieldBytes) {
    for (std::uint8_t peripheral : {0x05, 0x00, 0x25}) {
        vdrive::DriveConfig config;
        config.vendor = {'A', 'B', 0x00, 'D', ' ', ' ', ' ', ' '};
        config.product = {'P', 'R', 'O', 0x00, 'X', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'Z'};
        config.revision = {'1', 0x00, '3', '4'};
        config.peripheral = peripheral;
        Harness h(config);
        Bytes data(36, 0xFF);
        const vdrive::Result r = h.In(InquiryCdb(36), data);
        ASSERT_TRUE(r.IsGood());
        EXPECT_EQ(r.dataIn, 36u);
        const Bytes expected = {peripheral, 0x80, 0x00, 0x02, 31, 0, 0, 0, 'A', 'B', 0x00, 'D', ' ', ' ', ' ', ' ',
                                'P', 'R', 'O', 0x00, 'X', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'Z',
                                '1', 0x00, '3', '4'};
        EXPECT_EQ(data, expected);
    }
    Harness optical(vdrive::DriveConfig::Optical("VEND    PRODUCT", "A0"));
    Bytes data(36);
    ASSERT_TRUE(optical.In(InquiryCdb(36), data).IsGood());
    EXPECT_EQ(std::string(data.begin() + 8, data.end()), "VEND    PRODUCT         A0  ") << "split and padded";
}

TEST(VirtualDriveInquiry, ReturnsTheSmallestOfAllocationTransferAnd36) {
    struct Case { std::uint8_t allocation; std::size_t transfer; std::uint32_t expected; };
    const Case cases[] = {{36, 36, 36}, {5, 36, 5}, {127, 2048, 36}, {36, 8, 8}, {0, 36, 0}};
    for (const Case& c : cases) {
        Harness h;
        Bytes data(c.transfer, 0xFF);
        const vdrive::Result r = h.In(InquiryCdb(c.allocation), data);
        ASSERT_TRUE(r.IsGood());
        EXPECT_EQ(r.dataIn, c.expected) << "allocation " << int{c.allocation} << ", transfer " << c.transfer;
        EXPECT_EQ(data[0], c.expected > 0 ? 0x05 : 0xFF);
        EXPECT_EQ(Bytes(data.begin() + c.expected, data.end()), Bytes(c.transfer - c.expected, 0xFF))
            << "byte past the answer was written";
    }
}

TEST(VirtualDriveVendor, BlockCarriesRevisionAndBufferSize) {
    Harness h;
    Bytes data(32, 0xFF);
    const vdrive::Result r = h.In(VendorCdb(0x22), data);
    ASSERT_TRUE(r.IsGood());
    EXPECT_EQ(r.dataIn, 32u);
    EXPECT_EQ(data[1], 30);
    EXPECT_EQ(std::string(data.begin() + 2, data.begin() + 6), "A054");
    EXPECT_EQ(Bytes(data.begin() + 6, data.begin() + 10), (Bytes{0x00, 0x10, 0x00, 0x20}));
}

// Refused commands answer fixed-format sense and leave the data buffer alone.
TEST(VirtualDriveCommands, RefusedCommandsAndFields) {
    const struct { Cdb cdb; vdrive::Sense expected; } cases[] = {
        {VendorCdb(0x21), sense::kInvalidFieldInCdb},
        {VendorCdb(0x00), sense::kInvalidFieldInCdb},
        {{0x12, 0x01, 0x80, 0, 36}, sense::kInvalidFieldInCdb},  // EVPD
        {{0x12, 0x00, 0x80, 0, 36}, sense::kInvalidFieldInCdb},  // page without EVPD
        {{0x00}, sense::kInvalidOpcode},                         // TEST UNIT READY
        {{0x28}, sense::kInvalidOpcode},                         // READ(10)
        {{0x3B, 0x05}, sense::kInvalidOpcode},                   // download without offsets
        {{0x3B, 0x02, 0, 0, 0, 0, 0, 0, 32}, sense::kInvalidOpcode},  // data mode
        {{0xFF}, sense::kInvalidOpcode}};
    for (const auto& c : cases) {
        Harness h;
        Bytes data(36, 0xFF);
        const vdrive::Result r = h.In(c.cdb, data);
        ASSERT_TRUE(r.IsCheckCondition()) << "opcode " << int{c.cdb[0]} << "/" << int{c.cdb[1]};
        EXPECT_EQ(r.GetSense(), c.expected) << "opcode " << int{c.cdb[0]} << "/" << int{c.cdb[1]};
        EXPECT_EQ(r.senseData[0], 0x70);
        EXPECT_EQ(r.senseData[7], 10);
        EXPECT_EQ(data, Bytes(36, 0xFF));
    }
}

TEST(VirtualDriveDownload, RefusesWritesOutsideTheBufferOrShortOfData) {
    const std::uint32_t top = vdrive::kDefaultDownloadBufferSize;
    Cdb bufferOne = WriteCdb(32, 32);
    bufferOne[2] = 1;
    const struct { const char* what; Cdb cdb; std::uint8_t dir; std::size_t transfer; bool good; } cases[] = {
        {"ends at the buffer end", WriteCdb(top - 32, 32), SRB_DIR_OUT, 32, true},
        {"one byte past the end", WriteCdb(top - 31, 32), SRB_DIR_OUT, 32, false},
        {"largest offset and length", WriteCdb(0xFFFFFF, 0xFFFFFF), SRB_DIR_OUT, 32, false},
        {"transfer shorter than list", WriteCdb(32, 4096), SRB_DIR_OUT, 4095, false},
        {"transfer longer than list", WriteCdb(32, 10), SRB_DIR_OUT, 4096, true},
        {"no data direction", WriteCdb(32, 32), SRB_DIR_IN, 32, false},
        {"buffer id 1", bufferOne, SRB_DIR_OUT, 32, false}};
    for (const auto& c : cases) {
        Harness h;
        Bytes data(c.transfer, 0xAB);
        const vdrive::Result r = h.Run(c.cdb, c.dir, data);
        EXPECT_EQ(r.IsGood(), c.good) << c.what;
        if (c.good) continue;
        EXPECT_EQ(r.GetSense(), sense::kInvalidFieldInCdb) << c.what;
        EXPECT_EQ(h.drive->ImageExtent(), 0u) << c.what;
    }
}

// Chunks land at their offsets in any order; the image runs to the highest
// offset written.
TEST(VirtualDriveSave, AcceptsTheSumOfTheImageBytesAndProgramsThem) {
    for (std::size_t size : {40960u, 1024u * 1024u}) {
        Harness h;
        const Bytes image = Pattern(size, 3);
        h.Download(image, size == 40960u);
        Bytes scratch(4096, 0xEE);
        const vdrive::Result r = h.In(SaveCdb(), scratch);
        ASSERT_TRUE(r.IsGood()) << size;
        EXPECT_EQ(r.dataIn, 0u);
        EXPECT_EQ(scratch, Bytes(4096, 0xEE));
        EXPECT_EQ(h.drive->SaveCount(), 1u);
        EXPECT_EQ(h.drive->SavedImage(), image);
    }
}

// The header must carry the sum of what the buffer holds: a chunk written
// twice counts once, with the bytes kept. A save without both header and
// image is out of sequence.
TEST(VirtualDriveSave, RefusesAWrongSumOrNothingToSave) {
    const Bytes stale = Pattern(4096, 11), fresh = Pattern(4096, 12);
    const vdrive::Sense good{};
    const struct { const char* what; int images; int header; vdrive::Sense expected; } cases[] = {
        {"sum of the kept bytes", 2, Sum(fresh), good},
        {"sum of both attempts", 2, std::uint16_t(Sum(stale) + Sum(fresh)), sense::kInvalidFieldInParameterList},
        {"sum off by one", 2, std::uint16_t(Sum(fresh) + 1), sense::kInvalidFieldInParameterList},
        {"empty buffer", 0, -1, sense::kCommandSequenceError},
        {"header only", 0, 0, sense::kCommandSequenceError},
        {"image only", 1, -1, sense::kCommandSequenceError}};
    for (const auto& c : cases) {
        Harness h;
        if (c.images == 2) h.Write(32, stale);
        if (c.images > 0) h.Write(32, fresh);
        if (c.header >= 0) h.Write(0, Header(static_cast<std::uint16_t>(c.header)));
        const vdrive::Result r = h.Save();
        EXPECT_EQ(r.IsGood(), c.expected == good) << c.what;
        EXPECT_EQ(r.GetSense(), c.expected) << c.what;
        EXPECT_EQ(h.drive->SaveCount(), c.expected == good ? 1u : 0u) << c.what;
        EXPECT_EQ(h.drive->IsNotReady(), c.expected == good) << c.what;
    }
}

TEST(VirtualDriveSave, NotReadyWhileProgrammingThenNewRevision) {
    vdrive::DriveConfig config = DefaultConfig();
    config.WithRevisionAfterSave("B100");
    config.notReadyMs = 5000;
    Harness h(config);
    h.Download(Pattern(8192, 2));
    ASSERT_TRUE(h.Save().IsGood());
    Bytes data(36, 0xFF), block(32);
    for (std::uint64_t later : {0u, 1u, 4999u}) {
        h.now = 1000 + later;
        EXPECT_EQ(h.In(InquiryCdb(36), data).GetSense(), sense::kBecomingReady) << later << " ms after the save";
        EXPECT_EQ(h.In(VendorCdb(0x22), block).GetSense(), sense::kBecomingReady) << later << " ms";
    }
    EXPECT_EQ(data, Bytes(36, 0xFF));

    h.now = 6000;
    ASSERT_TRUE(h.In(InquiryCdb(36), data).IsGood());
    EXPECT_EQ(std::string(data.begin() + 32, data.end()), "B100");
    // The buffer starts over: saving again needs a new download, and a
    // shorter second image is taken without the first one's tail.
    EXPECT_EQ(h.Save().GetSense(), sense::kCommandSequenceError);
    const Bytes shorter = Pattern(4096, 7);
    h.Download(shorter);
    ASSERT_TRUE(h.Save().IsGood());
    EXPECT_EQ(h.drive->SavedImage(), shorter);
}

TEST(VirtualDriveRecord, HoldsEveryCommandWithItsDataDigestAndOutcome) {
    Harness h;
    h.Inquiry();
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

// A chunk fault hits only its offset, the given number of times; the failed
// attempts store nothing but are listed, in order, among the chunks.
TEST(VirtualDriveFaults, ChunkAtOffsetFailsGivenTimesThenIsStored) {
    Harness h;
    h.drive->SetFaults(FaultPlan().FailChunkAt(4128, 5, kMedium));
    const Bytes chunk = Pattern(4096, 8);
    EXPECT_TRUE(h.Write(32, chunk).IsGood());
    for (int attempt = 1; attempt <= 5; ++attempt) {
        EXPECT_EQ(h.Write(4128, chunk).GetSense(), kMedium) << "attempt " << attempt;
        EXPECT_EQ(h.drive->ImageExtent(), 32u + 4096u) << "failed chunk was stored";
    }
    EXPECT_TRUE(h.Write(4128, chunk).IsGood());
    EXPECT_EQ(h.drive->ImageExtent(), 4128u + 4096u);
    h.Write(0, Header(0));

    const auto chunks = h.drive->Log().Chunks();
    const std::vector<std::uint32_t> offsets = {32, 4128, 4128, 4128, 4128, 4128, 4128, 0};
    ASSERT_EQ(chunks.size(), offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(chunks[i].offset, offsets[i]) << i;
    EXPECT_EQ(chunks[1].outcome, Outcome::CheckCondition);
    EXPECT_EQ(chunks[1].sense, kMedium);
    EXPECT_EQ(chunks[7].length, 32u);
    EXPECT_EQ(h.drive->Log().AcceptedChunks().size(), 3u);

    h.drive->SetFaults(FaultPlan().FailChunkAt(32, FaultPlan::kAlways, kMedium));
    for (int attempt = 0; attempt < 10; ++attempt) EXPECT_EQ(h.Write(32, chunk).GetSense(), kMedium);
}

TEST(VirtualDriveFaults, FailsTheNthCommandCountingEveryCommand) {
    for (std::uint64_t n : {1u, 2u, 4u}) {
        Harness h;
        h.drive->SetFaults(FaultPlan().FailCommand(n, kHardware));
        Bytes data(36);
        for (std::uint64_t i = 1; i <= 5; ++i) {
            const vdrive::Result r = (i % 2) ? h.In(InquiryCdb(36), data) : h.In(VendorCdb(0x22), data);
            EXPECT_EQ(r.GetSense(), i == n ? kHardware : vdrive::Sense{}) << "command " << i << " of plan " << n;
        }
    }
}

TEST(VirtualDriveFaults, PerCommandFaultsHitOnlyTheirCommand) {
    const struct { const char* what; FaultPlan plan; int failing; } cases[] = {  // 0 inquiry, 1 header, 2 save
        {"inquiry", FaultPlan().FailInquiry(kHardware), 0},
        {"header", FaultPlan().FailHeader(kHardware), 1},
        {"save", FaultPlan().FailSave(kHardware), 2}};
    for (const auto& c : cases) {
        Harness h;
        h.drive->SetFaults(c.plan);
        Bytes data(36, 0xFF);
        const vdrive::Result inquiry = h.In(InquiryCdb(36), data);
        EXPECT_TRUE(h.Write(32, Pattern(4096, 1)).IsGood()) << c.what;
        const vdrive::Result header = h.Write(0, Header(Sum(Pattern(4096, 1))));
        const vdrive::Result save = h.Save();

        EXPECT_EQ(inquiry.IsGood(), c.failing != 0) << c.what;
        EXPECT_EQ(header.IsGood(), c.failing != 1) << c.what;
        const vdrive::Result& failed = c.failing == 0 ? inquiry : c.failing == 1 ? header : save;
        EXPECT_EQ(failed.GetSense(), kHardware) << c.what;
        if (c.failing == 0) {
            EXPECT_EQ(data, Bytes(36, 0xFF)) << "failed INQUIRY wrote data";
        }
        if (c.failing == 1) {  // without its header the save has nothing valid to take
            EXPECT_EQ(save.GetSense(), sense::kCommandSequenceError);
        }
        EXPECT_EQ(h.drive->SaveCount(), c.failing == 0 ? 1u : 0u) << c.what;
    }
}

// Plans combine; an injected fault outranks NOT READY, and a vanished drive
// fails at transport level: no status, no sense, no data.
TEST(VirtualDriveFaults, PlansCombineAndVanishedDriveFailsAtTransportLevel) {
    vdrive::DriveConfig config = DefaultConfig();
    config.faults.FailChunkAt(32, 2, kMedium).FailCommand(6, kHardware).VanishAfter(7);
    Harness h(config);
    const Bytes image = Pattern(4096, 6);
    EXPECT_EQ(h.Write(32, image).GetSense(), kMedium);      // 1
    EXPECT_EQ(h.Write(32, image).GetSense(), kMedium);      // 2
    EXPECT_TRUE(h.Write(32, image).IsGood());               // 3
    EXPECT_TRUE(h.Write(0, Header(Sum(image))).IsGood());   // 4
    EXPECT_TRUE(h.Save().IsGood());                         // 5, now programming
    EXPECT_EQ(h.Inquiry().GetSense(), kHardware);           // 6
    EXPECT_EQ(h.Inquiry().GetSense(), sense::kBecomingReady);  // 7
    for (int i = 8; i <= 10; ++i) {
        Bytes data(36, 0xFF);
        const vdrive::Result r = h.In(InquiryCdb(36), data);
        EXPECT_TRUE(r.transportFailure) << i;
        EXPECT_FALSE(r.IsGood() || r.IsCheckCondition()) << i;
        EXPECT_EQ(r.senseData, (std::array<std::uint8_t, vdrive::kSenseLength>{})) << i;
        EXPECT_EQ(data, Bytes(36, 0xFF)) << i;
    }
    EXPECT_EQ(h.drive->Log().CountOutcome(Outcome::TransportFailure), 3u);
}

}  // namespace

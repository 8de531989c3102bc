// The virtual drive: its side of the upgrade protocol (INQUIRY, 95h, WRITE
// BUFFER modes 6 and 7, the NOT READY window), its command record, its fault
// plans, and what the program's two transports make of its answers. CDBs and
// expected bytes are written here by hand, independently of the drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>

#include "scsi/ScsiTypes.h"
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"

namespace {

using namespace vdrive;
using Bytes = std::vector<std::uint8_t>;
using Cdb = std::array<std::uint8_t, 12>;

// Sense key / ASC / ASCQ as the drive must answer them: kBadSum is invalid
// field in parameter list, kOutOfOrder command sequence error.
constexpr Sense kNone{}, kBadOpcode{0x05, 0x20, 0x00}, kBadField{0x05, 0x24, 0x00}, kBadSum{0x05, 0x26, 0x00};
constexpr Sense kOutOfOrder{0x05, 0x2C, 0x00}, kBecomingReady{0x02, 0x04, 0x01}, kMedium{0x03, 0x0C, 0x00};
constexpr Sense kHardware{0x04, 0x08, 0x03};
constexpr Cdb kInquiry36 = {0x12, 0, 0, 0, 36};
constexpr Cdb kVendor = {0x95, 0x22};

Cdb WriteCdb(std::uint32_t offset, std::uint32_t length) {
    const auto b = [](std::uint32_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); };
    return {0x3B, 0x06, 0x00, b(offset, 16), b(offset, 8), b(offset, 0), b(length, 16), b(length, 8), b(length, 0)};
}

// seed, seed + 7, seed + 14, ...: every 256 bytes take each value once, so
// 4096 bytes sum to 16 * 7F80h = F800h and 1 MB to 0 (mod 10000h).
Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

// The 32-byte header: zeros, then the image sum most significant byte first.
Bytes Header(std::uint16_t sum) {
    Bytes header(32, 0);
    header[30] = static_cast<std::uint8_t>(sum >> 8), header[31] = static_cast<std::uint8_t>(sum);
    return header;
}

// A drive on a hand-driven clock, addressed with 12-byte CDBs.
struct Harness {
    std::uint64_t now = 1000;
    std::unique_ptr<VirtualDrive> drive;

    explicit Harness(DriveConfig config = DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054")) {
        config.clock = [this] { return now; };
        drive = std::make_unique<VirtualDrive>(std::move(config));
    }
    Result Run(const Cdb& cdb, std::uint8_t dir, Bytes& data) {
        return drive->Execute(cdb.data(), 12, dir, data.data(), static_cast<std::uint32_t>(data.size()));
    }
    Result Write(std::uint32_t offset, Bytes data) {
        return Run(WriteCdb(offset, static_cast<std::uint32_t>(data.size())), SRB_DIR_OUT, data);
    }
    Result Inquiry(Bytes data = Bytes(36, 0xFF)) { return Run(kInquiry36, SRB_DIR_IN, data); }
    // As the program sends it: data-in, 4096 bytes, although the CDB asks for none.
    Result Save(Bytes scratch = Bytes(4096)) { return Run({0x3B, 0x07}, SRB_DIR_IN, scratch); }
};

// The answer is cut to the smallest of allocation length, transfer length
// and 36, and nothing past it is written. (Field bytes going out raw, zeros
// included: the drive list parser's test.)
TEST(VirtualDrive, InquiryAnswersTheStandardLayoutCutToTheSmallestLength) {
    const std::string full("\x05\x80\x00\x02\x1F\0\0\0VENDOR  PRODUCT-NAME-16CA054", 36);
    const struct { std::uint8_t allocation; std::size_t transfer; std::uint32_t expected; } cases[] = {
        {36, 36, 36}, {5, 36, 5}, {127, 2048, 36}, {36, 8, 8}, {0, 36, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "allocation " << int{c.allocation} << ", transfer " << c.transfer);
        Harness h;
        Bytes data(c.transfer, 0xFF);
        const Result r = h.Run({0x12, 0, 0, 0, c.allocation}, SRB_DIR_IN, data);
        ASSERT_TRUE(r.IsGood());
        EXPECT_EQ(r.dataIn, c.expected);
        Bytes expected(full.begin(), full.begin() + c.expected);
        expected.resize(c.transfer, 0xFF);
        EXPECT_EQ(data, expected);
    }
    for (const auto& [id, revision, shown] :
         {std::tuple{"VEND    PRODUCT", "A0", "VEND    PRODUCT         A0  "},
          std::tuple{"VEND    PRODUCT-NAME-16C-AND-MORE", "A054-5", "VEND    PRODUCT-NAME-16CA054"}}) {
        Bytes data(36);
        ASSERT_TRUE(Harness(DriveConfig::Optical(id, revision)).Run(kInquiry36, SRB_DIR_IN, data).IsGood());
        EXPECT_EQ(std::string(data.begin() + 8, data.end()), shown) << "split, padded and cut to the fields";
    }
}

// Refused commands answer fixed-format sense, store nothing and return no data.
TEST(VirtualDrive, RefusesUnknownCommandsBadFieldsAndWritesOutsideTheBuffer) {
    const std::uint32_t top = kDefaultDownloadBufferSize;
    Cdb bufferOne = WriteCdb(32, 32);
    bufferOne[2] = 1;
    const struct { const char* what; Cdb cdb; std::uint8_t dir; std::size_t transfer; Sense expected; } cases[] = {
        {"vendor page 21h", {0x95, 0x21}, SRB_DIR_IN, 36, kBadField},
        {"EVPD", {0x12, 0x01, 0x00, 0, 36}, SRB_DIR_IN, 36, kBadField},
        {"page without EVPD", {0x12, 0x00, 0x80, 0, 36}, SRB_DIR_IN, 36, kBadField},
        {"TEST UNIT READY", {0x00}, SRB_DIR_IN, 36, kBadOpcode},
        {"download without offsets", {0x3B, 0x05}, SRB_DIR_IN, 36, kBadOpcode},
        {"write ends at the buffer end", WriteCdb(top - 32, 32), SRB_DIR_OUT, 32, kNone},
        {"write one byte past the end", WriteCdb(top - 31, 32), SRB_DIR_OUT, 32, kBadField},
        {"largest offset and length", WriteCdb(0xFFFFFF, 0xFFFFFF), SRB_DIR_OUT, 32, kBadField},
        {"transfer shorter than list", WriteCdb(32, 4096), SRB_DIR_OUT, 4095, kBadField},
        {"transfer longer than list", WriteCdb(32, 10), SRB_DIR_OUT, 4096, kNone},
        {"write without data-out", WriteCdb(32, 32), SRB_DIR_IN, 32, kBadField},
        {"buffer id 1", bufferOne, SRB_DIR_OUT, 32, kBadField}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        Bytes data(c.transfer, 0xAB);
        const Result r = h.Run(c.cdb, c.dir, data);
        EXPECT_EQ(r.GetSense(), c.expected);
        EXPECT_EQ(r.IsGood(), c.expected == kNone);
        if (r.IsGood()) continue;
        EXPECT_TRUE(r.senseData[0] == 0x70 && r.senseData[7] == 10) << "not fixed-format sense";
        EXPECT_EQ(data, Bytes(c.transfer, 0xAB));
        EXPECT_EQ(h.drive->ImageExtent(), 0u);
    }
}

// The header must carry the sum of what the buffer holds from byte 32 up to
// the highest offset written: a chunk written twice counts once, with the
// bytes kept. A save without both header and image is out of sequence; a
// refused save is the only refused command.
TEST(VirtualDrive, SaveChecksTheHeaderSumAgainstTheBuffer) {
    const Bytes stale = Pattern(4096, 11), fresh = Pattern(4096, 12);
    const struct { const char* what; int images, header; Sense expected; } cases[] = {
        {"sum of the kept bytes", 2, 0xF800, kNone}, {"sum of both attempts", 2, 0xF000, kBadSum},
        {"sum off by one", 2, 0xF801, kBadSum},
        {"empty buffer", 0, -1, kOutOfOrder}, {"header only", 0, 0, kOutOfOrder}, {"image only", 1, -1, kOutOfOrder}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        if (c.images == 2) h.Write(32, stale);
        if (c.images > 0) h.Write(32, fresh);
        if (c.header >= 0) h.Write(0, Header(static_cast<std::uint16_t>(c.header)));
        EXPECT_EQ(h.Save().GetSense(), c.expected);
        const bool saved = c.expected == kNone;
        EXPECT_EQ(h.drive->Log().CountOutcome(Outcome::CheckCondition), saved ? 0u : 1u);
        EXPECT_EQ(h.drive->SaveCount(), saved ? 1u : 0u);
        EXPECT_EQ(h.drive->SavedImage(), saved ? fresh : Bytes());
    }
}

// A full 1 MB image sent last chunk first fills the buffer to its end; the
// drive then answers nothing (INQUIRY included) until programming is over,
// reports the new revision and save count, and starts from an empty buffer.
TEST(VirtualDrive, SaveProgramsTheImageThenStaysNotReadyAndStartsOver) {
    DriveConfig config = DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054");
    config.WithRevisionAfterSave("B100");
    config.notReadyMs = 5000;
    Harness h(config);
    const Bytes image = Pattern(1024 * 1024, 3);
    for (std::uint32_t at = 1024 * 1024; at != 0;) {
        at -= 4096;
        ASSERT_TRUE(h.Write(32 + at, Bytes(image.begin() + at, image.begin() + at + 4096)).IsGood()) << at;
    }
    h.Write(0, Header(0x0000));
    ASSERT_TRUE(h.Save().IsGood());
    EXPECT_EQ(h.drive->SavedImage(), image);

    Bytes data(36, 0xFF);
    h.now = 5999;  // the last millisecond of programming
    EXPECT_EQ(h.Run(kVendor, SRB_DIR_IN, data).GetSense(), kBecomingReady);
    EXPECT_EQ(data, Bytes(36, 0xFF));
    h.now = 6000;
    ASSERT_TRUE(h.Run(kVendor, SRB_DIR_IN, data).IsGood());
    // Additional length 30, revision, buffer size 100020h, one save, zeros.
    const Bytes block = {0, 30, 'B', '1', '0', '0', 0x00, 0x10, 0x00, 0x20, 0, 1};
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 12), block);
    EXPECT_EQ(Bytes(data.begin() + 12, data.begin() + 32), Bytes(20, 0));

    EXPECT_EQ(h.Save().GetSense(), kOutOfOrder) << "saved twice from one download";
    const Bytes shorter = Pattern(4096, 7);
    h.Write(32, shorter);
    h.Write(0, Header(0xF800));
    ASSERT_TRUE(h.Save().IsGood()) << "the first image's tail still counted";
    EXPECT_EQ(h.drive->SavedImage(), shorter);
}

// Plans combine; every command counts towards a command number; a failed
// chunk attempt stores nothing but is recorded; an injected fault outranks
// NOT READY, which INQUIRY gets too; a vanished drive fails at transport
// level (with no sense and no data on either transport: the table below).
TEST(VirtualDrive, PlansCombineFailedAttemptsAreRecordedAndAVanishedDriveFailsAtTransportLevel) {
    DriveConfig config = DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054");
    config.faults.FailChunkAt(32, 2, kMedium).FailCommand(7, kHardware).VanishAfter(8);
    Harness h(config);
    const Bytes image = {'f', 'o', 'o', 'b', 'a', 'r'};  // sum 102 + 111 + 111 + 98 + 97 + 114 = 0279h
    EXPECT_TRUE(h.Inquiry().IsGood());                         // 1
    EXPECT_EQ(h.Write(32, image).GetSense(), kMedium);         // 2
    EXPECT_EQ(h.Write(32, image).GetSense(), kMedium);         // 3
    EXPECT_EQ(h.drive->ImageExtent(), 0u) << "a refused chunk was stored";
    EXPECT_TRUE(h.Write(32, image).IsGood());                  // 4
    EXPECT_TRUE(h.Write(0, Header(0x0279)).IsGood());          // 5
    EXPECT_TRUE(h.Save().IsGood());                            // 6, now programming
    EXPECT_EQ(h.Inquiry().GetSense(), kHardware);              // 7
    EXPECT_EQ(h.Inquiry().GetSense(), kBecomingReady);         // 8
    EXPECT_TRUE(h.Inquiry().transportFailure);                 // 9

    const CommandLog log = h.drive->Log();
    ASSERT_EQ(log.Size(), 9u);
    EXPECT_EQ(log.CountOutcome(Outcome::TransportFailure), 1u);
    EXPECT_EQ(log[0].inBytes, 36u);
    const auto chunks = log.Chunks();  // the header included
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_TRUE(chunks[1].offset == 32 && chunks[1].length == 6 && chunks[1].outcome == Outcome::CheckCondition)
        << chunks[1].offset << ", " << chunks[1].length;
}

// Both transports clear sense bytes 0..15 first; only pass-through copies
// the drive's sense back (0..23), and on any failure it clears all 32. Data
// comes back only on success.
TEST(VDriveTransport, FollowsTheProgramsSenseAndDirectionRules) {
    enum Answer { Good, CheckCondition, Vanished, NoDrive };
    const struct { std::uint8_t transport; Answer answer; int result; bool senseCopied, tailKept; } cases[] = {
        {TransportAspi, Good, 1, false, true},         {TransportAspi, CheckCondition, 0, false, true},
        {TransportAspi, Vanished, 0, false, true},     {TransportAspi, NoDrive, 0, false, true},
        {TransportPassThrough, Good, 1, false, true},  {TransportPassThrough, CheckCondition, 0, true, false},
        {TransportPassThrough, Vanished, 0, false, false}, {TransportPassThrough, NoDrive, 0, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "transport " << int{c.transport} << ", answer " << c.answer);
        Harness h;
        if (c.answer == CheckCondition) h.drive->SetFaults(FaultPlan().FailInquiry(kHardware));
        if (c.answer == Vanished) h.drive->SetFaults(FaultPlan().VanishAfter(0));
        DriveEntry entry{};
        entry.hDevice = c.answer == NoDrive ? nullptr : h.drive.get();
        Bytes sense(kSenseBufferSize, 0xAA), data(36, 0xFF);
        EXPECT_EQ(VDriveExecuteCmd(entry, SRB_DIR_IN, 36, data.data(), 12, kInquiry36.data(), c.transport,
                                   sense.data()), c.result);
        EXPECT_EQ(data[0], c.result == 1 ? 0x05 : 0xFF);
        Bytes expected(kSenseBufferSize, 0);
        const Bytes driveSense = {0x70, 0, 0x04, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x08, 0x03};
        if (c.senseCopied) std::copy(driveSense.begin(), driveSense.end(), expected.begin());
        if (c.tailKept) std::fill(expected.begin() + 16, expected.end(), 0xAA);
        EXPECT_EQ(sense, expected);
    }
    // The platform's pass-through request moves data one way only: with both
    // direction flags set the drive gets data-out. ASPI passes the flags on.
    for (std::uint8_t transport : {TransportAspi, TransportPassThrough}) {
        Harness h;
        DriveEntry entry{};
        entry.hDevice = h.drive.get();
        Bytes chunk(8, 0x5A);
        EXPECT_EQ(VDriveExecuteCmd(entry, SRB_DIR_IN | SRB_DIR_OUT, 8, chunk.data(), 12, WriteCdb(32, 8).data(),
                                   transport, nullptr), 1);
        EXPECT_EQ(h.drive->Log()[0].dirFlags, transport == TransportPassThrough ? SRB_DIR_OUT : SRB_DIR_IN | SRB_DIR_OUT);
    }
}

}  // namespace

// The drive's side of the upgrade protocol: INQUIRY, 95h, WRITE BUFFER modes
// 6 and 7, the NOT READY window and refused commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "DriveHarness.h"

namespace {

using namespace vdtest;
using vdrive::Sense;
namespace sense = vdrive::sense;

TEST(VirtualDriveInquiry, AnswersStandardLayoutWithRawFieldBytes) {
    vdrive::DriveConfig config;
    config.vendor = {'A', 'B', 0x00, 'D', ' ', ' ', ' ', ' '};
    config.product = {'P', 'R', 'O', 0x00, 'X', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'Z'};
    config.revision = {'1', 0x00, '3', '4'};
    Harness h(config);
    std::vector<std::uint8_t> data(36, 0xFF);

    const vdrive::Result r = h.In(InquiryCdb(36), data);

    ASSERT_TRUE(r.IsGood());
    EXPECT_EQ(r.dataIn, 36u);
    const std::vector<std::uint8_t> expected = {
        0x05, 0x80, 0x00, 0x02, 31, 0, 0, 0,
        'A', 'B', 0x00, 'D', ' ', ' ', ' ', ' ',
        'P', 'R', 'O', 0x00, 'X', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'Z',
        '1', 0x00, '3', '4'};
    EXPECT_EQ(data, expected);
}

TEST(VirtualDriveInquiry, ReturnsTheSmallestOfAllocationTransferAnd36) {
    struct Case { std::uint8_t allocation; std::size_t transfer; std::uint32_t expected; };
    const Case cases[] = {{36, 36, 36}, {5, 36, 5}, {127, 2048, 36}, {36, 8, 8}, {0, 36, 0}};
    for (const Case& c : cases) {
        Harness h;
        std::vector<std::uint8_t> data(c.transfer, 0xFF);
        const vdrive::Result r = h.In(InquiryCdb(c.allocation), data);
        ASSERT_TRUE(r.IsGood());
        EXPECT_EQ(r.dataIn, c.expected) << "allocation " << int{c.allocation} << ", transfer " << c.transfer;
        if (c.expected > 0) {
            EXPECT_EQ(data[0], 0x05);
        }
        if (c.expected < c.transfer) {
            EXPECT_EQ(data[c.expected], 0xFF) << "byte past the answer was written";
        }
    }
}

TEST(VirtualDriveInquiry, OpticalHelperSplitsAndPadsTheIdentification) {
    Harness h(vdrive::DriveConfig::Optical("VEND    PRODUCT", "A0"));
    std::vector<std::uint8_t> data(36);
    ASSERT_TRUE(h.In(InquiryCdb(36), data).IsGood());
    EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 36), "VEND    PRODUCT         A0  ");
}

TEST(VirtualDriveVendor, BlockCarriesRevisionAndBufferSize) {
    Harness h;
    std::vector<std::uint8_t> data(32, 0xFF);
    const vdrive::Result r = h.In(VendorCdb(0x22), data);
    ASSERT_TRUE(r.IsGood());
    EXPECT_EQ(r.dataIn, 32u);
    EXPECT_EQ(data[1], 30);
    EXPECT_EQ(std::string(data.begin() + 2, data.begin() + 6), "A054");
    const std::vector<std::uint8_t> size(data.begin() + 6, data.begin() + 10);
    EXPECT_EQ(size, (std::vector<std::uint8_t>{0x00, 0x10, 0x00, 0x20}));
}

TEST(VirtualDriveCommands, InvalidFieldsLeaveTheDataBufferAlone) {
    const Cdb cdbs[] = {VendorCdb(0x21), VendorCdb(0x00), {0x12, 0x01, 0x80, 0, 36}, {0x12, 0x00, 0x80, 0, 36}};
    for (const Cdb& cdb : cdbs) {
        Harness h;
        std::vector<std::uint8_t> data(36, 0xFF);
        const vdrive::Result r = h.In(cdb, data);
        EXPECT_EQ(r.GetSense(), sense::kInvalidFieldInCdb) << "opcode " << int{cdb[0]} << "/" << int{cdb[1]};
        EXPECT_EQ(data, std::vector<std::uint8_t>(36, 0xFF));
    }
}

TEST(VirtualDriveCommands, UnknownOpcodesAndModesAreInvalidOpcodes) {
    const Cdb cdbs[] = {
        {0x00},                    // TEST UNIT READY
        {0x28},                    // READ(10)
        {0x3B, 0x05},              // WRITE BUFFER, download without offsets
        {0x3B, 0x02, 0, 0, 0, 0, 0, 0, 32},  // WRITE BUFFER, data mode
        {0xFF}};
    for (const Cdb& cdb : cdbs) {
        Harness h;
        std::vector<std::uint8_t> data(32, 0);
        const vdrive::Result r = h.Out(cdb, data);
        ASSERT_TRUE(r.IsCheckCondition()) << "opcode " << int{cdb[0]};
        EXPECT_EQ(r.GetSense(), sense::kInvalidOpcode) << "opcode " << int{cdb[0]};
        EXPECT_EQ(r.senseData[0], 0x70);
        EXPECT_EQ(r.senseData[7], 10);
    }
}

TEST(VirtualDriveDownload, ChunksLandAtTheirOffsets) {
    Harness h;
    const auto first = Pattern(4096, 1);
    const auto second = Pattern(4096, 9);
    ASSERT_TRUE(h.Write(0x010020, second).IsGood());  // second 64 KB segment first
    ASSERT_TRUE(h.Write(32, first).IsGood());

    const auto buffer = h.drive->DownloadBuffer();
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer.begin() + 32));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), buffer.begin() + 0x010020));
    EXPECT_EQ(h.drive->ImageExtent(), 0x010020u + 4096u);
}

TEST(VirtualDriveDownload, RefusesWritesOutsideTheBufferOrShortOfData) {
    struct Case { const char* what; Cdb cdb; std::uint8_t dir; std::size_t transfer; bool good; };
    const std::uint32_t top = vdrive::kDefaultDownloadBufferSize;
    const Case cases[] = {
        {"ends at the buffer end", WriteCdb(top - 32, 32), SRB_DIR_OUT, 32, true},
        {"one byte past the end", WriteCdb(top - 31, 32), SRB_DIR_OUT, 32, false},
        {"largest offset and length", WriteCdb(0xFFFFFF, 0xFFFFFF), SRB_DIR_OUT, 32, false},
        {"transfer shorter than list", WriteCdb(32, 4096), SRB_DIR_OUT, 4095, false},
        {"transfer longer than list", WriteCdb(32, 10), SRB_DIR_OUT, 4096, true},
        {"no data direction", WriteCdb(32, 32), SRB_DIR_IN, 32, false},
        {"buffer id 1", [] { Cdb c = WriteCdb(32, 32); c[2] = 1; return c; }(), SRB_DIR_OUT, 32, false}};
    for (const Case& c : cases) {
        Harness h;
        std::vector<std::uint8_t> data(c.transfer, 0xAB);
        const vdrive::Result r = h.drive->Execute(c.cdb.data(), 12, c.dir, data.data(),
                                                  static_cast<std::uint32_t>(data.size()));
        EXPECT_EQ(r.IsGood(), c.good) << c.what;
        if (!c.good) {
            EXPECT_EQ(r.GetSense(), sense::kInvalidFieldInCdb) << c.what;
            EXPECT_EQ(h.drive->ImageExtent(), 0u) << c.what;
        }
    }
}

TEST(VirtualDriveSave, AcceptsTheSumOfTheImageBytesAndProgramsThem) {
    Harness h;
    const auto image = Pattern(40960, 3);
    h.Download(image);
    std::vector<std::uint8_t> scratch(4096, 0xEE);

    const vdrive::Result r = h.In(SaveCdb(), scratch);

    ASSERT_TRUE(r.IsGood());
    EXPECT_EQ(r.dataIn, 0u);
    EXPECT_EQ(scratch, std::vector<std::uint8_t>(4096, 0xEE));
    EXPECT_EQ(h.drive->SaveCount(), 1u);
    EXPECT_EQ(h.drive->SavedImage(), image);
}

TEST(VirtualDriveSave, AcceptsAFullMegabyteImage) {
    Harness h;
    const auto image = Pattern(1024 * 1024, 5);
    h.Download(image);
    ASSERT_TRUE(h.Save().IsGood());
    EXPECT_EQ(h.drive->SavedImage().size(), image.size());
}

TEST(VirtualDriveSave, SumCoversBufferContentNotEveryAttempt) {
    // A chunk written twice counts once, with the bytes the buffer kept.
    const auto stale = Pattern(4096, 11);
    const auto fresh = Pattern(4096, 12);
    struct Case { const char* what; std::uint16_t headerSum; bool good; };
    const Case cases[] = {
        {"sum of the kept bytes", Sum(fresh), true},
        {"sum of both attempts", static_cast<std::uint16_t>(Sum(stale) + Sum(fresh)), false},
        {"sum off by one", static_cast<std::uint16_t>(Sum(fresh) + 1), false}};
    for (const Case& c : cases) {
        Harness h;
        h.Write(32, stale);
        h.Write(32, fresh);
        h.Write(0, Header(c.headerSum));
        const vdrive::Result r = h.Save();
        EXPECT_EQ(r.IsGood(), c.good) << c.what;
        if (!c.good) {
            EXPECT_EQ(r.GetSense(), sense::kInvalidFieldInParameterList) << c.what;
            EXPECT_EQ(h.drive->SaveCount(), 0u) << c.what;
            EXPECT_FALSE(h.drive->IsNotReady()) << c.what;
        }
    }
}

TEST(VirtualDriveSave, RefusesASaveWithNothingToSave) {
    struct Case { const char* what; bool header; bool image; };
    const Case cases[] = {{"empty buffer", false, false}, {"header only", true, false}, {"image only", false, true}};
    for (const Case& c : cases) {
        Harness h;
        if (c.image) h.Write(32, Pattern(4096, 1));
        if (c.header) h.Write(0, Header(0));
        const vdrive::Result r = h.Save();
        ASSERT_TRUE(r.IsCheckCondition()) << c.what;
        EXPECT_EQ(r.GetSense(), sense::kCommandSequenceError) << c.what;
    }
}

TEST(VirtualDriveSave, NotReadyWhileProgrammingThenNewRevision) {
    vdrive::DriveConfig config = vdrive::DriveConfig::Optical("VENDOR  PRODUCT-NAME-16C", "A054");
    config.WithRevisionAfterSave("B100");
    config.notReadyMs = 5000;
    Harness h(config);
    h.Download(Pattern(8192, 2));
    ASSERT_TRUE(h.Save().IsGood());
    std::vector<std::uint8_t> data(36, 0xFF);

    for (std::uint64_t later : {0u, 1u, 4999u}) {
        h.now = 1000 + later;
        const vdrive::Result inquiry = h.In(InquiryCdb(36), data);
        EXPECT_EQ(inquiry.GetSense(), sense::kBecomingReady) << later << " ms after the save";
        std::vector<std::uint8_t> block(32);
        EXPECT_EQ(h.In(VendorCdb(0x22), block).GetSense(), sense::kBecomingReady) << later << " ms";
    }
    EXPECT_EQ(data, std::vector<std::uint8_t>(36, 0xFF));

    h.now = 6000;
    ASSERT_TRUE(h.In(InquiryCdb(36), data).IsGood());
    EXPECT_EQ(std::string(data.begin() + 32, data.begin() + 36), "B100");
    // The buffer starts over: saving again needs a new download, and a
    // shorter second image is taken without the first one's tail.
    EXPECT_EQ(h.Save().GetSense(), sense::kCommandSequenceError);
    const auto shorter = Pattern(4096, 7);
    h.Download(shorter);
    ASSERT_TRUE(h.Save().IsGood());
    EXPECT_EQ(h.drive->SavedImage(), shorter);
}

}  // namespace

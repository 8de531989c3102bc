// The drive list parser: what a good list turns into, and which mistakes are
// refused (each as one note, never a crash).
#include <gtest/gtest.h>

#include "vdrive/aspi/LayerConfig.h"
#include "vdrive/aspi/RecordFile.h"

namespace {

using vdrive::aspi::Completion;
using vdrive::aspi::ParseLayerConfig;

TEST(LayerConfigTest, GoodListBecomesAdaptersDrivesAndFaults) {
    const auto config = ParseLayerConfig(
        "# two adapters\r\n"
        "adapter 0 targets=4 align=0x0F name=\"FIRST\"\r\n"
        "adapter 1\n"
        "drive 1 7 \"VEN\\x00DOR\" \"PRODUCT \\\"Q\\\"\" \"A0 4\" peripheral=25 after=\"A055\" notready=1500 "
        "buffer=65568 complete=pending  # trailing comment\n"
        "fault 1 7 vanish after=40\n"
        "record \"C:\\out dir\\rec.txt\"\n");
    EXPECT_TRUE(config.notes.empty()) << config.notes.front();
    ASSERT_EQ(2u, config.adapters.size());
    EXPECT_EQ(4, config.adapters[0].targets);
    EXPECT_EQ(0x0F, config.adapters[0].alignLow);
    EXPECT_EQ("FIRST", config.adapters[0].name);
    EXPECT_EQ(0, config.adapters[1].targets);

    ASSERT_EQ(1u, config.drives.size());
    const auto* slot = config.FindDrive(1, 7);
    ASSERT_NE(nullptr, slot);
    const auto inquiry = slot->drive.InquiryData();
    EXPECT_EQ(0x25, inquiry[0]);
    EXPECT_EQ(std::string("VEN\0DOR ", 8), std::string(inquiry.begin() + 8, inquiry.begin() + 16));
    EXPECT_EQ("PRODUCT \"Q\"     ", std::string(inquiry.begin() + 16, inquiry.begin() + 32));
    EXPECT_EQ("A0 4", std::string(inquiry.begin() + 32, inquiry.end()));
    ASSERT_TRUE(slot->drive.revisionAfterSave.has_value());
    EXPECT_EQ('5', (*slot->drive.revisionAfterSave)[3]);
    EXPECT_EQ(1500u, slot->drive.notReadyMs);
    EXPECT_EQ(65568u, slot->drive.downloadBufferSize);
    EXPECT_EQ(Completion::Pending, slot->completion);
    EXPECT_FALSE(slot->drive.faults.IsVanished(40));
    EXPECT_TRUE(slot->drive.faults.IsVanished(41));
    EXPECT_EQ("C:\\out dir\\rec.txt", config.recordPath);
}

TEST(LayerConfigTest, FaultLinesArmTheDrivesPlan) {
    auto config = ParseLayerConfig(
        "adapter 0\n"
        "drive 0 0 \"V\" \"P\" \"R\"\n"
        "fault 0 0 command n=3 sense=02/3A/00\n"
        "fault 0 0 chunk offset=4128 times=always sense=03/0C/00\n"
        "fault 0 0 inquiry sense=04/08/01\n"
        "fault 0 0 header\n"
        "fault 0 0 save sense=03/0C/02\n");
    ASSERT_TRUE(config.notes.empty()) << config.notes.front();
    auto& plan = config.drives.at(0).drive.faults;
    EXPECT_EQ((vdrive::Sense{0x02, 0x3A, 0x00}), plan.CommandFault(3).value_or(vdrive::Sense{}));
    EXPECT_FALSE(plan.CommandFault(2).has_value());
    EXPECT_EQ((vdrive::Sense{0x04, 0x08, 0x01}), plan.InquiryFault().value_or(vdrive::Sense{}));
    EXPECT_EQ(vdrive::sense::kInternalTargetFailure, plan.HeaderFault().value_or(vdrive::Sense{}));
    EXPECT_EQ((vdrive::Sense{0x03, 0x0C, 0x02}), plan.SaveFault().value_or(vdrive::Sense{}));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(plan.TakeChunkFault(4128).has_value()) << "always, attempt " << i;
    EXPECT_FALSE(plan.TakeChunkFault(32).has_value());
}

TEST(LayerConfigTest, EachMalformedLineIsNotedAndIgnored) {
    const char* const prefix = "adapter 0 targets=2\ndrive 0 0 \"V\" \"P\" \"R\"\n";
    const char* const bad[] = {
        "adapter 0",                                    // not the next number
        "adapter 1 targets=256",
        "adapter 1 align=123",
        "adapter 1 name=\"SEVENTEEN CHARS!!\"",
        "adapter 1 speed=fast",
        "drive 0 1 \"V\" \"P\"",                        // no revision
        "drive 0 1 V \"P\" \"R\"",                      // vendor not quoted
        "drive 0 1 \"VENDOR123\" \"P\" \"R\"",          // 9 characters
        "drive 0 1 \"V\" \"P\" \"REV12\"",
        "drive 0 2 \"V\" \"P\" \"R\"",                  // beyond targets=2
        "drive 3 0 \"V\" \"P\" \"R\"",                  // no adapter 3
        "drive 0 0 \"V\" \"P\" \"R\"",                  // address taken
        "drive 0 1 \"V\" \"P\" \"R\" peripheral=GG",
        "drive 0 1 \"V\" \"P\" \"R\" complete=later",
        "drive 0 1 \"V\" \"P\" \"R\" buffer=16",
        "drive 0 1 \"V\" \"P\" \"R",                    // unterminated
        "drive 0 1 \"V\"\"P\" \"R\"",                   // words run together
        "fault 0 1 inquiry",                            // no drive there
        "fault 0 0 chunk times=2 sense=03/0C/00",      // no offset
        "fault 0 0 chunk offset=16777216",
        "fault 0 0 command n=0",
        "fault 0 0 command n=2 sense=10/00/00",        // sense key above 0Fh
        "fault 0 0 vanish",
        "fault 0 0 vanish after=3 sense=04/44/00",
        "fault 0 0 melt",
        "record",
        "record a b",
        "=x",
        "\"adapter\" 1",
        "frobnicate 1 2",
    };
    for (const char* line : bad) {
        const auto config = ParseLayerConfig(std::string(prefix) + line + "\nadapter 1\n");
        ASSERT_EQ(1u, config.notes.size()) << line;
        EXPECT_EQ(0u, config.notes[0].rfind("line 3: ", 0)) << config.notes[0];
        // The lines around it still count.
        EXPECT_EQ(2u, config.adapters.size()) << line;
        EXPECT_EQ(1u, config.drives.size()) << line;
    }
}

TEST(LayerConfigTest, CommandLineFormatIsStable) {
    // The end-to-end suite parses these lines; this pins the documented form.
    vdrive::CommandRecord r{.number = 12,
                            .cdb = {0x3B, 0x06, 0x00, 0x00, 0x10, 0x20, 0x00, 0x10, 0x00},
                            .cdbLength = 12,
                            .dirFlags = 0x10,
                            .length = 4096,
                            .outBytes = 4096,
                            .outFnv = 0x0A1B2C3D,
                            .outSum = 0x00EF,
                            .outcome = vdrive::Outcome::CheckCondition,
                            .sense = {0x03, 0x0C, 0x00}};
    EXPECT_EQ("cmd ha=1 target=2 seq=12 cdb=3B0600001020001000000000 dir=out len=4096 out=4096 fnv=0A1B2C3D "
              "sum=00EF in=0 via=pending result=CHECK sense=03/0C/00",
              vdrive::aspi::FormatCommandLine(1, 2, r, true));
    r.outcome = vdrive::Outcome::TransportFailure;
    r.dirFlags = 0x18;
    r.cdbLength = 0;
    const std::string line = vdrive::aspi::FormatCommandLine(0, 0, r, false);
    EXPECT_NE(std::string::npos, line.find(" cdb=- dir=both ")) << line;
    EXPECT_EQ(" via=immediate result=TRANSPORT", line.substr(line.size() - 31)) << line;
}

}  // namespace

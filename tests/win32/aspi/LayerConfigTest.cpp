// The drive list parser: what a good list turns into, and which mistakes are
// refused (each as one note, never a crash).
#include <gtest/gtest.h>

#include "vdrive/aspi/LayerConfig.h"

namespace {

using vdrive::aspi::ParseLayerConfig;

// CRLF or LF line ends, comments, quoted texts with escapes, every setting;
// a fault without a sense gets 04/44/00, a chunk fault without times fires once.
TEST(LayerConfigTest, GoodListBecomesAdaptersDrivesAndFaults) {
    auto config = ParseLayerConfig(
        "# two adapters\r\n"
        "adapter 0 targets=4 align=0x0F name=\"FIRST\"\r\n"
        "adapter 1\n"
        "drive 1 7 \"VEN\\x00D\\x4FR\" \"PRODUCT \\\"Q\\\"\" \"A0 4\" peripheral=25 after=\"A055\" notready=1500 "
        "buffer=65568 complete=pending  # trailing comment\n"
        "fault 1 7 vanish after=40\nfault 1 7 command n=3 sense=02/3A/00\n"
        "fault 1 7 chunk offset=4128 times=always sense=03/0C/00\nfault 1 7 chunk offset=32\n"
        "fault 1 7 inquiry sense=04/08/01\nfault 1 7 header\nfault 1 7 save sense=0B/0C/02\n"
        "record \"C:\\out dir\\rec.txt\"\n");
    EXPECT_TRUE(config.notes.empty()) << config.notes.front();
    EXPECT_EQ(2u, config.adapters.size());  // their settings: the layer's adapter inquiry
    EXPECT_EQ("C:\\out dir\\rec.txt", config.recordPath);

    ASSERT_EQ(1u, config.drives.size());
    ASSERT_EQ(&config.drives[0], config.FindDrive(1, 7));
    const vdrive::DriveConfig& drive = config.drives[0].drive;
    const auto inquiry = drive.InquiryData();
    EXPECT_EQ(std::string("\x25\x80\x00\x02\x1F\0\0\0VEN\0DOR PRODUCT \"Q\"     A0 4", 36),
              std::string(inquiry.begin(), inquiry.end()));
    EXPECT_EQ((vdrive::Revision{'A', '0', '5', '5'}), drive.revisionAfterSave.value_or(vdrive::Revision{}));
    EXPECT_EQ(1500u, drive.notReadyMs);
    EXPECT_EQ(65568u, drive.downloadBufferSize);

    vdrive::FaultPlan plan = drive.faults;
    EXPECT_TRUE(!plan.IsVanished(40) && plan.IsVanished(41) && !plan.CommandFault(2));
    using S = vdrive::Sense;
    EXPECT_EQ((S{0x02, 0x3A, 0x00}), plan.CommandFault(3).value_or(S{}));
    EXPECT_EQ((S{0x04, 0x08, 0x01}), plan.InquiryFault().value_or(S{}));
    EXPECT_EQ((S{0x04, 0x44, 0x00}), plan.HeaderFault().value_or(S{}));
    EXPECT_EQ((S{0x0B, 0x0C, 0x02}), plan.SaveFault().value_or(S{}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ((vdrive::Sense{0x03, 0x0C, 0x00}), plan.TakeChunkFault(4128)) << i;
    EXPECT_EQ((vdrive::Sense{0x04, 0x44, 0x00}), plan.TakeChunkFault(32));
    EXPECT_FALSE(plan.TakeChunkFault(32).has_value()) << "once, unless told otherwise";
}

TEST(LayerConfigTest, EachMalformedLineIsNotedAndIgnored) {
    const char* const prefix = "adapter 0 targets=2\ndrive 0 0 \"V\" \"P\" \"R\"\n";
    const char* const bad[] = {
        "adapter 0" /* not the next number */, "adapter 1 targets=256", "adapter 1 align=123",
        "adapter 1 name=\"SEVENTEEN CHARS!!\"", "adapter 1 speed=fast",
        "drive 0 1 \"V\" \"P\"" /* no revision */, "drive 0 1 V \"P\" \"R\"" /* vendor not quoted */,
        "drive 0 1 \"VENDOR123\" \"P\" \"R\"", "drive 0 1 \"V\" \"P\" \"REV12\"",
        "drive 0 2 \"V\" \"P\" \"R\"" /* beyond targets=2 */, "drive 3 0 \"V\" \"P\" \"R\"" /* no adapter 3 */,
        "drive 0 0 \"V\" \"P\" \"R\"" /* address taken */, "drive 0 1 \"V\" \"P\" \"R\" peripheral=GG",
        "drive 0 1 \"V\" \"P\" \"R\" complete=later", "drive 0 1 \"V\" \"P\" \"R\" buffer=16",
        "drive 0 1 \"V\" \"P\" \"R" /* unterminated */, "drive 0 1 \"V\"\"P\" \"R\"" /* words run together */,
        "fault 0 1 inquiry" /* no drive there */, "fault 0 0 chunk times=2 sense=03/0C/00" /* no offset */,
        "fault 0 0 chunk offset=16777216", "fault 0 0 command n=0", "fault 0 0 command n=2 sense=10/00/00",
        "fault 0 0 vanish", "fault 0 0 vanish after=3 sense=04/44/00", "fault 0 0 melt", "record", "record a b",
        "=x", "\"adapter\" 1", "frobnicate 1 2"};
    for (const char* line : bad) {
        const auto config = ParseLayerConfig(std::string(prefix) + line + "\nadapter 1\n");
        ASSERT_EQ(1u, config.notes.size()) << line;
        EXPECT_EQ(0u, config.notes[0].rfind("line 3: ", 0)) << config.notes[0];
        EXPECT_TRUE(config.adapters.size() == 2 && config.drives.size() == 1)
            << line << ": lines around it lost, " << config.adapters.size() << " adapters, " << config.drives.size();
    }
}

}  // namespace

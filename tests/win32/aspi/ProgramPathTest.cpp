// The program's own device access against the layer: LoadAspiLibrary,
// DiscoverDrives and fgExecuteCmd on the ASPI transport, for a drive whose
// downloads pend and one whose commands all finish at once.
#include "LayerFixture.h"
#include "TestPlatform.h"
#include "device/AspiLibrary.h"
#include "device/DriveDiscovery.h"
#include "device/ExecuteCmd.h"

namespace {

using namespace aspitest;

class ProgramPathTest : public LayerFixture {
protected:
    ProgramPathTest() { platform.aspiLibrary = WNASPI32_DLL_PATH; }
    ~ProgramPathTest() override {
        ReleaseDrives(platform, table);
        ReleaseDeviceAccess(platform, &aspi);
    }
    int Run(const DriveEntry& entry, std::uint8_t flags, Bytes& data, const std::vector<std::uint8_t>& cdbBytes) {
        std::uint8_t cdb[12] = {};
        std::copy(cdbBytes.begin(), cdbBytes.end(), cdb);
        std::memset(sense, 0xEE, sizeof sense);
        return fgExecuteCmd(platform, entry, flags, static_cast<std::uint32_t>(data.size()), data.data(), 12, cdb, TransportAspi,
                            sense);
    }
    int Write(const DriveEntry& entry, std::uint32_t offset, Bytes bytes) {
        return Run(entry, SRB_DIR_OUT, bytes, ChunkCdb(offset, static_cast<std::uint32_t>(bytes.size())));
    }

    TestPlatform platform;
    HMODULE aspi = nullptr;
    DriveTable table{};
    std::uint8_t sense[32];
};

TEST_F(ProgramPathTest, DiscoversAndFlashesOnBothCompletionPaths) {
    Load("adapter 0 targets=0\n"  // 0: the program probes targets 0 and 1
         "adapter 1 targets=3 align=0F\n"
         "drive 0 0 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" notready=0\n"
         "drive 0 1 \"DISKCO  \" \"PLAIN DISK\" \"0001\" peripheral=00\n"
         "drive 1 0 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" peripheral=25\n"
         "drive 1 1 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\"\n"
         "fault 1 1 inquiry\n"
         "drive 1 2 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A055\" complete=immediate notready=0\n");
    ASSERT_TRUE(LoadAspiLibrary(platform, nullptr, TransportAspi, &aspi));
    EXPECT_TRUE(platform.boxes.empty());

    DiscoverDrives(platform, table, TransportAspi, 0);
    ASSERT_EQ(2, table.nCount);
    const struct { std::uint8_t hid, tid; std::uint32_t align; const char* revision; } found[] = {
        {0, 0, 0, "A054"}, {1, 2, 0x0F, "A055"}};
    Bytes image(5000);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(testing::Message() << "entry " << i);
        const DriveEntry& drive = *table.pEntries[i];
        EXPECT_TRUE(drive.HID == found[i].hid && drive.TID == found[i].tid && drive.AlignMask == found[i].align);
        EXPECT_STREQ("MARROWFNCDR-8400 VIRTUAL", drive.ModelName);
        EXPECT_STREQ(found[i].revision, drive.Revision);

        Bytes scratch(4096);
        EXPECT_EQ(1, Write(drive, 0, HeaderFor(image)));
        EXPECT_EQ(1, Write(drive, 32, Bytes(image.begin(), image.begin() + 4096)));
        EXPECT_EQ(1, Write(drive, 32 + 4096, Bytes(image.begin() + 4096, image.end())));
        EXPECT_EQ(1, Run(drive, SRB_DIR_IN, scratch, {0x3B, 0x07}));
        const std::string name = "saved-" + std::to_string(drive.HID) + "-" + std::to_string(drive.TID) + ".bin";
        EXPECT_EQ(std::string(image.begin(), image.end()), ReadFile(InDir(name))) << name;

        // A write past the download buffer fails; on ASPI the result alone
        // says so, the sense bytes stay zero.
        EXPECT_EQ(0, Write(drive, 0xFFFFF0, Bytes(16, 1)));
        for (int b = 0; b < 16; ++b) EXPECT_EQ(0, sense[b]) << "sense byte " << b;
    }

    const std::string record = ReadFile(RecordPath());
    EXPECT_NE(std::string::npos, record.find("cmd ha=0 target=0 seq=2 cdb=3B06")) << record;
    EXPECT_NE(std::string::npos, record.find("via=pending")) << "drive 0/0 downloads pend";
    EXPECT_EQ(std::string::npos, record.find("ha=0 target=1")) << "the disk is never sent INQUIRY";
    for (const auto& line : Lines(record)) {
        if (line.rfind("cmd ha=1 target=2 ", 0) == 0) {
            EXPECT_NE(std::string::npos, line.find("via=immediate")) << line;
        }
    }
}

}  // namespace

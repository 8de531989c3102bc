// Whole runs against the virtual drive, which checks offsets and the header
// sum the way a real drive does before it programs anything.
#include "FlashTestSupport.h"
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"

using namespace fltest;

namespace {

class VDriveFlash : public FlashTest {
protected:
    void Flash(const std::vector<std::uint8_t>& image, bool hex = false,
               std::uint8_t transport = TransportPassThrough) {
        WriteFile(Path("fw"), image);
        FlashJob job = MakeJob(Path("fw").string(), hex);
        job.Drive.hDevice = &m_drive;
        job.bUsePassThrough = transport;
        CFlashEngine engine(job, TestSeams(VDriveExecuteCmd));
        engine.SetSumFilePath(SumPath().c_str());
        engine.Run();
    }
    std::vector<std::uint8_t> GoodImage(std::size_t size) {
        auto image = RandomBytes(size, static_cast<std::uint32_t>(size));
        Put(image, 64, kDriveId);
        Put(image, 128, kRevision);
        return image;
    }
    vdrive::VirtualDrive m_drive{vdrive::DriveConfig::Optical(kDriveId, kRevision)};
};

TEST_F(VDriveFlash, DriveSavesA40000ByteBin) {
    const auto image = GoodImage(40000);
    Flash(image);
    EXPECT_EQ(Messages().back(), "Please Restart Your Computer.");
    EXPECT_EQ(m_drive.SaveCount(), 1u);
    auto sent = image;
    sent.resize(40960, 0xFF);
    EXPECT_EQ(m_drive.SavedImage(), sent);
    EXPECT_EQ(m_drive.Log().AcceptedChunks().size(), 10u + 1u);  // and the header
}

// Counting a resent chunk once is what lets the drive accept the header.
TEST_F(VDriveFlash, ChunkRefusedFiveTimesStillSaves) {
    m_drive.SetFaults(vdrive::FaultPlan().FailChunkAt(32 + 4096, 5, vdrive::sense::kInternalTargetFailure));
    Flash(GoodImage(3 * 4096));
    EXPECT_EQ(Messages().back(), "Please Restart Your Computer.");
    EXPECT_EQ(m_drive.Log().Chunks().size(), 3u + 5u + 1u);
    EXPECT_EQ(m_drive.SaveCount(), 1u);
}

TEST_F(VDriveFlash, FailuresCarryTheDrivesSense) {
    const struct {
        const char* what;
        vdrive::FaultPlan plan;
        std::uint8_t transport;
        std::string log;
    } cases[] = {
        {"chunk", vdrive::FaultPlan().FailChunkAt(32, 6, {0x05, 0x24, 0x00}), TransportPassThrough,
         "Execute command errorA!!  5/24/ 0"},
        {"chunk on ASPI: no sense", vdrive::FaultPlan().FailChunkAt(32, 6, {0x05, 0x24, 0x00}),
         TransportAspi, "Execute command errorA!!  0/ 0/ 0"},
        {"header", vdrive::FaultPlan().FailHeader({0x04, 0x44, 0x00}), TransportPassThrough,
         "Execute command errorB!!  4/44/ 0"},
        {"save", vdrive::FaultPlan().FailSave({0x03, 0x0C, 0x00}), TransportPassThrough,
         "Execute command errorC!!  3/ C/ 0"},
    };
    for (const auto& c : cases) {
        g_rec = Recorder{};
        m_drive.SetFaults(c.plan);
        Flash(GoodImage(8192), false, c.transport);
        const auto m = Messages();
        ASSERT_GE(m.size(), 2u);
        EXPECT_EQ(m[m.size() - 2], c.log) << c.what;
        EXPECT_EQ(m.back(), "Flashing is incorrect!!") << c.what;
        EXPECT_EQ(m_drive.SaveCount(), 0u) << c.what;
    }
}

TEST_F(VDriveFlash, RefusedImageReachesTheDriveOnlyAsTheVendorCommand) {
    auto image = GoodImage(5000);
    image[64] = 'X';  // spoil the identification
    Flash(image);
    const auto log = m_drive.Log();
    ASSERT_EQ(log.Size(), 1u);
    EXPECT_EQ(log[0].Opcode(), 0x95);
}

TEST_F(VDriveFlash, HexEndingAtTheTopOfTheBufferIsSentUpTo1MB) {
    std::vector<std::uint8_t> id(kDriveId.begin(), kDriveId.end());
    std::string text = HexRecord(0, 0x40, id);
    for (int i = 0; i < 15; ++i) text += kSegmentRecord;
    text += HexRecord(0, 0xFFF0, std::vector<std::uint8_t>(16, 0x42)) + kEndRecord;
    Flash(std::vector<std::uint8_t>(text.begin(), text.end()), true);
    EXPECT_EQ(Messages().back(), "Please Restart Your Computer.");
    std::vector<std::uint8_t> expected(kImageBufferSize, 0xFF);
    Put(expected, 0x40, kDriveId);
    std::fill(expected.end() - 16, expected.end(), 0x42);
    EXPECT_EQ(m_drive.SavedImage(), expected);
}

}  // namespace

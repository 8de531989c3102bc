// Whole runs against the virtual drive, which checks offsets and the header
// sum the way a real drive does before it programs anything.
#include "FlashTestSupport.h"
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"

using namespace fltest;

namespace {

using VDriveFlash = FlashTest;

// Counting a resent chunk once is what lets the drive accept the header. A
// working directory where sum.txt cannot be written changes nothing sent.
TEST_F(VDriveFlash, DriveSavesTheImageAlsoAfterRefusedChunks) {
    std::string image(40000, '\x5A');
    image.replace(64, 28, kDriveId + "1.05");
    WriteFile(Path("fw"), image);
    image.resize(40960, '\xFF');
    platform.execute = VDriveExecuteCmd;
    for (auto [refusals, sumDir] : {std::pair<int, const char*>{0, ""}, {5, ""}, {5, "no-such-folder"}}) {
        SCOPED_TRACE(std::to_string(refusals) + sumDir);
        Reset();
        vdrive::VirtualDrive drive(vdrive::DriveConfig::Optical(kDriveId, "1.05"));
        drive.SetFaults(vdrive::FaultPlan().FailChunkAt(32 + 4096, refusals, vdrive::sense::kInternalTargetFailure));
        FlashJob job = Job(false);
        job.Drive.hDevice = &drive;
        Run(job, sumDir);
        EXPECT_EQ(Messages().back(), kRestart);
        EXPECT_EQ(drive.Log().Chunks().size(), 10u + refusals + 1);  // and the header
        EXPECT_EQ(drive.SaveCount(), 1u);
        EXPECT_EQ(drive.SavedImage(), ToBytes(image));
    }
}

}  // namespace

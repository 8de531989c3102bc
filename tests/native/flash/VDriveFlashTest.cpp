// Whole runs against the virtual drive, which checks offsets and the header
// sum the way a real drive does before it programs anything. (How failures
// are reported is the procedure tests' concern.)
#include "FlashTestSupport.h"
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"

using namespace fltest;

namespace {

class VDriveFlash : public FlashTest {};

// Counting a resent chunk once is what lets the drive accept the header.
TEST_F(VDriveFlash, DriveSavesTheImageAlsoAfterRefusedChunks) {
    auto image = RandomBytes(40000, 40000);
    Put(image, 64, kDriveId);
    Put(image, 128, kRevision);
    WriteFile(Path("fw"), image);
    image.resize(40960, 0xFF);
    for (int refusals : {0, 5}) {
        SCOPED_TRACE(refusals);
        Reset();
        vdrive::VirtualDrive drive(vdrive::DriveConfig::Optical(kDriveId, kRevision));
        drive.SetFaults(vdrive::FaultPlan().FailChunkAt(32 + 4096, refusals, vdrive::sense::kInternalTargetFailure));
        FlashJob job = MakeJob(Path("fw").string(), false);
        job.Drive.hDevice = &drive;
        CFlashEngine engine(job, TestSeams(VDriveExecuteCmd));
        engine.SetSumFilePath(SumPath().c_str());
        engine.Run();
        EXPECT_EQ(Messages().back(), kRestart);
        EXPECT_EQ(drive.Log().Chunks().size(), 10u + refusals + 1);  // and the header
        EXPECT_EQ(drive.SaveCount(), 1u);
        EXPECT_EQ(drive.SavedImage(), image);
    }
}

}  // namespace

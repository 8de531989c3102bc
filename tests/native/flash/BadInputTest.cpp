// Input the design lets through, on the real engine and a virtual drive.
// (Every command against every way a drive can fail it, with the log,
// sum.txt, the attempts and everything given back: the drive-behaviour fuzz
// target, whose seed corpus runs in every smoke run.)
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "FlashTestSupport.h"
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"

using namespace fltest;

namespace {

std::size_t OpenFiles() {
    const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

using BadInput = FlashTest;

// Bad input the design lets through: a drive that lies in its revision, a ".bin" identification that ends the
// 1 MB buffer, a sum.txt whose disk fills after 200 bytes. Each upgrade flashes and sum.txt's first line is whole.
// (A 95h answer of any length: the fuzz target, whose drive answers 0 to 255 bytes under ASan.)
TEST_F(BadInput, StaysHarmless) {
    const std::string fw = kDriveId + "1.05", top = "1.05" + std::string(kImageBufferSize - 28, '\x11') + kDriveId;
    const struct { const char* name; std::string image, revision; std::uint32_t chunks; rlim_t sumLimit; } cases[] = {
        {"revision bytes not printable", kDriveId + "\x01\xFF", "\x01\xFF", 1, RLIM_INFINITY},
        {"identification ends the buffer", top, "1.05", 256, RLIM_INFINITY}, {"disk full part way", fw, "1.05", 1, 200}};
    std::signal(SIGXFSZ, SIG_IGN);  // a failing write, not a killed process
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset(), WriteFile(Path("fw"), c.image);
        vdrive::VirtualDrive drive(vdrive::DriveConfig::Optical(kDriveId, c.revision));
        FlashJob job = Job(false, c.revision);
        job.Drive.hDevice = &drive, platform.execute = VDriveExecuteCmd;
        std::snprintf(job.Drive.Revision, sizeof job.Drive.Revision, "%s", c.revision.c_str());
        const std::size_t filesBefore = OpenFiles();
        const rlimit limited = {c.sumLimit, RLIM_INFINITY}, unlimited = {RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limited), Run(job), ::setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_EQ(OpenFiles(), filesBefore);
        EXPECT_EQ(Messages().back(), kRestart);
        const Bytes saved = drive.SavedImage();
        ASSERT_EQ(saved.size(), c.chunks * kChunkSize);
        EXPECT_EQ(std::string(saved.end() - 24, saved.end()), c.chunks == 1 ? std::string(24, '\xFF') : kDriveId);
        const std::string sum = ReadFile(Path("sum.txt"));
        EXPECT_EQ(sum.substr(0, sum.find('\n')), "Model Name : " + kDriveId + "(0) HID : 1 TID : 3 Ver.: " + c.revision);
        EXPECT_EQ(sum.size() == 200, c.sumLimit == 200) << sum.size();
    }
}

}  // namespace

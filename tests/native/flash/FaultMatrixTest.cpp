// Every upgrade command against every way a drive can fail it, on the real
// engine and a virtual drive: what the log and sum.txt end with, how often a
// chunk is tried, and that the buffer and every file are given back.
#include <filesystem>
#include <map>

#include "FlashTestSupport.h"
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"

using namespace fltest;

namespace {

enum Cmd { Vendor, Chunk, Header, Save, Other, None };  // Chunk: the second one, at buffer offset 1020h
enum Kind { Check, Lost, Gone };  // CHECK CONDITION, answer lost (result 0, no sense), drive vanished

Cmd Which(const std::uint8_t* cdb) {
    if (cdb[0] == 0x95) return Vendor;
    if (cdb[1] == 7) return Save;
    const unsigned offset = cdb[3] << 16 | cdb[4] << 8 | cdb[5];
    return offset == 0 ? Header : offset == 0x1020 ? Chunk : Other;
}

std::size_t OpenFiles() {
    const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

const vdrive::Sense k2{2, 0x04, 0x01}, k3{3, 0x0C, 0}, k4{4, 0x44, 0}, k5{5, 0x24, 0}, k6{6, 0x29, 0};
const char* const kDone = "I will in fgTestUnitReadyComplete()\n";

using FaultMatrix = FlashTest;

TEST_F(FaultMatrix, EveryCommandEveryFault) {
    const struct {
        Cmd cmd; Kind kind; vdrive::Sense sense;
        std::uint32_t times;  // chunk refusals; 0: every time
        const char *error, *sumEnd;  // error: the log's error line, empty when the run succeeds
        int tries20, tries1020;  // attempts of each chunk
    } cells[] = {
        // The 95h command's answer means nothing: its failures do not stop the upgrade.
        {Vendor, Check, k2, 0, "", kDone, 1, 1},
        {Vendor, Check, k3, 0, "", kDone, 1, 1},
        {Vendor, Check, k4, 0, "", kDone, 1, 1},
        {Vendor, Check, k5, 0, "", kDone, 1, 1},
        {Vendor, Check, k6, 0, "", kDone, 1, 1},
        {Vendor, Lost, {}, 0, "", kDone, 1, 1},
        {Vendor, Gone, {}, 0, "Execute command errorA!!  0/ 0/ 0", "Execute command error!!  0/ 0/ 0\n", 6, 0},  // gone for good
        {Chunk, Check, k2, 0, "Execute command errorA!!  2/ 4/ 1", "Execute command error!!  2/ 4/ 1\n", 1, 6},
        {Chunk, Check, k3, 0, "Execute command errorA!!  3/ C/ 0", "Execute command error!!  3/ C/ 0\n", 1, 6},
        {Chunk, Check, k4, 0, "Execute command errorA!!  4/44/ 0", "Execute command error!!  4/44/ 0\n", 1, 6},
        {Chunk, Check, k5, 0, "Execute command errorA!!  5/24/ 0", "Execute command error!!  5/24/ 0\n", 1, 6},
        {Chunk, Check, k6, 0, "Execute command errorA!!  6/29/ 0", "Execute command error!!  6/29/ 0\n", 1, 6},
        {Chunk, Lost, {}, 0, "Execute command errorA!!  0/ 0/ 0", "Execute command error!!  0/ 0/ 0\n", 1, 6},
        {Chunk, Gone, {}, 0, "Execute command errorA!!  0/ 0/ 0", "Execute command error!!  0/ 0/ 0\n", 1, 6},
        {Header, Check, k2, 0, "Execute command errorB!!  2/ 4/ 1", "Execute command error!!  2/ 4/ 1\n", 1, 1},
        {Header, Check, k3, 0, "Execute command errorB!!  3/ C/ 0", "Execute command error!!  3/ C/ 0\n", 1, 1},
        {Header, Check, k4, 0, "Execute command errorB!!  4/44/ 0", "Execute command error!!  4/44/ 0\n", 1, 1},
        {Header, Check, k5, 0, "Execute command errorB!!  5/24/ 0", "Execute command error!!  5/24/ 0\n", 1, 1},
        {Header, Check, k6, 0, "Execute command errorB!!  6/29/ 0", "Execute command error!!  6/29/ 0\n", 1, 1},
        {Header, Lost, {}, 0, "Execute command errorB!!  0/ 0/ 0", "Execute command error!!  0/ 0/ 0\n", 1, 1},
        {Header, Gone, {}, 0, "Execute command errorB!!  0/ 0/ 0", "Execute command error!!  0/ 0/ 0\n", 1, 1},
        // The save's error line has no line end.
        {Save, Check, k2, 0, "Execute command errorC!!  2/ 4/ 1", "Execute command error!!  2/ 4/ 1", 1, 1},
        {Save, Check, k3, 0, "Execute command errorC!!  3/ C/ 0", "Execute command error!!  3/ C/ 0", 1, 1},
        {Save, Check, k4, 0, "Execute command errorC!!  4/44/ 0", "Execute command error!!  4/44/ 0", 1, 1},
        {Save, Check, k5, 0, "Execute command errorC!!  5/24/ 0", "Execute command error!!  5/24/ 0", 1, 1},
        {Save, Check, k6, 0, "Execute command errorC!!  6/29/ 0", "Execute command error!!  6/29/ 0", 1, 1},
        {Save, Lost, {}, 0, "Execute command errorC!!  0/ 0/ 0", "Execute command error!!  0/ 0/ 0", 1, 1},
        {Save, Gone, {}, 0, "Execute command errorC!!  0/ 0/ 0", "Execute command error!!  0/ 0/ 0", 1, 1},
        // A chunk refused 1 to 5 times gets through; the sixth refusal ends the run.
        {Chunk, Check, k3, 1, "", kDone, 1, 2},
        {Chunk, Check, k3, 2, "", kDone, 1, 3},
        {Chunk, Check, k3, 3, "", kDone, 1, 4},
        {Chunk, Check, k3, 4, "", kDone, 1, 5},
        {Chunk, Check, k3, 5, "", kDone, 1, 6},
        {Chunk, Check, k3, 6, "Execute command errorA!!  3/ C/ 0", "Execute command error!!  3/ C/ 0\n", 1, 6},
        {Chunk, Check, k3, 7, "Execute command errorA!!  3/ C/ 0", "Execute command error!!  3/ C/ 0\n", 1, 6},
    };
    // Two chunks, the second 40 bytes long; check sum 718h + (100000h - 1028h) * FFh = EF40h (mod 10000h).
    WriteFile(Path("fw"), kDriveId + "1.05" + std::string(4108, '\0'));
    Cmd lost = None;
    platform.execute = [&lost](const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                               std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport,
                               std::uint8_t* sense) {
        const int result = VDriveExecuteCmd(entry, flags, length, data, cdbLength, cdb, transport, sense);
        if (Which(cdb) != lost) return result;
        std::memset(sense, 0, kSenseBufferSize);
        return 0;
    };
    for (std::size_t i = 0; i < std::size(cells); ++i) {
        const auto& c = cells[i];
        SCOPED_TRACE(testing::Message() << "cell " << i << ": " << (*c.error ? c.error : "success"));
        Reset();
        vdrive::FaultPlan plan;
        lost = c.kind == Lost ? c.cmd : None;
        if (c.kind == Gone) plan.VanishAfter(c.cmd == Vendor ? 0u : c.cmd + 1u);  // commands: 95h, chunks, header, save
        if (c.kind == Check && c.cmd == Vendor) plan.FailCommand(1, c.sense);
        if (c.kind == Check && c.cmd == Chunk) plan.FailChunkAt(0x1020, c.times ? c.times : plan.kAlways, c.sense);
        if (c.kind == Check && c.cmd == Header) plan.FailHeader(c.sense);
        if (c.kind == Check && c.cmd == Save) plan.FailSave(c.sense);
        vdrive::VirtualDrive drive(vdrive::DriveConfig::Optical(kDriveId, "1.05"));
        drive.SetFaults(plan);
        FlashJob job = Job(false);
        job.Drive.hDevice = &drive;
        const std::size_t filesBefore = OpenFiles();
        Run(job);  // also checks that Run gave the buffer back, once
        EXPECT_EQ(OpenFiles(), filesBefore);
        EXPECT_EQ(platform.imageAllocs, 1);
        const bool ok = *c.error == '\0';
        std::vector<std::string> log = {"Check Sum : EF40", "Please wait a minute.....", c.error, kIncorrect};
        if (ok) { log.erase(log.begin() + 2); log.back() = kRestart; }
        EXPECT_EQ(Messages(), log);
        const std::string sum = ReadFile(Path("sum.txt"));
        EXPECT_TRUE(sum.ends_with(std::string("\n") + c.sumEnd)) << sum;
        EXPECT_TRUE(!ok || drive.SaveCount() == 1u) << "success only after a save";
        std::map<std::uint32_t, int> tries, traced;
        for (const auto& w : drive.Log().Chunks()) ++tries[w.offset];
        for (std::size_t at = 0; (at = sum.find("Address=", at)) != std::string::npos; ++at)
            ++traced[static_cast<std::uint32_t>(std::stoul(sum.substr(at + 8, 8), nullptr, 16))];
        tries.erase(0);  // the header
        EXPECT_EQ(tries, traced) << "every attempt the drive got is traced";
        EXPECT_EQ(traced[0x20], c.tries20);
        EXPECT_EQ(traced[0x1020], c.tries1020);
        EXPECT_EQ(traced.size(), 2u);
    }
}

}  // namespace

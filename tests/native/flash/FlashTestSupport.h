// Test partners of the flashing engine: hooks that record into process-wide
// lists (hooks are plain function pointers), a TestPlatform whose commands
// are recorded and all answered good, and a scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HexDiagnosis.h"
#include "TestPlatform.h"
#include "scsi/ScsiTypes.h"
#include "flash/FlashEngine.h"

namespace fltest {

using Bytes = std::vector<std::uint8_t>;

// The identification as the drive list shows it is kDriveId + "(0)".
inline const std::string kDriveId = "VENDORX CDROM DRIVE 52X ";
inline const std::string kIncorrect = "Flashing is incorrect!!", kRestart = "Please Restart Your Computer.";

// Hook calls as "Message:<text>", "Status:<text>", "Progress:<n>", "DriveName:" ...
inline std::vector<std::string> g_events;
inline int g_terminateAtCall = 0, g_terminatedCalls = 0;  // CBIfTerminated answers 1 from call g_terminateAtCall on

inline std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const auto& e : g_events)
        if (e.rfind("Message:", 0) == 0) out.push_back(e.substr(8));
    return out;
}

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string HexRecord(std::uint8_t t, std::uint16_t a, const Bytes& d = {}) { return IntelHexRecord(t, a, d.data(), d.size()); }
inline const std::string kEndRecord = ":00000001FF\r\n", kSegmentRecord = ":00000055AB\r\n";
inline std::string Repeat(const std::string& s, int n) { return n > 0 ? s + Repeat(s, n - 1) : ""; }

class FlashTest : public ::testing::Test {
protected:
    FlashTest() {
        char tmpl[] = "/tmp/mf_flash_XXXXXX";
        m_dir = ::mkdtemp(tmpl);
        platform.execute = [this](const DriveEntry&, std::uint8_t, std::uint32_t, std::uint8_t*, std::uint8_t cdbLength,
                                  const std::uint8_t* cdb, std::uint8_t, std::uint8_t* sense) {
            sent.push_back(Bytes(cdb, cdb + cdbLength));
            std::memset(sense, 0, 16);
            return 1;
        };
        Reset();
    }
    ~FlashTest() override { std::filesystem::remove_all(m_dir, m_ec); }
    std::filesystem::path Path(const char* name) const { return m_dir / name; }

    // A fresh start for the next case of a table; the process's running
    // total of chunk sums (kept from run to run) starts from 0 again too,
    // unless it is to go on.
    void Reset(bool keepTotal = false) {
        if (!keepTotal) CSumTrace::Process().Add(static_cast<std::uint16_t>(0x10000 - CSumTrace::Process().Total()));
        g_events.clear(), sent.clear(), platform.sleeps.clear();
        g_terminateAtCall = g_terminatedCalls = 0;
        platform.failImageAlloc = false;
        platform.imageAllocs = platform.imageFrees = platform.imageLocks = platform.imageUnlocks = 0;
        platform.freedImage.clear();
        std::filesystem::remove(Path("sum.txt"));
    }

    // A job for drive 1/3 and the image file "fw", whose hooks record.
    FlashJob Job(bool hex, const std::string& revision = "1.05") const {
        FlashJob job{};
        job.Drive.HID = 1, job.Drive.TID = 3;
        std::snprintf(job.Drive.ModelName, sizeof job.Drive.ModelName, "%s(0)", kDriveId.c_str());
        std::snprintf(job.Drive.Revision, sizeof job.Drive.Revision, "1.05");
        std::snprintf(job.szImagePath, sizeof job.szImagePath, "%s", Path("fw").c_str());
        std::snprintf(job.szDriveText, sizeof job.szDriveText, "%s(0)", kDriveId.c_str());
        std::snprintf(job.szRevision, sizeof job.szRevision, "%s", revision.c_str());
        job.bHexImage = hex ? 1 : 0;
        job.Hooks.CBSetRevision = [](void*, const char* t) { g_events.push_back("Revision:" + std::string(t)); };
        job.Hooks.CBSetDriveName = [](void*, const char* t) { g_events.push_back("DriveName:" + std::string(t)); };
        job.Hooks.CBShowMessage = [](void*, const char* t) { g_events.push_back("Message:" + std::string(t)); };
        job.Hooks.CBShowStatus = [](void*, const char* t) { g_events.push_back("Status:" + std::string(t)); };
        job.Hooks.CBSetProgress = [](void*, int p) { return g_events.push_back("Progress:" + std::to_string(p)), 0; };
        job.Hooks.CBIfTerminated = [](void*) -> std::uint8_t {
            return ++g_terminatedCalls >= g_terminateAtCall && g_terminateAtCall != 0;
        };
        job.bUsePassThrough = TransportPassThrough;
        return job;
    }

    // Runs an engine over `job` with sum.txt in the scratch directory (or in
    // `sumDir` under it), and checks that Run itself gave back the buffer it
    // obtained (if any), once, leaving nothing for the destructor.
    void Run(const FlashJob& job, const std::string& sumDir = "") {
        {
            CFlashEngine engine(job, platform);
            engine.SetSumFilePath((m_dir / sumDir / "sum.txt").c_str());
            engine.Run();
            EXPECT_LE(platform.imageAllocs, 1);
            EXPECT_EQ(platform.imageFrees, platform.failImageAlloc ? 0 : platform.imageAllocs) << "given back by Run";
        }
        EXPECT_EQ(platform.imageFrees, platform.failImageAlloc ? 0 : platform.imageAllocs) << "and only once";
    }

    TestPlatform platform;
    std::vector<Bytes> sent;  // the CDBs, in order

private:
    std::filesystem::path m_dir;
    std::error_code m_ec;
};

}  // namespace fltest

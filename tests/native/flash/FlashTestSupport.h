// Test partners of the flashing engine: recording hooks, a scripted
// transport, counting image-buffer and sleep seams, a scratch directory and
// an Intel-HEX writer of the tests' own. The recorders are process-wide
// because hooks and seams are plain function pointers; FlashTest resets
// them for every test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "flash/FlashEngine.h"

namespace fltest {

// 24-character identification, as the drive list shows it (plus the suffix).
inline const std::string kDriveId = "VENDORX CDROM DRIVE 52X ";
inline const std::string kDriveText = kDriveId + "(0)";
inline const std::string kRevision = "1.05";

struct Event {
    std::string hook;  // "Message", "Status", "Progress", "DriveName", "Revision", "Aux", "Idle"
    std::string text;
    int value = 0;
    bool operator==(const Event&) const = default;
};
void PrintTo(const Event& e, std::ostream* os);

struct Command {
    Cdb12 cdb{};
    std::uint8_t flags = 0;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> data;  // what the buffer held when the command was sent
    std::uint8_t transport = 0;
};

// How the scripted transport answers one command.
struct Answer {
    int result = 1;
    std::uint8_t key = 0, asc = 0, ascq = 0;
};

struct Recorder {
    std::vector<Event> events;
    int terminateAtCall = 0;  // CBIfTerminated answers 1 from this 1-based call on; 0: never
    int terminatedCalls = 0;
    std::vector<Command> sent;
    std::vector<Answer> answers;  // by command index; missing entries answer good
    std::vector<std::uint32_t> sleeps;
    bool failAlloc = false;
    int allocs = 0, frees = 0, locks = 0, unlocks = 0;
};
extern Recorder g_rec;

FlashJob MakeJob(const std::string& imagePath, bool hex,
                 const std::string& driveText = kDriveText,
                 const std::string& revision = kRevision);
// Scripted transport (ScriptedExecute) unless another executor is given.
EngineSeams TestSeams(PFN_EXECUTE_CMD execute = nullptr);
int ScriptedExecute(const DriveEntry&, std::uint8_t flags, std::uint32_t length,
                    std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                    std::uint8_t transport, std::uint8_t* sense);

std::vector<std::string> Messages();
std::vector<std::string> Lines(const std::string& text);
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// Independent Intel-HEX writer: one record, upper-case digits, CRLF.
std::string HexRecord(std::uint8_t type, std::uint16_t address,
                      const std::vector<std::uint8_t>& data = {});
inline const std::string kEndRecord = ":00000001FF\r\n";
inline const std::string kSegmentRecord = ":00000055AB\r\n";
// Data records of 16 bytes for data[0..n) at segment-relative addresses.
std::string HexData(const std::vector<std::uint8_t>& data, std::uint16_t base = 0);

std::uint16_t Sum16(const std::vector<std::uint8_t>& bytes, std::size_t from = 0,
                    std::size_t to = SIZE_MAX);
// `size` bytes of pseudo-random data (no 0xFF bias) from `seed`.
std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed);
// Copies `text` into `image` at `at`.
void Put(std::vector<std::uint8_t>& image, std::size_t at, const std::string& text);

// Fixture: fresh recorders, a scratch directory, sum.txt inside it.
class FlashTest : public ::testing::Test {
protected:
    FlashTest();
    ~FlashTest() override;
    std::filesystem::path Path(const char* name) const { return m_dir / name; }
    std::filesystem::path SumPath() const { return m_dir / "sum.txt"; }
    // Builds an engine for the file and runs it.
    void RunEngine(const std::filesystem::path& image, bool hex,
                   PFN_EXECUTE_CMD execute = nullptr);
    std::uint16_t m_totalAtStart;

private:
    std::filesystem::path m_dir;
};

}  // namespace fltest

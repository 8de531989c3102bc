// Test partners of the flashing engine: recording hooks, a scripted
// transport, counting image-buffer and sleep seams, a scratch directory and
// an Intel-HEX writer of the tests' own. The recorder is process-wide
// because hooks and seams are plain function pointers; FlashTest resets it
// for every test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "flash/FlashEngine.h"

namespace fltest {

using Bytes = std::vector<std::uint8_t>;

// 24-character identification, as the drive list shows it (plus the suffix).
inline const std::string kDriveId = "VENDORX CDROM DRIVE 52X ";
inline const std::string kDriveText = kDriveId + "(0)";
inline const std::string kRevision = "1.05";
inline const std::string kIncorrect = "Flashing is incorrect!!";
inline const std::string kRestart = "Please Restart Your Computer.";

struct Event {
    std::string hook;  // "Message", "Status", "Progress", "DriveName", "Revision", "GetDriveName", "Aux", "Idle"
    std::string text;
    int value = 0;
    bool operator==(const Event&) const = default;
};
inline void PrintTo(const Event& e, std::ostream* os) { *os << e.hook << "(\"" << e.text << "\", " << e.value << ")"; }

struct Command {
    Cdb12 cdb{};
    std::uint8_t flags = 0;
    std::uint32_t length = 0;
    Bytes data;  // what the buffer held when the command was sent
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
inline Recorder g_rec;

namespace seams {
inline void Sleep(std::uint32_t ms) { g_rec.sleeps.push_back(ms); }
inline void* Alloc(std::size_t size) {
    if (g_rec.failAlloc) return nullptr;
    ++g_rec.allocs;
    return std::malloc(size);
}
inline void Lock(void*, std::size_t) { ++g_rec.locks; }
inline void Unlock(void*, std::size_t) { ++g_rec.unlocks; }
inline void Free(void* p, std::size_t) {
    ++g_rec.frees;
    std::free(p);
}
}  // namespace seams

inline void Record(const char* hook, const char* text, int value = 0) { g_rec.events.push_back({hook, text, value}); }

template <std::size_t N>
void CopyInto(char (&dst)[N], const std::string& s) {
    std::memset(dst, 0, N);
    std::memcpy(dst, s.data(), std::min(s.size(), N - 1));
}

// A job for drive 1/3 whose hooks all go to the recorder.
inline FlashJob MakeJob(const std::string& imagePath, bool hex, const std::string& revision = kRevision) {
    FlashJob job{};
    job.Drive.HID = 1;
    job.Drive.TID = 3;
    CopyInto(job.Drive.ModelName, kDriveText);
    CopyInto(job.Drive.Revision, kRevision);
    CopyInto(job.szImagePath, imagePath);
    CopyInto(job.szDriveText, kDriveText);
    CopyInto(job.szRevision, revision);
    job.bHexImage = hex ? 1 : 0;
    job.CBSetAuxText = [](const char* t) { Record("Aux", t); };
    job.CBSetRevision = [](const char* t) { Record("Revision", t); };
    job.CBSetDriveName = [](const char* t) { Record("DriveName", t); };
    job.CBGetDriveName = [](char* b) {
        Record("GetDriveName", "");
        b[0] = '\0';
        return 0;
    };
    job.CBShowMessage = [](const char* t) { Record("Message", t); };
    job.CBShowStatus = [](const char* t) { Record("Status", t); };
    job.CBSetProgress = [](int p) {
        Record("Progress", "", p);
        return 0;
    };
    job.CBIdle = [] { Record("Idle", ""); };
    job.CBIfTerminated = []() -> std::uint8_t {
        ++g_rec.terminatedCalls;
        return g_rec.terminateAtCall != 0 && g_rec.terminatedCalls >= g_rec.terminateAtCall;
    };
    job.bUsePassThrough = TransportPassThrough;
    return job;
}

// Records the command and answers from g_rec.answers.
inline int ScriptedExecute(const DriveEntry&, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                           std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport, std::uint8_t* sense) {
    Command c{{}, flags, length, Bytes(data, data + length), transport};
    std::memcpy(c.cdb.data(), cdb, std::min<std::size_t>(cdbLength, c.cdb.size()));
    const std::size_t index = g_rec.sent.size();
    g_rec.sent.push_back(std::move(c));
    const Answer a = index < g_rec.answers.size() ? g_rec.answers[index] : Answer{};
    std::memset(sense, 0, 16);
    sense[2] = a.key;
    sense[12] = a.asc;
    sense[13] = a.ascq;
    return a.result;
}

inline EngineSeams TestSeams(PFN_EXECUTE_CMD execute = ScriptedExecute) {
    return {execute, seams::Sleep, seams::Alloc, seams::Lock, seams::Unlock, seams::Free};
}

inline std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const auto& e : g_rec.events)
        if (e.hook == "Message") out.push_back(e.text);
    return out;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// Independent Intel-HEX writer: one record, upper-case digits, CRLF.
inline std::string HexRecord(std::uint8_t type, std::uint16_t address, const Bytes& data = {}) {
    Bytes bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                   static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (auto b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    bytes.push_back(static_cast<std::uint8_t>(0x100 - sum));
    std::string line = ":";
    for (auto b : bytes) line += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
    return line + "\r\n";
}
inline const std::string kEndRecord = ":00000001FF\r\n";
inline const std::string kSegmentRecord = ":00000055AB\r\n";

// Data records of 16 bytes for data[0..n) at segment-relative addresses.
inline std::string HexData(const Bytes& data, std::uint16_t base = 0) {
    std::string text;
    for (std::size_t at = 0; at < data.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, data.size() - at);
        text += HexRecord(0x00, static_cast<std::uint16_t>(base + at), Bytes(data.begin() + at, data.begin() + at + n));
    }
    return text;
}

inline std::uint16_t Sum16(const Bytes& bytes, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    std::uint16_t sum = 0;
    for (std::size_t i = from; i < std::min(to, bytes.size()); ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
    return sum;
}

// `size` bytes of pseudo-random data (no 0xFF bias) from `seed`.
inline Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 gen(seed);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(gen());
    return out;
}

// Copies `text` into `image` at `at`.
inline void Put(Bytes& image, std::size_t at, const std::string& text) {
    std::memcpy(image.data() + at, text.data(), text.size());
}

// Fixture: fresh recorder, a scratch directory, sum.txt inside it.
class FlashTest : public ::testing::Test {
protected:
    FlashTest() : m_totalAtStart(CFlashEngine::Total()) {
        g_rec = Recorder{};
        char tmpl[] = "/tmp/mf_flash_XXXXXX";
        m_dir = ::mkdtemp(tmpl);
        m_sumFile = SumPath();
    }
    ~FlashTest() override {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::filesystem::path Path(const char* name) const { return m_dir / name; }
    std::filesystem::path SumPath() const { return m_dir / "sum.txt"; }
    // A fresh recorder and no sum.txt, for the next case of a table.
    void Reset() {
        g_rec = Recorder{};
        std::filesystem::remove(SumPath());
        m_totalAtStart = CFlashEngine::Total();
    }
    // Builds an engine for the file and runs it.
    void RunEngine(const std::filesystem::path& image, bool hex, PFN_EXECUTE_CMD execute = ScriptedExecute) {
        CFlashEngine engine(MakeJob(image.string(), hex), TestSeams(execute));
        engine.SetSumFilePath(m_sumFile.c_str());
        engine.Run();
    }
    void RunFile(const std::string& content, bool hex) {
        WriteFile(Path("fw"), content);
        RunEngine(Path("fw"), hex);
    }
    void RunBin(const Bytes& image) { RunFile(std::string(image.begin(), image.end()), false); }
    std::uint16_t m_totalAtStart;
    std::filesystem::path m_sumFile;  // where RunEngine points sum.txt

private:
    std::filesystem::path m_dir;
};

}  // namespace fltest

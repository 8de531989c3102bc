#include "FlashTestSupport.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace fltest {

Recorder g_rec;

void PrintTo(const Event& e, std::ostream* os) {
    *os << e.hook << "(\"" << e.text << "\", " << e.value << ")";
}

namespace {

void OnAux(const char* t) { g_rec.events.push_back({"Aux", t, 0}); }
void OnRevision(const char* t) { g_rec.events.push_back({"Revision", t, 0}); }
void OnDriveName(const char* t) { g_rec.events.push_back({"DriveName", t, 0}); }
int OnGetDriveName(char* b) {
    g_rec.events.push_back({"GetDriveName", "", 0});
    b[0] = '\0';
    return 0;
}
void OnMessage(const char* t) { g_rec.events.push_back({"Message", t, 0}); }
void OnStatus(const char* t) { g_rec.events.push_back({"Status", t, 0}); }
int OnProgress(int p) {
    g_rec.events.push_back({"Progress", "", p});
    return 0;
}
void OnIdle() { g_rec.events.push_back({"Idle", "", 0}); }
std::uint8_t OnTerminated() {
    ++g_rec.terminatedCalls;
    return g_rec.terminateAtCall != 0 && g_rec.terminatedCalls >= g_rec.terminateAtCall;
}

void RecordSleep(std::uint32_t ms) { g_rec.sleeps.push_back(ms); }
void* CountAlloc(std::size_t size) {
    if (g_rec.failAlloc) return nullptr;
    ++g_rec.allocs;
    return std::malloc(size);
}
void CountLock(void*, std::size_t) { ++g_rec.locks; }
void CountUnlock(void*, std::size_t) { ++g_rec.unlocks; }
void CountFree(void* p, std::size_t) {
    ++g_rec.frees;
    std::free(p);
}

template <std::size_t N>
void CopyInto(char (&dst)[N], const std::string& s) {
    std::memset(dst, 0, N);
    std::memcpy(dst, s.data(), std::min(s.size(), N - 1));
}

}  // namespace

FlashJob MakeJob(const std::string& imagePath, bool hex, const std::string& driveText,
                 const std::string& revision) {
    FlashJob job{};
    job.Drive.HID = 1;
    job.Drive.TID = 3;
    CopyInto(job.Drive.ModelName, kDriveText);
    CopyInto(job.Drive.Revision, kRevision);
    CopyInto(job.szImagePath, imagePath);
    CopyInto(job.szDriveText, driveText);
    CopyInto(job.szRevision, revision);
    job.bHexImage = hex ? 1 : 0;
    job.CBSetAuxText = OnAux;
    job.CBSetRevision = OnRevision;
    job.CBSetDriveName = OnDriveName;
    job.CBGetDriveName = OnGetDriveName;
    job.CBShowMessage = OnMessage;
    job.CBShowStatus = OnStatus;
    job.CBSetProgress = OnProgress;
    job.CBIdle = OnIdle;
    job.CBIfTerminated = OnTerminated;
    job.bUsePassThrough = TransportPassThrough;
    return job;
}

int ScriptedExecute(const DriveEntry&, std::uint8_t flags, std::uint32_t length,
                    std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                    std::uint8_t transport, std::uint8_t* sense) {
    Command c;
    std::memcpy(c.cdb.data(), cdb, std::min<std::size_t>(cdbLength, c.cdb.size()));
    c.flags = flags;
    c.length = length;
    c.data.assign(data, data + length);
    c.transport = transport;
    const std::size_t index = g_rec.sent.size();
    g_rec.sent.push_back(std::move(c));
    std::memset(sense, 0, 16);
    const Answer a = index < g_rec.answers.size() ? g_rec.answers[index] : Answer{};
    sense[2] = a.key;
    sense[12] = a.asc;
    sense[13] = a.ascq;
    return a.result;
}

EngineSeams TestSeams(PFN_EXECUTE_CMD execute) {
    EngineSeams s{};
    s.pfnExecuteCmd = execute != nullptr ? execute : ScriptedExecute;
    s.pfnSleep = RecordSleep;
    s.pfnAllocImage = CountAlloc;
    s.pfnLockImage = CountLock;
    s.pfnUnlockImage = CountUnlock;
    s.pfnFreeImage = CountFree;
    return s;
}

std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const auto& e : g_rec.events)
        if (e.hook == "Message") out.push_back(e.text);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string HexRecord(std::uint8_t type, std::uint16_t address,
                      const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()),
                                       static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (auto b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    bytes.push_back(static_cast<std::uint8_t>(0x100 - sum));
    static const char* digits = "0123456789ABCDEF";
    std::string line = ":";
    for (auto b : bytes) {
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    return line + "\r\n";
}

std::string HexData(const std::vector<std::uint8_t>& data, std::uint16_t base) {
    std::string text;
    for (std::size_t at = 0; at < data.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, data.size() - at);
        text += HexRecord(0x00, static_cast<std::uint16_t>(base + at),
                          std::vector<std::uint8_t>(data.begin() + at, data.begin() + at + n));
    }
    return text;
}

std::uint16_t Sum16(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    std::uint16_t sum = 0;
    for (std::size_t i = from; i < std::min(to, bytes.size()); ++i)
        sum = static_cast<std::uint16_t>(sum + bytes[i]);
    return sum;
}

std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(gen());
    return out;
}

void Put(std::vector<std::uint8_t>& image, std::size_t at, const std::string& text) {
    std::memcpy(image.data() + at, text.data(), text.size());
}

FlashTest::FlashTest() : m_totalAtStart(CFlashEngine::Total()) {
    g_rec = Recorder{};
    char tmpl[] = "/tmp/mf_flash_XXXXXX";
    m_dir = ::mkdtemp(tmpl);
}

FlashTest::~FlashTest() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void FlashTest::RunEngine(const std::filesystem::path& image, bool hex, PFN_EXECUTE_CMD execute) {
    CFlashEngine engine(MakeJob(image.string(), hex), TestSeams(execute));
    engine.SetSumFilePath(SumPath().c_str());
    engine.Run();
}

}  // namespace fltest

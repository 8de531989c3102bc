// Whole upgrades against a drive that misbehaves at random: the input makes a small ".hex" or ".bin" image (with
// the drive's identification or not), the drive's answer to each command (good, CHECK CONDITION with any sense,
// lost, vanished) and the length of its 95h answer. The real engine runs with the waits skipped; every promise is
// then checked against what the design says must follow from the answers the drive gave. LSan watches the heap.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Check.h"
#include "ExpectedRun.h"
#include "HexDiagnosis.h"
#include "flash/FlashEngine.h"
#include "vdrive/Digest.h"
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const char kId[] = "MARROW  FIN-52M CDROM   ", kRevision[] = "A054";
constexpr std::uint32_t kIdLength = 24, kMarkLength = kIdLength + 4;  // the identification, the revision after it

void Require(bool promise, const char* what) { if (!promise) std::fprintf(stderr, "broken promise: %s\n", what), std::abort(); }

struct Input {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t Byte() { return n != 0 ? (--n, *p++) : 0; }
    std::uint32_t Word() { const std::uint32_t low = Byte(); return low | std::uint32_t{Byte()} << 8; }
};

// The fill holds neither mark's first character: the image check's forward
// search does not try again a byte that broke a partial match, so one just
// before a mark would hide it, and the image's fit would not follow from the input.
struct Fill {
    std::uint32_t s;
    std::uint8_t Next() { return s ^= s << 13, s ^= s >> 17, s ^= s << 5, (s >> 8 & 0xFF) == 'M' || (s >> 8 & 0xFF) == 'A' ? 0 : s >> 8 & 0xFF; }
};

// fits: holds the identification (and the revision); sent: the chunks' bytes in order, as the design sends them.
struct Image { bool hex = false, fits = false; std::string file; Bytes sent; };

// ".bin": up to 8 chunks of file, the last filled with FFh. ".hex": data up
// to an end address in the first two 64 KB segments, sent up to the end of
// its segment, a whole one more when it ends on a segment's last byte.
Image MakeImage(Input& in) {
    Image image;
    const std::uint8_t kind = in.Byte();
    image.hex = (kind & 1) != 0;
    Fill fill{0x9E3779B9u ^ in.Word()};
    const std::uint32_t end = image.hex ? ((kind >> 3) % 4 == 3) * kSegmentSize + in.Word() + 1 : in.Word() % (8 * kChunkSize) + 1;
    const std::uint32_t markAt = in.Word() % end;
    image.fits = (kind & 6) != 0 && end >= kMarkLength && markAt + kMarkLength <= end;
    const Bytes marks = [] { Bytes m(kId, kId + kIdLength); return m.insert(m.end(), kRevision, kRevision + 4), m; }();
    if (!image.hex) {
        image.sent.resize(end);
        for (auto& b : image.sent) b = fill.Next();
        if (image.fits) std::copy(marks.begin(), marks.end(), image.sent.begin() + markAt);
        image.file.assign(image.sent.begin(), image.sent.end());
        image.sent.resize((end + kChunkSize - 1) / kChunkSize * kChunkSize, 0xFF);
        return image;
    }
    // Fill in front of the marks, the marks, the last byte.
    std::vector<std::pair<std::uint32_t, Bytes>> records = {{markAt - std::min<std::uint32_t>(markAt, 16), Bytes(std::min<std::uint32_t>(markAt, 16))}};
    for (auto& b : records[0].second) b = fill.Next();
    if (image.fits) records.emplace_back(markAt, marks);
    if (!image.fits || markAt + kMarkLength < end) records.emplace_back(end - 1, Bytes{fill.Next()});
    image.sent.assign((end & ~(kSegmentSize - 1)) + kSegmentSize, 0xFF);
    std::uint32_t segment = 0;
    for (const auto& [at, data] : records) {
        for (; segment < at / kSegmentSize; ++segment) image.file += IntelHexRecord(0x55, 0);
        image.file += IntelHexRecord(0x00, static_cast<std::uint16_t>(at - segment * kSegmentSize), data.data(), data.size());
        std::copy(data.begin(), data.end(), image.sent.begin() + at);
    }
    image.file += IntelHexRecord(0x01, 0);
    // The check searches only the segments the records announced: marks that
    // run on past them are not seen there.
    image.fits = image.fits && markAt + kIdLength <= (segment + 1) * kSegmentSize;
    return image;
}

std::int64_t OpenFiles() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

// Commands to the virtual drive (the open files counted at the first write), waits counted and skipped, one image
// buffer for every run (a fresh megabyte per input would cost more than the upgrade).
struct BehaviourPlatform : PlatformWrapper {
    BehaviourPlatform() : PlatformWrapper(Platform::Default()) {}
    std::int64_t allocs = 0, frees = 0, sleptMs = 0, filesAtTransfer = -1;
    int ExecuteCmd(const DriveEntry& e, std::uint8_t f, std::uint32_t l, std::uint8_t* d, std::uint8_t cl,
                   const std::uint8_t* c, std::uint8_t t, std::uint8_t* s) override {
        if (c[0] == 0x3B && filesAtTransfer < 0) filesAtTransfer = OpenFiles();
        return VDriveExecuteCmd(e, f, l, d, cl, c, t, s);
    }
    void Sleep(std::uint32_t ms) override { sleptMs += ms; }
    void* AllocImage(std::size_t size) override { static void* s_buffer = std::malloc(size); return ++allocs, s_buffer; }
    void LockImage(void*, std::size_t) override {}
    void UnlockImage(void*, std::size_t) override {}
    void FreeImage(void*, std::size_t) override { ++frees; }
};

char g_log[8][100];  // the log box in fixed lines: nothing allocated in one run is freed in the next
std::size_t g_logLines = 0;

// The image under the name a list row gives it, one list per image kind for
// marrowfin-check, and sum.txt, in a folder under TMPDIR.
struct Scratch {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("mf-behaviour-" + std::to_string(::getpid()));
    Scratch() {
        std::filesystem::create_directories(dir);
        for (const char* kind : {"hex", "bin"}) std::ofstream(dir / kind) << "\"" << kId << "\",\"A055." << kind << "\",\"N\"\r\n";
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
};

// marrowfin-check's header sum for the image, or -1 when left unchecked. Its dry run costs more than the upgrade
// and depends on the image alone: one image in four (by digest: always the same ones) is checked, and recent
// answers are kept in a table that allocates nothing (a leftover allocation sets off a leak scan).
int CheckHeaderSum(const Scratch& scratch, const Image& image) {
    static std::pair<std::uint64_t, int> s_known[256];
    std::uint64_t digest = 0xCBF29CE484222325u ^ image.hex;
    for (const char c : image.file) digest = (digest ^ static_cast<std::uint8_t>(c)) * 0x100000001B3u;
    auto& [known, sum] = s_known[digest % std::size(s_known)];
    if (digest % 4 != 0) return -1;
    if (known == digest && sum >= 0) return sum;
    CheckOptions options{scratch.dir / (image.hex ? "hex" : "bin"), scratch.dir, kId, kRevision, false, true};
    std::string report;
    Require(RunCheck(options, report) == kCheckWouldFlash, "marrowfin-check would flash the image");
    const std::size_t at = report.find("\"header_sum\": \"");
    Require(at != std::string::npos, "marrowfin-check reports a header sum");
    return known = digest, sum = static_cast<int>(std::strtoul(report.c_str() + at + 15, nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
    Input in{data, size};
    const Image image = MakeImage(in);
    const bool passThrough = (in.Byte() & 1) != 0;
    vdrive::DriveConfig config = vdrive::DriveConfig::Optical(kId, kRevision);
    config.downloadBufferSize = vdrive::kHeaderLength + static_cast<std::uint32_t>(image.sent.size());
    config.clock = [] { return std::uint64_t{0}; };
    vdrive::FaultPlan& plan = config.faults;
    if (const std::uint8_t length = in.Byte(); length != kVendorBlockSize) plan.VendorAnswerLength(length);
    for (std::uint64_t n = 1; in.n != 0; ++n) {  // one byte per command; those past the plan are answered good
        const std::uint8_t op = in.Byte() >> 5, key = op == 4 ? in.Byte() : 0, asc = op == 4 ? in.Byte() : 0;
        if (op == 4) plan.FailCommand(n, {key, asc, in.Byte()});
        if (op == 5) plan.LoseAnswer(n);
        if (op == 6) plan.VanishAfter(n - 1), in.n = 0;
    }
    vdrive::VirtualDrive drive(config);
    const std::string imagePath = scratch.dir / (image.hex ? "A055.hex" : "A055.bin"), sumPath = scratch.dir / "sum.txt";
    std::ofstream(imagePath, std::ios::binary) << image.file;
    std::remove(sumPath.c_str());
    FlashJob job{};
    job.Drive.hDevice = &drive;
    std::snprintf(job.Drive.ModelName, sizeof job.Drive.ModelName, "%s(0)", kId);
    std::snprintf(job.szDriveText, sizeof job.szDriveText, "%s(0)", kId);
    std::snprintf(job.szImagePath, sizeof job.szImagePath, "%s", imagePath.c_str());
    std::strcpy(job.Drive.Revision, kRevision), std::strcpy(job.szRevision, kRevision);
    job.bHexImage = image.hex ? 1 : 0, job.bUsePassThrough = passThrough ? TransportPassThrough : TransportAspi;
    const auto ignore = [](void*, const char*) {};
    const auto show = [](void*, const char* t) { std::snprintf(g_log[std::min(g_logLines++, std::size(g_log) - 1)], 100, "%s", t); };
    job.Hooks = UiHooks{nullptr, ignore, ignore, ignore, nullptr, show, ignore, [](void*, int p) { return p; }, nullptr,
                        [](void*) -> std::uint8_t { return 0; }};
    BehaviourPlatform platform;
    CSumTrace::Process().Add(static_cast<std::uint16_t>(0x10000 - CSumTrace::Process().Total())), g_logLines = 0;
    const auto filesBefore = OpenFiles();
    {
        CFlashEngine engine(job, platform);
        engine.SetSumFilePath(sumPath.c_str());
        engine.Run();
        Require(platform.allocs == 1 && platform.frees == 1, "the run gives the image buffer back");
    }
    Require(platform.frees == 1 && OpenFiles() == filesBefore, "once, and leaves no file open");
    Require(platform.filesAtTransfer < 0 || platform.filesAtTransfer == filesBefore + 1, "the transfer has sum.txt open, no image");

    // The design's sequence for the answers the drive gave, walked along what it received.
    const vdrive::CommandLog log = drive.Log();
    const auto& records = log.Records();
    Require(records[0].Opcode() == 0x95 && records[0].length == kVendorBlockSize, "the 95h command comes first");
    std::uint16_t total = 0;  // the process-wide total starts at 0 for each run
    ExpectedRun expected{{"It is an incorrect firmware version!", "Flashing is incorrect!!"}, "", false, 1};
    if (image.fits)  // the sum's digits are the loader's
        expected = ExpectRun(records, 1, image.sent, passThrough, kId, kRevision, total), expected.log.insert(expected.log.begin(), "Check Sum : ");
    Require(!expected.broken, expected.broken ? expected.broken : "");
    Require(expected.end == records.size(), "nothing reaches the drive after the run's last command");
    Require(g_logLines == expected.log.size(), "the log has the design's lines");
    for (std::size_t i = 0; i < expected.log.size(); ++i)
        Require(expected.log[i] == g_log[i] || (i == 0 && image.fits && std::strncmp(g_log[i], "Check Sum : ", 12) == 0),
                "each log line is the design's");
    std::ifstream sumFile(sumPath, std::ios::binary);
    Require(std::string(std::istreambuf_iterator<char>(sumFile), {}) == expected.sum, "sum.txt has the design's lines");
    Require(platform.sleptMs == (expected.saved ? 91000u : 0u), "the programming wait follows a save only");

    // What the drive saved: it carries out a command answered good, or one whose answer alone was lost, and
    // refuses a save whose header sum is not that of the bytes it accepted.
    const auto carriedOut = [&](const vdrive::CommandRecord& r) {
        return r.outcome == vdrive::Outcome::Good ||
               (plan.IsAnswerLost(r.number) && !plan.IsVanished(r.number) && !plan.CommandFault(r.number));
    };
    const bool saved = records.back().cdb[0] == 0x3B && records.back().cdb[1] == 7 && carriedOut(records.back());
    Require(drive.SaveCount() == (saved ? 1u : 0u), "a save that reached the drive found the header's sum right");
    const Bytes held = drive.SavedImage();
    const int checked = saved ? CheckHeaderSum(scratch, image) : -1;
    Require(!saved || (held == image.sent && (checked < 0 || checked == vdrive::Sum16(held.data(), held.size()))),
            "the drive saved the image, whose sum is marrowfin-check's header sum");
    return 0;
}

// Many upgrades in one process: each run opens the main dialog, flashes a
// virtual drive with faults drawn from the run's seed (on the ASPI road or the
// pass-through road) and closes it. The log's last lines and sum.txt must be
// what the procedure makes of the drive's answers, and the process's handles,
// GDI objects, heap, private memory and threads must not grow over the runs.
// MARROWFIN_SOAK_RUNS and _SEED set the length and first seed; a failed run
// is replayed with MARROWFIN_SOAK_SEED=<its seed> MARROWFIN_SOAK_RUNS=1.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "AppFixture.h"
#include "ExpectedRun.h"
#include "res/resource.h"
#include "vdrive/aspi/AspiLayer.h"

namespace {

const std::string kModel = "MARROW  FIN-52M CDROM   ";
constexpr std::uint32_t kChunks = 5;  // the image ends 1000 bytes short of the fifth chunk's end

// Numbered commands count from the discovery's INQUIRY on (2: the 95h command).
struct Plan { bool nt; vdrive::aspi::LayerConfig config; };
Plan Draw(std::uint32_t seed) {
    std::mt19937 r(seed);
    const auto sense = [&r] { return vdrive::Sense{std::uint8_t(r() % 16), std::uint8_t(r()), std::uint8_t(r())}; };
    const bool nt = (r() & 1) != 0;
    Plan p{nt, vdrive::aspi::ParseLayerConfig("adapter 0\ndrive 0 0 \"MARROW  \" \"FIN-52M CDROM\" \"A054\" after=\"A055\"\n")};
    vdrive::FaultPlan& f = p.config.drives.at(0).drive.faults;
    if (r() % 4 == 0) {
        const std::uint64_t n = 1 + r() % 12;  // drawn before the sense: arguments have no order
        f.FailCommand(n, sense());
    }
    if (r() % 4 == 0) f.VanishAfter(r() % 12);
    if (r() % 4 == 0) f.LoseAnswer(1 + r() % 12);
    for (std::uint32_t c = 0; c < kChunks; ++c)
        if (r() % 5 == 0) {
            const std::uint32_t times = 1 + r() % 7;
            f.FailChunkAt(kHeaderSize + kChunkSize * c, times == 7 ? f.kAlways : times, sense());
        }
    if (r() % 16 == 0) f.FailInquiry(sense());
    if (r() % 8 == 0) f.FailHeader(sense());
    if (r() % 8 == 0) f.FailSave(sense());
    return p;
}

std::string Image() {
    std::string image(kChunks * kChunkSize - 1000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / kChunkSize);
    return image.replace(100, 24, kModel).replace(200, 4, "A054");
}

// What the process holds. Wine's GetGuiResources and GetProcessHandleCount answer
// 0, so each value a handle can take is asked about: kernel handles are
// multiples of 4 given out lowest first; a GDI handle is a 16-bit table index,
// and the index alone (upper word 0) names the live object in its slot.
struct Usage { long handles = 0, gdi = 0, threads = 0; long long heapBytes = 0, privateBytes = 0; };
long Threads() {
    const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t = {};
    long n = (t.dwSize = sizeof t, 0);
    for (BOOL ok = ::Thread32First(snap, &t); ok; ok = ::Thread32Next(snap, &t)) n += t.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(snap);
    return n;
}
Usage Measure() {
    Usage u;
    u.threads = Threads();
    DWORD flags;
    for (ULONG_PTR v = 4; v < 0x4000; v += 4) u.handles += ::GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags) != 0;
    for (ULONG_PTR v = 1; v < 0x10000; ++v) u.gdi += ::GetObjectType(reinterpret_cast<HGDIOBJ>(v)) != 0;
    HANDLE heaps[64];
    const DWORD count = ::GetProcessHeaps(64, heaps);
    for (DWORD h = 0; h < count && h < 64; ++h) {
        PROCESS_HEAP_ENTRY e{};
        ::HeapLock(heaps[h]);
        while (::HeapWalk(heaps[h], &e)) u.heapBytes += (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? e.cbData : 0;
        ::HeapUnlock(heaps[h]);
    }
    PROCESS_MEMORY_COUNTERS m = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &m, sizeof m);
    u.privateBytes = m.PagefileUsage;
    return u;
}

// The ASPI road: the layer's own request handling, reached through the
// program's loading of the layer. Loading the built wnaspi32.dll afresh for
// each run would add to every run what its static runtime keeps per load.
std::unique_ptr<vdrive::aspi::AspiLayer> g_layer;
std::uint32_t ASPI_CALL SupportInfo() { return g_layer->SupportInfo(); }
std::uint32_t ASPI_CALL SendCommand(void* srb) { return g_layer->Send(srb); }

// One run: the dialog opened, Upgrade pressed if it can be, the dialog closed
// after the run. Answers the log, what the drive received and the time slept;
// checks what must be given back.
std::string RunOnce(const Plan& plan, vdrive::CommandLog& received, std::uint32_t& slept) {
    const long threadsBefore = Threads();
    TestPlatform p;
    std::unique_ptr<vdrive::VirtualDrive> drive;
    if (plan.nt) {
        drive = std::make_unique<vdrive::VirtualDrive>(plan.config.drives.at(0).drive);
        p.openable = "e";
        p.control = [&](const TestPlatform::Call& call) { return PassThroughToDrive(*drive, call); };
    } else {
        p.platformId = VER_PLATFORM_WIN32_WINDOWS, p.majorVersion = 4;
        p.aspiEntryPoints = {{"GetASPI32SupportInfo", TestPlatform::EntryPoint(&SupportInfo)},
                             {"SendASPI32Command", TestPlatform::EntryPoint(&SendCommand)}};
        g_layer = std::make_unique<vdrive::aspi::AspiLayer>(plan.config, "soak");
        g_layer->Tap([&received](const vdrive::CommandRecord& r) { received.Add(r); });
    }
    std::string log;  // as the run left it
    RunMainDialog(p, [&](HWND h) {
        const HWND upgrade = ::GetDlgItem(h, IDC_UPGRADE), close = ::GetDlgItem(h, IDCANCEL);
        if (::IsWindowEnabled(upgrade)) ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_UPGRADE, BN_CLICKED), LPARAM(upgrade));
        for (int i = 0; i < 30000 && !::IsWindowEnabled(close); ++i) ::Sleep(1);
        log = WindowText(::GetDlgItem(h, IDC_LOG));
    });
    // The program's worker and the layer's leave after their last word.
    for (const DWORD start = ::GetTickCount(); Threads() > threadsBefore && ::GetTickCount() - start < 2000;) ::Sleep(1);
    if (drive) received = drive->Log();
    g_layer.reset();
    const auto letterCloses = std::count(p.closed.begin(), p.closed.end(), TestPlatform::LetterHandle('e'));
    EXPECT_TRUE(p.imageAllocs == p.imageFrees && letterCloses == (plan.nt ? 1 : 0)) << "image buffer or e: not given back";
    slept = p.Slept();
    return log;
}

class Soak : public AppFixture {};

TEST_F(Soak, EveryRunEndsAsItsPlanSaysAndNothingGrows) {
    const char *runsText = std::getenv("MARROWFIN_SOAK_RUNS"), *seedText = std::getenv("MARROWFIN_SOAK_SEED");
    const int runs = runsText ? std::atoi(runsText) : 200;
    const std::uint32_t first = seedText ? std::strtoul(seedText, nullptr, 0) : ::GetTickCount();
    std::printf("soak: %d runs from seed %u\n", runs, first);
    const std::string image = Image();
    std::vector<std::uint8_t> sent(image.begin(), image.end());
    sent.resize(kChunks * kChunkSize, 0xFF);
    WriteFile("A054.bin", image), WriteFile("sum.txt", ""), WriteList({{kModel, "A054.bin"}});
    std::uint16_t total = 0;
    const int base = std::max(1, runs / 10);
    Usage baseline;
    DWORD started = ::GetTickCount();
    for (int run = 1, previous = 0; run <= runs; ++run) {
        {  // the run's own objects are gone before anything is measured
            SCOPED_TRACE("run " + std::to_string(run) + ", seed " + std::to_string(first + run - 1));
            const Plan plan = Draw(first + run - 1);
            ::DeleteFileA("sum.txt");
            std::uint32_t slept = 0;
            vdrive::CommandLog received;
            const std::string log = RunOnce(plan, received, slept);
            std::ifstream in("sum.txt");  // the stream undoes the text mode's CR LF
            const std::string sum((std::istreambuf_iterator<char>(in)), {});
            const auto& r = received.Records();
            if (r.empty() || r[0].outcome != vdrive::Outcome::Good) {  // not identified: not listed, nothing to upgrade
                ASSERT_TRUE(r.size() <= 1 && log.ends_with("CD-ROM drive model doesn't match!!") && sum.empty() && !slept) << log;
            } else {
                ASSERT_TRUE(r.size() > 1 && r[1].Opcode() == 0x95) << "the run's first command";
                const ExpectedRun e = ExpectRun(r, 2, sent, plan.nt, kModel, "A054", total);
                std::string tail;
                for (const std::string& line : e.log) tail += (tail.empty() ? "" : "\r\n") + line;
                ASSERT_TRUE(!e.broken && e.end == r.size()) << (e.broken ? e.broken : "a command after the run's last");
                ASSERT_TRUE(log.ends_with(tail)) << log;
                ASSERT_EQ(e.sum, sum);
                ASSERT_EQ(e.saved ? 91000u : 0u, slept);
            }
        }
        if (run != 1 && run != base && run % 50 != 0 && run != runs) continue;
        const DWORD perRun = (::GetTickCount() - started) / (run - previous);
        const Usage u = Measure();
        std::printf("soak: run %d: %ld handles, %ld GDI objects, %lld heap bytes, %lld private bytes, %ld threads, %lu ms per run\n",
                    run, u.handles, u.gdi, u.heapBytes, u.privateBytes, u.threads, perRun);
        previous = run, started = ::GetTickCount();
        if (run == base) baseline = u;
        if (run != runs || runs - base < 20) continue;
        EXPECT_TRUE(u.handles - baseline.handles < (runs - base) / 4 && u.gdi - baseline.gdi < (runs - base) / 4)
            << "handles or GDI objects: a leak of one a run grows them by the runs in between";
        EXPECT_LE(u.threads, baseline.threads) << "threads";
        EXPECT_LT(u.heapBytes - baseline.heapBytes, 2048) << "heap: a leak of 16 bytes a run over 180 runs is 2.9 KB";
        EXPECT_LT(u.privateBytes - baseline.privateBytes, 64 * 1024 + 1024 * (runs - base)) << "private memory";
    }
}

}  // namespace

// Many upgrades in one process: each run opens the main dialog, flashes a
// virtual drive with faults drawn from the run's seed (on the ASPI road or the
// pass-through road) and closes it. The log's last lines and sum.txt must be
// what the plan makes of the procedure, and the process's handles, GDI
// objects, heap, private memory and threads must not grow over the runs.
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
#include "res/resource.h"
#include "vdrive/aspi/AspiLayer.h"

namespace {

const std::string kModel = "MARROW  FIN-52M CDROM   ";
constexpr int kChunks = 5, kAlways = 1000;  // the image ends 1000 bytes short of the fifth chunk's end

struct Plan {
    bool nt = false;
    std::uint64_t failCommand = 0, vanishAfter = ~0ull;
    int chunkFaults[kChunks] = {}, inquiry = 0, header = 0, save = 0, none = 0;  // fault shots left
    vdrive::Sense commandSense, ownSense;
};

Plan Draw(std::uint32_t seed) {
    std::mt19937 r(seed);
    Plan p;
    p.nt = (r() & 1) != 0;
    if (r() % 4 == 0) p.failCommand = 1 + r() % 12;
    if (r() % 4 == 0) p.vanishAfter = r() % 12;
    for (int& t : p.chunkFaults) t = r() % 5 ? 0 : (t = 1 + r() % 7) == 7 ? kAlways : t;
    p.inquiry = r() % 16 ? 0 : kAlways, p.header = r() % 8 ? 0 : kAlways, p.save = r() % 8 ? 0 : kAlways;
    for (vdrive::Sense* s : {&p.commandSense, &p.ownSense}) *s = {std::uint8_t(r() % 16), std::uint8_t(r()), std::uint8_t(r())};
    return p;
}

std::string Format(const char* format, unsigned a, unsigned b, unsigned c = 0) {
    char text[128];
    return std::snprintf(text, sizeof text, format, a, b, c), text;
}

// The drive list for the ASPI layer; the pass-through road reads the same text.
std::string ListText(const Plan& p) {
    const auto sense = [](vdrive::Sense s) { return Format(" sense=%02X/%02X/%02X\n", s.key, s.asc, s.ascq); };
    std::string text = "adapter 0\ndrive 0 0 \"MARROW  \" \"FIN-52M CDROM\" \"A054\" after=\"A055\"\n";
    if (p.failCommand) text += "fault 0 0 command n=" + std::to_string(p.failCommand) + sense(p.commandSense);
    if (p.vanishAfter != ~0ull) text += "fault 0 0 vanish after=" + std::to_string(p.vanishAfter) + "\n";
    for (int c = 0; c < kChunks; ++c)
        if (const int t = p.chunkFaults[c])
            text += Format("fault 0 0 chunk offset=%u times=", 32 + 4096 * c, 0) +
                    (t == kAlways ? "always" : std::to_string(t)) + sense(p.ownSense);
    for (auto [on, what] : {std::pair{p.inquiry, "inquiry"}, {p.header, "header"}, {p.save, "save"}})
        if (on) text += std::string("fault 0 0 ") + what + sense(p.ownSense);
    return text;
}

std::string Image() {
    std::string image(kChunks * 4096 - 1000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / 4096);
    return image.replace(100, 24, kModel).replace(200, 4, "A054");
}

struct Outcome { std::string logTail, sum; };

// What the procedure must make of the plan: commands are numbered from the
// discovery's INQUIRY on; a vanished drive wins over a numbered fault, which
// wins over the command's own fault, and a chunk fault is used up only when
// it fires. The ASPI road hands back no sense bytes, nor does a lost answer.
Outcome Expect(Plan p, const std::string& image, std::uint16_t& total) {
    std::uint64_t n = 0;
    vdrive::Sense last;
    const auto send = [&](int* shots) {
        const bool lost = ++n > p.vanishAfter, numbered = !lost && n == p.failCommand;
        const bool own = !lost && !numbered && *shots > 0 && (*shots == kAlways || (*shots)--);
        last = lost || p.nt == false ? vdrive::Sense{} : numbered ? p.commandSense : own ? p.ownSense : vdrive::Sense{};
        return !lost && !numbered && !own;
    };
    if (!send(&p.inquiry)) return {"CD-ROM drive model doesn't match!!", ""};  // not listed
    send(&p.none);  // the vendor block, whatever its answer
    Outcome o{"Please wait a minute.....\r\n", "Model Name : " + kModel + "(0) HID : 0 TID : 0 Ver.: A054\n"};
    const auto fail = [&](char step, const char* end) {
        o.sum += Format("Execute command error!! %2X/%2X/%2X", last.key, last.asc, last.ascq) + end;
        o.logTail += Format("Execute command error%c!! ", step, 0) +
                     Format("%2X/%2X/%2X\r\nFlashing is incorrect!!", last.key, last.asc, last.ascq);
        return o;
    };
    std::uint16_t secSum = 0;
    for (int c = 0; c < kChunks; ++c) {
        std::uint16_t chunkSum = 0;
        for (size_t i = 4096u * c; i < 4096u * (c + 1); ++i) chunkSum += i < image.size() ? std::uint8_t(image[i]) : 0xFF;
        bool good = false;
        for (int attempt = 0; attempt < 6 && !good; ++attempt, total += secSum + chunkSum)
            good = send(&p.chunkFaults[c]), o.sum += Format("Address=%.8X,_wSecSum=%.4X,_total=%.4X\n", 32 + 4096 * c,
                                                            std::uint16_t(secSum + chunkSum), std::uint16_t(total + secSum + chunkSum));
        if (!good) return fail('A', "\n");
        secSum += chunkSum;
    }
    o.sum += "Finished : fgWriteOneFlashCmdData()\n" + Format("sSendBuf[30]=%X   sSendBuf[31]=%X\n", secSum >> 8, secSum & 0xFF);
    if (!send(&p.header)) return fail('B', "\n");
    if (o.sum += "Finished : fgWriteHeader()\n"; !send(&p.save)) return fail('C', "");
    return {o.logTail + "Please Restart Your Computer.", o.sum + "I will in fgTestUnitReadyComplete()\n"};
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
// after the run. Answers the log and the time slept; checks what must be given back.
std::string RunOnce(const Plan& plan, const std::string& list, std::uint32_t& slept) {
    const long threadsBefore = Threads();
    TestPlatform p;
    std::unique_ptr<vdrive::VirtualDrive> drive;
    const vdrive::aspi::LayerConfig config = vdrive::aspi::ParseLayerConfig(list);
    if (plan.nt) {
        drive = std::make_unique<vdrive::VirtualDrive>(config.drives.at(0).drive);
        p.openable = "e";
        p.control = [&](const TestPlatform::Call& call) { return PassThroughToDrive(*drive, call); };
    } else {
        p.platformId = VER_PLATFORM_WIN32_WINDOWS, p.majorVersion = 4;
        p.aspiEntryPoints = {{"GetASPI32SupportInfo", TestPlatform::EntryPoint(&SupportInfo)},
                             {"SendASPI32Command", TestPlatform::EntryPoint(&SendCommand)}};
        g_layer = std::make_unique<vdrive::aspi::AspiLayer>(config, "soak");
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
    WriteFile("A054.bin", image), WriteFile("sum.txt", ""), WriteList({{kModel, "A054.bin"}});
    std::uint16_t total = 0;
    const int base = std::max(1, runs / 10);
    Usage baseline;
    DWORD started = ::GetTickCount();
    for (int run = 1, previous = 0; run <= runs; ++run) {
        {  // the run's own objects are gone before anything is measured
            SCOPED_TRACE("run " + std::to_string(run) + ", seed " + std::to_string(first + run - 1));
            const Plan plan = Draw(first + run - 1);
            const Outcome expected = Expect(plan, image, total);
            const std::string list = ListText(plan);
            ::DeleteFileA("sum.txt");
            std::uint32_t slept = 0;
            const std::string log = RunOnce(plan, list, slept);
            std::ifstream in("sum.txt");  // the stream undoes the text mode's CR LF
            const std::string sum((std::istreambuf_iterator<char>(in)), {});
            ASSERT_TRUE(log.ends_with(expected.logTail)) << list << log;
            ASSERT_EQ(expected.sum, sum) << list;
            ASSERT_EQ(expected.logTail.ends_with("Computer.") ? 91000u : 0u, slept) << list;
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

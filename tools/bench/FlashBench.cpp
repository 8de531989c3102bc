// Speed of the flashing engine on a 1 MB image: loading it as ".hex" and as
// ".bin", a whole upgrade against a drive that answers at once, and, for
// scale, srec_cat and python3-intelhex turning the same data from Intel-HEX
// into binary. After the table it prints each figure with its ratio to its
// reference or target.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "flash/FlashEngine.h"
#include "HexDiagnosis.h"
#include "platform/Platform.h"

#ifdef MF_BENCH_VDRIVE
#include "vdrive/VDriveTransport.h"
#include "vdrive/VirtualDrive.h"
#endif

namespace {

const char kDriveId[] = "VENDORX CDROM DRIVE 52X ";
const char kRevision[] = "1.05";

void NoText(void*, const char*) {}
bool g_runFailed = false;
void CatchOutcome(void*, const char* text) {
    if (std::strcmp(text, "Flashing is incorrect!!") == 0) g_runFailed = true;
}
int NoProgress(void*, int) { return 0; }
std::uint8_t NotTerminated(void*) { return 0; }

using ExecuteFn = int (*)(const DriveEntry&, std::uint8_t, std::uint32_t, std::uint8_t*, std::uint8_t,
                          const std::uint8_t*, std::uint8_t, std::uint8_t*);

int InstantDrive(const DriveEntry&, std::uint8_t, std::uint32_t, std::uint8_t*, std::uint8_t,
                 const std::uint8_t*, std::uint8_t, std::uint8_t* sense) {
    std::memset(sense, 0, 16);
    return 1;
}

// The host's image buffer, commands answered by `execute` and no waiting:
// the programming wait would only measure itself.
class BenchPlatform final : public PlatformWrapper {
public:
    explicit BenchPlatform(ExecuteFn execute) : PlatformWrapper(Platform::Default()), m_execute(execute) {}
    int ExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                   std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport,
                   std::uint8_t* sense) override {
        return m_execute(entry, flags, length, data, cdbLength, cdb, transport, sense);
    }
    void Sleep(std::uint32_t) override {}

private:
    ExecuteFn m_execute;
};

// The files every benchmark reads, made once in a scratch directory.
struct Files {
    std::filesystem::path dir, hex, bin, standardHex, outBin, sum;
    Files() {
        char tmpl[] = "/tmp/mf_bench_XXXXXX";
        dir = ::mkdtemp(tmpl);
        hex = dir / "fw.hex";
        bin = dir / "fw.bin";
        standardHex = dir / "std.hex";
        outBin = dir / "out.bin";
        sum = dir / "sum.txt";

        std::vector<std::uint8_t> image(kImageBufferSize);
        std::mt19937 gen(1);
        for (auto& b : image) b = static_cast<std::uint8_t>(gen());
        std::memcpy(image.data() + 4096, kDriveId, 24);
        std::memcpy(image.data() + 8192, kRevision, 4);
        std::ofstream(bin, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));

        // 16 full segments of 16-byte records joined by segment records.
        std::string text;
        for (std::uint32_t at = 0; at < kImageBufferSize; at += 16) {
            if (at != 0 && at % kSegmentSize == 0) text += ":00000055AB\r\n";
            text += IntelHexRecord(0, static_cast<std::uint16_t>(at), image.data() + at, 16);
        }
        text += ":00000001FF\r\n";
        std::ofstream(hex, std::ios::binary) << text;

        // The same data as standard Intel-HEX (type 04 records), for srec_cat.
        const std::string cmd = "srec_cat " + bin.string() + " -binary -o " + standardHex.string() +
                                " -intel -obs=16 >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) standardHex.clear();
    }
    ~Files() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

FlashJob Job(const std::filesystem::path& image, bool hex) {
    FlashJob job{};
    std::strncpy(job.szImagePath, image.c_str(), sizeof job.szImagePath - 1);
    std::strncpy(job.szDriveText, kDriveId, sizeof job.szDriveText - 1);
    std::strncpy(job.szRevision, kRevision, sizeof job.szRevision - 1);
    std::strncpy(job.Drive.ModelName, kDriveId, sizeof job.Drive.ModelName - 1);
    job.bHexImage = hex ? 1 : 0;
    job.Hooks.CBSetAuxText = job.Hooks.CBSetRevision = job.Hooks.CBSetDriveName = job.Hooks.CBShowMessage =
        job.Hooks.CBShowStatus = NoText;
    job.Hooks.CBSetProgress = NoProgress;
    job.Hooks.CBIfTerminated = NotTerminated;
    job.bUsePassThrough = TransportPassThrough;
    return job;
}

void LoadOnce(benchmark::State& state, bool hex) {
    const auto& files = TheFiles();
    for (auto _ : state) {
        // The engine's end gives the loaded buffer back to the host.
        CFlashEngine engine(Job(hex ? files.hex : files.bin, hex));
        const int outcome = engine.LoadImage();
        if (outcome < 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(engine.ImageSize());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(hex ? files.hex : files.bin)));
}

void BM_LoadImageHex1MB(benchmark::State& state) { LoadOnce(state, true); }
void BM_LoadImageBin1MB(benchmark::State& state) { LoadOnce(state, false); }

void BM_SrecCatHexToBin1MB(benchmark::State& state) {
    const auto& files = TheFiles();
    if (files.standardHex.empty()) {
        state.SkipWithError("srec_cat not available");
        return;
    }
    const std::string cmd = "srec_cat " + files.standardHex.string() + " -intel -o " +
                            files.outBin.string() + " -binary";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("srec_cat failed");
    }
}

// python3-intelhex reading the same standard Intel-HEX into a binary image,
// process start included as for srec_cat.
void BM_PythonIntelHexToBin1MB(benchmark::State& state) {
    const auto& files = TheFiles();
    if (files.standardHex.empty()) {
        state.SkipWithError("no standard Intel-HEX file");
        return;
    }
    // Debian's interpreter, where python3-intelhex lives (a python3 earlier on
    // PATH may be another installation without it).
    const std::string cmd = "/usr/bin/python3 -c \"import sys; from intelhex import IntelHex; "
                            "IntelHex(sys.argv[1]).tobinfile(sys.argv[2])\" " +
                            files.standardHex.string() + " " + files.outBin.string() + " >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("python3-intelhex failed");
    }
}

void Upgrade(benchmark::State& state, ExecuteFn execute, void* device) {
    const auto& files = TheFiles();
    BenchPlatform platform(execute);
    FlashJob job = Job(files.bin, false);
    job.Drive.hDevice = device;
    job.Hooks.CBShowMessage = CatchOutcome;
    for (auto _ : state) {
        CFlashEngine engine(job, platform);
        engine.SetSumFilePath(files.sum.c_str());
        g_runFailed = false;
        engine.Run();
        if (g_runFailed) state.SkipWithError("upgrade failed");
        state.PauseTiming();
        std::filesystem::remove(files.sum);
        state.ResumeTiming();
    }
}

void BM_UpgradeFirmware1MB_InstantDrive(benchmark::State& state) { Upgrade(state, InstantDrive, nullptr); }

#ifdef MF_BENCH_VDRIVE
void BM_UpgradeFirmware1MB_VirtualDrive(benchmark::State& state) {
    // A drive that is ready again at once after the save.
    auto config = vdrive::DriveConfig::Optical(kDriveId, kRevision);
    config.notReadyMs = 0;
    vdrive::VirtualDrive drive(config);
    Upgrade(state, VDriveExecuteCmd, &drive);
}
BENCHMARK(BM_UpgradeFirmware1MB_VirtualDrive)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_LoadImageHex1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadImageBin1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SrecCatHexToBin1MB)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_PythonIntelHexToBin1MB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_UpgradeFirmware1MB_InstantDrive)->Unit(benchmark::kMillisecond);

// The console table, plus the mean time of each benchmark for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            ms[run.benchmark_name()] = run.GetAdjustedRealTime() *
                                       (run.time_unit == benchmark::kMillisecond ? 1.0 : 1e-6);
        }
    }
};

void PrintRatios(const std::map<std::string, double>& ms) {
    auto at = [&](const char* name) {
        auto it = ms.find(name);
        return it == ms.end() ? -1.0 : it->second;
    };
    const double hex = at("BM_LoadImageHex1MB"), bin = at("BM_LoadImageBin1MB");
    const double srec = at("BM_SrecCatHexToBin1MB/iterations:10");
    const double py = at("BM_PythonIntelHexToBin1MB/iterations:5");
    const double upgrade = at("BM_UpgradeFirmware1MB_InstantDrive");
    std::printf("\nRatios (this run):\n");
    if (hex > 0 && srec > 0)
        std::printf("  .hex load and check %.2f ms; srec_cat %.1f ms: %.1f times faster (target 10)\n", hex, srec,
                    srec / hex);
    if (hex > 0 && py > 0)
        std::printf("  .hex load and check %.2f ms; python3-intelhex %.1f ms: %.1f times faster\n", hex, py, py / hex);
    if (bin > 0) std::printf("  .bin load and scan %.2f ms: %.2f of the 2 ms target\n", bin, bin / 2.0);
    if (upgrade > 0)
        std::printf("  whole upgrade, instant drive %.2f ms: %.2f of the 20 ms target\n", upgrade, upgrade / 20.0);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter.ms);
    benchmark::Shutdown();
    return 0;
}

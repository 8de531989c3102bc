// Firmware images as they may reach a user: any bytes, read by the engine's
// own loader from a file, then checked and sent to a drive that takes
// everything at once. Built twice: as ".hex" text (fuzz_image_hex) and as a
// raw ".bin" image (fuzz_image_bin). The loader must stay inside its 1 MB
// buffer, give it back exactly once, and never hang.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flash/FlashEngine.h"

namespace {

// One buffer for every run: committing and filling a fresh megabyte per input
// would cost more than the parse.
class FuzzPlatform : public PlatformWrapper {
public:
    FuzzPlatform() : PlatformWrapper(Platform::Default()) {}
    int held = 0;
    int ExecuteCmd(const DriveEntry&, std::uint8_t, std::uint32_t, std::uint8_t*, std::uint8_t, const std::uint8_t*,
                   std::uint8_t, std::uint8_t* sense) override { return std::memset(sense, 0, 16), 1; }
    void Sleep(std::uint32_t) override {}
    void* AllocImage(std::size_t size) override {
        static void* s_buffer = std::malloc(size);
        return ++held, s_buffer;
    }
    void LockImage(void*, std::size_t) override {}
    void UnlockImage(void*, std::size_t) override {}
    void FreeImage(void*, std::size_t) override { if (--held != 0) std::abort(); }  // given back twice
};

// Where each input is written for the loader: under TMPDIR, since on a
// disk-backed /tmp that write, not the parse, sets the pace.
struct ScratchFile {
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/mf-fuzz-image-" + std::to_string(::getpid()) +
                       MF_FUZZ_IMAGE_EXTENSION;
    ~ScratchFile() { ::unlink(path.c_str()); }
};

void NoText(void*, const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile scratch;
    std::FILE* fp = std::fopen(scratch.path.c_str(), "wb");
    if (fp == nullptr || (size != 0 && std::fwrite(data, 1, size, fp) != size) || std::fclose(fp) != 0) std::abort();

    FlashJob job{};
    std::snprintf(job.szImagePath, sizeof job.szImagePath, "%s", scratch.path.c_str());
    std::snprintf(job.szDriveText, sizeof job.szDriveText, "MARROW  FIN-52M CDROM   (0)");
    std::snprintf(job.szRevision, sizeof job.szRevision, "A054");
    job.bHexImage = MF_FUZZ_IMAGE_HEX;
    job.Hooks = UiHooks{nullptr, NoText, NoText, NoText, nullptr, NoText, NoText, [](void*, int p) { return p; },
                        nullptr, [](void*) -> std::uint8_t { return 0; }};
    FuzzPlatform platform;
    {
        CFlashEngine engine(job, platform);
        engine.SetSumFilePath("/dev/null");
        engine.Run();
    }
    if (platform.held != 0) std::abort();  // kept after the run
    return 0;
}

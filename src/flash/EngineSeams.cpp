// Default platform services of the flashing engine.
//
// On Windows the command executor is fgExecuteCmd from the device folder;
// this file only refers to it, and the program links both libraries. Other
// hosts build the engine for its tests and tools only: they have no SCSI
// transport, so their default executor answers every command with failure
// and zeroed sense, as a command that never reached a drive would.
#include "flash/EngineSeams.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "device/ExecuteCmd.h"
#else
#include <sys/mman.h>

#include <chrono>
#include <thread>
#endif

namespace {

#ifdef _WIN32

void PlatformSleep(std::uint32_t ms) { ::Sleep(ms); }

void* PlatformAlloc(std::size_t size) {
    return ::VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE);
}

void PlatformLock(void* base, std::size_t size) { ::VirtualLock(base, size); }

void PlatformUnlock(void* base, std::size_t size) { ::VirtualUnlock(base, size); }

void PlatformFree(void* base, std::size_t /*size*/) {
    // MEM_RELEASE frees the whole allocation and requires a size of 0.
    ::VirtualFree(base, 0, MEM_RELEASE);
}

#else

int NoTransportExecute(const DriveEntry&, std::uint8_t, std::uint32_t, std::uint8_t*,
                       std::uint8_t, const std::uint8_t*, std::uint8_t,
                       std::uint8_t* sense) {
    if (sense != nullptr) std::memset(sense, 0, 16);
    return 0;
}

void PlatformSleep(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void* PlatformAlloc(std::size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                     -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

// mlock may be refused (RLIMIT_MEMLOCK); the buffer works the same unlocked.
void PlatformLock(void* base, std::size_t size) { (void)::mlock(base, size); }

void PlatformUnlock(void* base, std::size_t size) { (void)::munlock(base, size); }

void PlatformFree(void* base, std::size_t size) { (void)::munmap(base, size); }

#endif

}  // namespace

EngineSeams DefaultEngineSeams() {
    EngineSeams seams{};
#ifdef _WIN32
    seams.pfnExecuteCmd = &fgExecuteCmd;
#else
    seams.pfnExecuteCmd = &NoTransportExecute;
#endif
    seams.pfnSleep = &PlatformSleep;
    seams.pfnAllocImage = &PlatformAlloc;
    seams.pfnLockImage = &PlatformLock;
    seams.pfnUnlockImage = &PlatformUnlock;
    seams.pfnFreeImage = &PlatformFree;
    return seams;
}

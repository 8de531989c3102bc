// EngineSeams: the few platform services the flashing engine needs, as plain
// function pointers with the real implementations as default. Tests put a
// virtual drive, a recording sleep or a counting image buffer behind them.
// A seam table is copied into each engine; it is never changed from outside
// the program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/ScsiTypes.h"

struct EngineSeams {
    // Sends one SCSI command (fgExecuteCmd on Windows).
    PFN_EXECUTE_CMD pfnExecuteCmd;
    // Blocks the calling thread for `ms` milliseconds (the programming wait).
    void (*pfnSleep)(std::uint32_t ms);
    // The image buffer: committed read/write memory in one piece, or null.
    void* (*pfnAllocImage)(std::size_t size);
    // Page-locking; the outcome is of no interest to the engine, so none is
    // returned.
    void (*pfnLockImage)(void* base, std::size_t size);
    void (*pfnUnlockImage)(void* base, std::size_t size);
    // Gives the whole buffer back. `size` is what was allocated.
    void (*pfnFreeImage)(void* base, std::size_t size);
};

// The real services: on Windows fgExecuteCmd, Sleep and VirtualAlloc/
// VirtualLock/VirtualUnlock/VirtualFree; on other hosts an anonymous
// mapping with mlock, a thread sleep, and a command executor that fails
// every command (there is no SCSI transport there).
EngineSeams DefaultEngineSeams();

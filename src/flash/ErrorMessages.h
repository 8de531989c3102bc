// ErrorMessages: the engine's numbered error texts, reported as "ERR: %s"
// lines in the log box. Constant data; safe from any thread.
#pragma once

#include <cstdint>

enum ErrorCode : std::uint8_t {
    kErrIdePortReboot = 0,     // not raised by this program
    kErrIdePortCheck = 1,      // not raised
    // The image file the program reads cannot be opened; its text says
    // "output" all the same.
    kErrOpenImageFile = 2,
    kErrOpenInputFile = 3,     // not raised
    kErrWriteOutputFile = 4,   // not raised
    kErrReadInputFile = 5,     // the image cannot be read (load outcome -2)
    kErrFormatMismatch = 6,    // bad Intel-HEX text or record
    kErrReadFlash = 7,         // not raised
    kErrWriteFlash = 8,        // not raised
    kErrEraseFlash = 9,        // not raised
    kErrVerifyFlash = 10,      // not raised
    kErrAllocMemory = 11,      // the 1 MB image buffer cannot be obtained
    kErrIdentifyFlash = 12,    // not raised
    kErrFlashTooSmall = 13,    // not raised
    kErrTerminateUpgrade = 14, // the abort hook answered nonzero
    kErrTerminateWait = 15,    // not raised
};

constexpr int kErrorCodeCount = 16;

// Indexed by ErrorCode. The texts are what users and support staff know
// from the log box; keep them byte for byte, typos included.
extern const char* const ErrorMessages[kErrorCodeCount];

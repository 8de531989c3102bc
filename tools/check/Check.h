// marrowfin-check: shows what MARROWFIN would do with a firmware package for
// one drive, without touching any drive. The decisions are the program's own
// functions; the flash itself is the real engine run against a platform that
// accepts every command at once and records it.
#pragma once

#include <string>

struct CheckOptions {
    std::string listPath;  // the compatibility list, IDString.txt
    std::string imageDir;  // the folder the program would run in (its images)
    std::string id;        // INQUIRY vendor + product, 24 characters
    std::string revision;  // INQUIRY revision, 4 characters
    bool verbose = false;  // also every command sent and the sum.txt trace
};

enum CheckExit { kCheckWouldFlash = 0, kCheckRefused = 1, kCheckUsage = 2 };

// Appends the check's report to `report`; answers a CheckExit. Not reentrant:
// the engine's hooks are plain functions writing to one collector.
int RunCheck(const CheckOptions& options, std::string& report);

// The command line. Answers -1 with `options` filled; kCheckWouldFlash (0)
// with the help text in `message` for --help; kCheckUsage with the reason.
int ParseCheckArgs(int argc, const char* const* argv, CheckOptions& options, std::string& message);

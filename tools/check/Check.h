// marrowfin-check: shows what MARROWFIN would do with a firmware package for
// one drive, without touching any drive. The decisions are the program's own
// functions; the flash itself is the real engine run against a platform that
// accepts every command at once and records it. Where the program's words do
// not say what is wrong, the check adds its own "Why" lines.
#pragma once

#include <string>

struct CheckOptions {
    std::string listPath;  // the compatibility list, IDString.txt
    std::string imageDir;  // the folder the program would run in (its images)
    std::string id;        // INQUIRY vendor + product, 24 characters
    std::string revision;  // INQUIRY revision, 4 characters
    bool verbose = false;  // also every command sent and the sum.txt trace
    bool json = false;     // the report as one JSON object instead of text
};

// The exit status: which kind of outcome, for scripts.
enum CheckExit {
    kCheckWouldFlash = 0,        // the upgrade would start and succeed
    kCheckRefusedAtStartUp = 1,  // no list row matches the drive: Upgrade is disabled
    kCheckUsage = 2,             // the command line is wrong
    kCheckRefusedByUpgrade = 3,  // the Upgrade command's checks stop before the worker
    kCheckImageRejected = 4,     // the engine rejects the image; no chunk, or no save
};

// Appends the check's report (text, or JSON with options.json) to `report`;
// answers a CheckExit. Not reentrant: the engine's hooks are plain
// functions writing to one collector.
int RunCheck(const CheckOptions& options, std::string& report);

// The command line. Answers -1 with `options` filled; kCheckWouldFlash (0)
// with the help text in `message` for --help; kCheckUsage with the reason.
int ParseCheckArgs(int argc, const char* const* argv, CheckOptions& options, std::string& message);

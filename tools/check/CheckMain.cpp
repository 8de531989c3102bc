// marrowfin-check: the command line around RunCheck.
#include <cstdio>

#include "Check.h"

int main(int argc, char** argv) {
    CheckOptions options;
    std::string message;
    const int parsed = ParseCheckArgs(argc, argv, options, message);
    if (parsed == kCheckWouldFlash) {
        std::fputs(message.c_str(), stdout);
        return kCheckWouldFlash;
    }
    if (parsed == kCheckUsage) {
        std::fprintf(stderr, "marrowfin-check: %s\nTry 'marrowfin-check --help' for more information.\n",
                     message.c_str());
        return kCheckUsage;
    }
    std::string report;
    const int status = RunCheck(options, report);
    std::fputs(report.c_str(), stdout);
    return status;
}

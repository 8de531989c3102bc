// Starting MARROWFIN.exe as a user would: a separate process with its own
// working directory and environment, reached afterwards only through its
// windows. One Program object owns one process and always ends it.
// Not thread-safe: one test thread drives one Program.
#ifndef UIDRIVER_PROCESS_H
#define UIDRIVER_PROCESS_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace uidriver {

struct LaunchOptions {
    std::string exePath;     // Windows path of the program
    std::string workingDir;  // its current directory
    // Variables set (or replaced) on top of this process's environment; an
    // empty value removes the variable.
    std::vector<std::pair<std::string, std::string>> environment;
};

// The caption of the program's main dialog.
inline constexpr char kMainCaption[] = "MARROWFIN";

class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts the program; false (with the reason in LastError()) if
    // CreateProcess refused.
    bool Start(const LaunchOptions& options);
    // Waits for the process's top-level dialog with the caption "MARROWFIN"
    // (it may still be hidden while its initialisation shows a message box).
    HWND WaitForMainWindow(DWORD timeoutMs);

    DWORD Pid() const { return m_pi.dwProcessId; }
    HWND MainWindow() const { return m_hMain; }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs) const;
    // Presses "Close" when it is enabled and waits for the process to end;
    // ends it by force when that does not work. Safe to call twice.
    void End(DWORD gracefulMs = 5000);
    const std::string& LastError() const { return m_error; }

private:
    PROCESS_INFORMATION m_pi{};
    HWND m_hMain = nullptr;
    std::string m_error;
};

// Top-level windows of a process with the given class (nullptr: any) that
// are visible, or all of them when includeHidden is set.
std::vector<HWND> TopLevelWindows(DWORD pid, const char* className, bool includeHidden = false);
// The first top-level "#32770" window with this caption in any process.
HWND FindDialogByCaption(const char* caption);

// An environment block: this process's variables with the given ones set.
std::string BuildEnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes);

}  // namespace uidriver

#endif

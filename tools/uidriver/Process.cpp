#include "Process.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "Controls.h"
#include "Poll.h"

namespace uidriver {

namespace {

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
    }
};

struct WindowSearch {
    DWORD pid;
    const char* className;
    bool includeHidden;
    std::vector<HWND> found;
};

struct CaptionSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam);
BOOL CALLBACK MatchCaption(HWND hwnd, LPARAM lParam);

std::string ClassName(HWND hwnd) {
    char name[64] = "";
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

}  // namespace

std::string BuildEnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    // Windows keeps variable names case-insensitive and the block sorted.
    std::map<std::string, std::string, CaseLess> vars;
    char* block = ::GetEnvironmentStringsA();
    for (const char* p = block; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
        const char* eq = std::strchr(p + 1, '=');  // "=C:=C:\..." entries start with '='
        if (eq == nullptr) continue;
        vars[std::string(p, eq)] = eq + 1;
    }
    if (block != nullptr) ::FreeEnvironmentStringsA(block);
    for (const auto& [name, value] : changes) {
        if (value.empty()) vars.erase(name);
        else vars[name] = value;
    }
    std::string out;
    for (const auto& [name, value] : vars) {
        out += name;
        out += '=';
        out += value;
        out += '\0';
    }
    out += '\0';
    return out;
}

Program::~Program() { End(); }

bool Program::Start(const LaunchOptions& options) {
    End();
    std::string env = BuildEnvironmentBlock(options.environment);
    std::string commandLine = "\"" + options.exePath + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!::CreateProcessA(options.exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          env.data(), options.workingDir.c_str(), &si, &m_pi)) {
        m_error = "CreateProcess failed for " + options.exePath + ", error " + std::to_string(::GetLastError());
        m_pi = PROCESS_INFORMATION{};
        return false;
    }
    return true;
}

HWND Program::WaitForMainWindow(DWORD timeoutMs) {
    WaitUntil([&] {
        for (HWND hwnd : TopLevelWindows(Pid(), "#32770", true)) {
            if (WindowText(hwnd) == kMainCaption) {
                m_hMain = hwnd;
                return true;
            }
        }
        return !Running();
    }, timeoutMs);
    return m_hMain;
}

bool Program::Running() const {
    return m_pi.hProcess != nullptr && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD timeoutMs) const {
    return m_pi.hProcess == nullptr || ::WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void Program::End(DWORD gracefulMs) {
    if (m_pi.hProcess == nullptr) return;
    if (Running() && m_hMain != nullptr && ::IsWindow(m_hMain) && IsControlEnabled(m_hMain, IDCANCEL)) {
        Click(m_hMain, IDCANCEL);
        WaitForExit(gracefulMs);
    }
    if (Running()) {
        ::TerminateProcess(m_pi.hProcess, 1);
        WaitForExit(gracefulMs);
    }
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
    m_pi = PROCESS_INFORMATION{};
    m_hMain = nullptr;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const char* className, bool includeHidden) {
    WindowSearch search{pid, className, includeHidden, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDialogByCaption(const char* caption) {
    CaptionSearch search{caption, nullptr};
    ::EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
    auto* s = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner != s->pid) return TRUE;
    if (!s->includeHidden && !::IsWindowVisible(hwnd)) return TRUE;
    if (s->className != nullptr && ClassName(hwnd) != s->className) return TRUE;
    s->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK MatchCaption(HWND hwnd, LPARAM lParam) {
    auto* s = reinterpret_cast<CaptionSearch*>(lParam);
    if (ClassName(hwnd) == "#32770" && ::IsWindowVisible(hwnd) && WindowText(hwnd) == s->caption) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

}  // namespace uidriver

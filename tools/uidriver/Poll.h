// Bounded polling: how the driver waits for the program without sleeping a
// fixed time. Every wait has a deadline; the condition is checked first, then
// every pollMs until it holds or the deadline passes.
#ifndef UIDRIVER_POLL_H
#define UIDRIVER_POLL_H

#include <windows.h>

namespace uidriver {

template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs, DWORD pollMs = 50) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(pollMs);
    }
}

}  // namespace uidriver

#endif

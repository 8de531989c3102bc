#include "DialogScript.h"

#include <commctrl.h>

#include <thread>

namespace testing_win {

namespace {

struct FindData {
    const char* caption;
    HWND except;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam) {
    auto* data = reinterpret_cast<FindData*>(lParam);
    if (hWnd != data->except && ::IsWindowVisible(hWnd) && WindowText(hWnd) == data->caption) {
        data->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string WindowText(HWND hWnd) {
    int length = ::GetWindowTextLengthA(hWnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = ::GetWindowTextA(hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string ClassName(HWND hWnd) {
    char name[256] = "";
    ::GetClassNameA(hWnd, name, sizeof name);
    return name;
}

HWND FindDialog(DWORD threadId, const char* caption, HWND except, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    do {
        FindData data{caption, except, nullptr};
        ::EnumThreadWindows(threadId, &FindProc, reinterpret_cast<LPARAM>(&data));
        if (data.found != nullptr) return data.found;
        ::Sleep(10);
    } while (::GetTickCount() - start < timeoutMs);
    return nullptr;
}

void Settle(HWND hDlg, int idProgress, int rounds) {
    HWND hProgress = ::GetDlgItem(hDlg, idProgress);
    for (int i = 0; i < rounds; ++i) {
        int marker = 40 + i;
        if (!::PostMessageA(hProgress, PBM_SETPOS, marker, 0)) return;  // window gone
        DWORD start = ::GetTickCount();
        while (::IsWindow(hProgress) && ::SendMessageA(hProgress, PBM_GETPOS, 0, 0) != marker &&
               ::GetTickCount() - start < 5000)
            ::Sleep(1);
    }
}

INT_PTR RunWithScript(const char* caption, const std::function<INT_PTR()>& run,
                      const std::function<void(HWND)>& script) {
    DWORD threadId = ::GetCurrentThreadId();
    std::thread driver([&] {
        HWND hWnd = FindDialog(threadId, caption);
        if (hWnd == nullptr) return;
        script(hWnd);
        if (::IsWindow(hWnd)) {
            ::EnableWindow(::GetDlgItem(hWnd, IDCANCEL), TRUE);
            ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        }
    });
    INT_PTR result = run();
    driver.join();
    return result;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

}  // namespace testing_win

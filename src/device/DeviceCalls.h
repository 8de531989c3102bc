// The platform calls of the pass-through transport, as a table of function
// pointers that defaults to the real ones. Discovery and command execution go
// only through g_DeviceCalls, so a test can put virtual drives behind drive
// letters and make the bounce buffer unobtainable. Windows only. The table is
// set before any device work starts and only read afterwards.
#pragma once

#include <windows.h>

struct DeviceCalls {
    HANDLE(WINAPI* Open)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* Control)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* Close)(HANDLE);
    // Bounce buffer of a pass-through command; null when none can be had.
    void* (*AllocBuffer)(SIZE_T size);
    void (*FreeBuffer)(void* buffer);
};

// CreateFileA, DeviceIoControl, CloseHandle and the process heap.
extern const DeviceCalls kRealDeviceCalls;
extern DeviceCalls g_DeviceCalls;

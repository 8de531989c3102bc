// The few system calls of the dialogs that tests must be able to answer
// themselves: the operating system version (which chooses the transport),
// the current directory and message boxes. Real by default; a test replaces
// an entry before it creates the dialog and puts it back afterwards.
#pragma once

#include <windows.h>

struct PlatformCalls {
    BOOL(WINAPI* GetVersionExA)(LPOSVERSIONINFOA info);
    DWORD(WINAPI* GetCurrentDirectoryA)(DWORD size, LPSTR buffer);
    int(WINAPI* MessageBoxA)(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
};

extern const PlatformCalls kRealPlatformCalls;
extern PlatformCalls g_Platform;

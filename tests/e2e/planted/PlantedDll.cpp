// A comctl32.dll as an attacker would plant it beside a program: loaded into
// any process, it leaves planted-loaded.txt beside itself and does nothing else.
#include <windows.h>

#include <cstring>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    char mark[MAX_PATH + 32];  // room for the mark's name after the folder
    const DWORD length = ::GetModuleFileNameA(instance, mark, MAX_PATH);
    char* slash = std::strrchr(mark, '\\');
    if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH && slash != nullptr) {
        std::strcpy(slash, "\\planted-loaded.txt");
        ::CloseHandle(::CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return TRUE;
}

#include "win/SystemLibraries.h"

#include <cstring>

namespace {

// GetProcAddress answers a generic FARPROC; each caller knows the signature.
template <typename Fn>
Fn Entry(HMODULE module, const char* name) {
    return module == nullptr ? nullptr : reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

void CSystemLibraries::RestrictSearchPath() {
    // GetVersion's top bit marks the 9x family, which loads WNASPI32 by name
    // from the usual places; Wine offers the call even when it plays 9x.
    if ((::GetVersion() & 0x80000000u) != 0) return;
    // Absent on NT 4 and on NT 5/6 without the loader update.
    using SetDirsFn = BOOL(WINAPI*)(DWORD);
    if (const auto setDirs = Entry<SetDirsFn>(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"))
        setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE CSystemLibraries::Load(const char* name) {
    char path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    // Room for the backslash, the name and its terminator.
    if (length == 0 || length + 1 + std::strlen(name) >= sizeof path) return nullptr;
    path[length] = '\\';
    std::strcpy(path + length + 1, name);
    return ::LoadLibraryA(path);
}

HMODULE CSystemLibraries::CommonControls() {
    static const HMODULE s_hModule = [] {
        const HMODULE module = Load("comctl32.dll");
        // Libraries before 4.70 have only InitCommonControls.
        using InitExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        using InitFn = void(WINAPI*)();
        const INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        if (const auto initEx = Entry<InitExFn>(module, "InitCommonControlsEx"))
            initEx(&icc);
        else if (const auto init = Entry<InitFn>(module, "InitCommonControls"))
            init();
        return module;
    }();
    return s_hModule;
}

BOOL CSystemLibraries::TrackMouseEvent(LPTRACKMOUSEEVENT tme) {
    using TrackFn = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
    static const auto s_track = Entry<TrackFn>(CommonControls(), "_TrackMouseEvent");
    return s_track != nullptr ? s_track(tme) : FALSE;
}

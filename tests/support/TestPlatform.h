// TestPlatform: the one stand-in for the program's platform in every suite.
// It wraps the real platform and answers itself what a test must control:
// sleeps are recorded, not slept; the image buffer is counted and its last
// contents kept; commands can be answered by a function. On Windows it also
// reports a chosen system version and current directory, records message
// boxes, loads a chosen file (or a set of functions) for the ASPI layer,
// fakes the pass-through device calls behind chosen drive letters, and
// reports a chosen pointer, button state and focus window. Wrapped in a
// CDeviceAccess, as the main dialog wraps the platform it is given, it gets
// the program's own transports over those fakes. Each test builds its own;
// nothing global.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"

#ifdef _WIN32
#include <process.h>
#endif

class TestPlatform : public PlatformWrapper {
public:
    TestPlatform() : PlatformWrapper(Platform::Default()) {}

    // --- Commands ---
    using ExecuteFn = std::function<int(const DriveEntry&, std::uint8_t flags, std::uint32_t length,
                                        std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                                        std::uint8_t transport, std::uint8_t* sense)>;
    ExecuteFn execute;  // empty: no drive answers
    int ExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                   std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport,
                   std::uint8_t* sense) override {
        if (execute) return execute(entry, flags, length, data, cdbLength, cdb, transport, sense);
        return PlatformWrapper::ExecuteCmd(entry, flags, length, data, cdbLength, cdb, transport, sense);
    }

    // --- Time ---
    std::vector<std::uint32_t> sleeps;
    void Sleep(std::uint32_t ms) override { sleeps.push_back(ms); }
    std::uint32_t Slept() const {
        std::uint32_t total = 0;
        for (std::uint32_t ms : sleeps) total += ms;
        return total;
    }

    // --- The image buffer: plain heap memory, counted; freed contents kept ---
    bool failImageAlloc = false;
    int imageAllocs = 0, imageFrees = 0, imageLocks = 0, imageUnlocks = 0;
    std::vector<std::uint8_t> freedImage;  // the buffer as it was given back
    void* AllocImage(std::size_t size) override {
        ++imageAllocs;
        return failImageAlloc ? nullptr : std::malloc(size);
    }
    void LockImage(void*, std::size_t) override { ++imageLocks; }
    void UnlockImage(void*, std::size_t) override { ++imageUnlocks; }
    void FreeImage(void* base, std::size_t size) override {
        ++imageFrees;
        const auto* bytes = static_cast<const std::uint8_t*>(base);
        freedImage.assign(bytes, bytes + size);
        std::free(base);
    }

#ifdef _WIN32
    // --- System information and message boxes ---
    DWORD platformId = VER_PLATFORM_WIN32_NT, majorVersion = 5;
    DWORD GetVersion() override { return majorVersion | (platformId == VER_PLATFORM_WIN32_NT ? 0 : 0x80000000u); }
    BOOL GetVersionExA(LPOSVERSIONINFOA info) override {
        info->dwPlatformId = platformId;
        info->dwMajorVersion = majorVersion;
        info->dwMinorVersion = 0;
        return TRUE;
    }
    std::function<DWORD(DWORD, LPSTR)> currentDirectory;  // empty: the real one
    DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) override {
        return currentDirectory ? currentDirectory(size, buffer) : PlatformWrapper::GetCurrentDirectoryA(size, buffer);
    }
    struct Box {
        HWND owner;
        std::string text, caption;
        UINT style;
    };
    std::vector<Box> boxes;
    int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) override {
        boxes.push_back({owner, text, caption, style});
        return IDOK;
    }

    // --- The ASPI layer: `aspiLibrary` is loaded in place of the named one,
    // or, with `aspiEntryPoints`, a layer that is nothing but those functions.
    std::string aspiLibrary;  // empty: the name as asked
    std::map<std::string, FARPROC> aspiEntryPoints;
    template <typename F>
    static FARPROC EntryPoint(F* function) { return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function)); }
    static HMODULE FakeLayer() { return reinterpret_cast<HMODULE>(0x4D460000); }
    HMODULE LoadLibraryA(LPCSTR name) override {
        if (!aspiEntryPoints.empty()) return FakeLayer();
        return PlatformWrapper::LoadLibraryA(aspiLibrary.empty() ? name : aspiLibrary.c_str());
    }
    FARPROC GetProcAddress(HMODULE module, LPCSTR name) override {
        if (module != FakeLayer()) return PlatformWrapper::GetProcAddress(module, name);
        const auto found = aspiEntryPoints.find(name);
        return found == aspiEntryPoints.end() ? nullptr : found->second;
    }
    BOOL FreeLibrary(HMODULE module) override {
        return module == FakeLayer() ? TRUE : PlatformWrapper::FreeLibrary(module);
    }

    // --- Pass-through device calls behind the letters of `openable` ---
    struct Call {
        HANDLE h;
        DWORD code, inLength, outLength;
        void *in, *out;
        bool overlappedNull;
    };
    std::string openable;
    std::function<BOOL(const Call&)> control = [](const Call&) { return FALSE; };
    bool failBounce = false;
    std::size_t misalign = 8;     // distance of the bounce buffer from a 2048-byte boundary
    std::vector<DWORD> openArgs;  // per open: access, share, disposition, flags, 1 if no SA/template
    std::string opened;           // letters, in order; '?' for a malformed name
    std::vector<Call> calls;
    std::vector<HANDLE> closed;
    std::vector<std::vector<std::uint8_t>> blocks;
    std::uint8_t* lastBounce = nullptr;
    int bounceAllocs = 0, bounceFrees = 0;

    static HANDLE LetterHandle(char letter) { return reinterpret_cast<HANDLE>(0x1000 + 16 * letter); }
    static char LetterOf(HANDLE h) { return static_cast<char>((reinterpret_cast<std::uintptr_t>(h) - 0x1000) / 16); }

    HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                       DWORD flags, HANDLE hTemplate) override {
        const std::string p(path);
        const bool wellFormed = p.size() == 6 && p.compare(0, 4, "\\\\.\\") == 0 && p[5] == ':';
        opened += wellFormed ? p[4] : '?';
        openArgs.insert(openArgs.end(), {access, share, disposition, flags, !sa && !hTemplate});
        return wellFormed && openable.find(p[4]) != std::string::npos ? LetterHandle(p[4]) : INVALID_HANDLE_VALUE;
    }
    BOOL DeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength,
                         LPDWORD returned, LPOVERLAPPED overlapped) override {
        calls.push_back({h, code, inLength, outLength, in, out, overlapped == nullptr});
        return returned != nullptr && control(calls.back());
    }
    // Events are closed for real and leave `events`; every other handle is
    // recorded in `closed`, and those of real objects (the worker) are closed
    // for real too.
    BOOL CloseHandle(HANDLE h) override {
        const auto event = std::find(events.begin(), events.end(), h);
        if (event != events.end()) return events.erase(event), PlatformWrapper::CloseHandle(h);
        closed.push_back(h);
        const bool letter = LetterOf(h) >= 'a' && LetterOf(h) <= 'z' && LetterHandle(LetterOf(h)) == h;
        return letter ? TRUE : PlatformWrapper::CloseHandle(h);
    }

    // --- Events, drive entries and the worker thread ---
    std::vector<HANDLE> events;  // created and not yet closed
    HANDLE CreateEventA(BOOL manualReset, BOOL initialState) override {
        const HANDLE h = PlatformWrapper::CreateEventA(manualReset, initialState);
        if (h != nullptr) events.push_back(h);
        return h;
    }
    int entryAllocs = 0, entryFrees = 0;
    void* HeapAllocZero(SIZE_T size) override { return ++entryAllocs, PlatformWrapper::HeapAllocZero(size); }
    BOOL HeapFree(void* block) override { return ++entryFrees, PlatformWrapper::HeapFree(block); }
    // With holdThreads, a thread is made suspended and runs from ReleaseThreads on.
    bool holdThreads = false;
    std::vector<HANDLE> heldThreads;
    std::uintptr_t BeginThread(unsigned(__stdcall* proc)(void*), void* param) override {
        const std::uintptr_t h = ::_beginthreadex(nullptr, 0, proc, param, holdThreads ? CREATE_SUSPENDED : 0, nullptr);
        HANDLE mine = nullptr;
        if (h != 0 && holdThreads &&
            ::DuplicateHandle(::GetCurrentProcess(), reinterpret_cast<HANDLE>(h), ::GetCurrentProcess(), &mine, 0, FALSE,
                              DUPLICATE_SAME_ACCESS))
            heldThreads.push_back(mine);
        return h;
    }
    void ReleaseThreads() {
        for (HANDLE h : heldThreads) ::ResumeThread(h), ::CloseHandle(h);
        heldThreads.clear();
    }
    void* AllocBounceBuffer(SIZE_T size) override {
        ++bounceAllocs;
        if (failBounce) return nullptr;
        auto& block = blocks.emplace_back(size + 4096);
        const auto at = (reinterpret_cast<std::uintptr_t>(block.data()) + 2047) & ~std::uintptr_t{2047};
        return lastBounce = reinterpret_cast<std::uint8_t*>(at + misalign);
    }
    void FreeBounceBuffer(void* p) override { bounceFrees += p == lastBounce; }

    // --- Pointer, buttons, focus and the shell ---
    POINT cursor = {-10000, -10000};
    bool leftButtonDown = false, rightButtonDown = false;
    HWND focus = nullptr;
    BOOL GetCursorPos(LPPOINT point) override { return *point = cursor, TRUE; }
    SHORT GetKeyState(int key) override {
        const bool down = key == VK_LBUTTON ? leftButtonDown : key == VK_RBUTTON && rightButtonDown;
        return down ? static_cast<SHORT>(0x8000) : 0;
    }
    HWND GetFocus() override { return focus; }
    std::vector<std::string> shellOpened;  // "verb|file" per request
    HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) override {
        shellOpened.push_back(std::string(verb ? verb : "") + "|" + (file ? file : ""));
        return reinterpret_cast<HINSTANCE>(33);
    }
#endif
};

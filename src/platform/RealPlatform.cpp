// The real services of the host. On Windows the image buffer is
// VirtualAlloc/VirtualLock memory and the rest are the Win32 calls of the same
// names. Other hosts build the engine for its tests and tools only: the image
// buffer is an anonymous mapping with mlock. No host's platform sends SCSI
// commands itself (CDeviceAccess does, on Windows): every command fails with
// zeroed sense, as one that never reached a drive.
#include "platform/Platform.h"

#include <cstring>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#include <shellapi.h>

#include "win/SystemLibraries.h"
#else
#include <sys/mman.h>

#include <chrono>
#include <thread>
#endif

namespace {

class RealPlatform final : public Platform {
public:
#ifdef _WIN32
    void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
    void* AllocImage(std::size_t size) override {
        return ::VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    void LockImage(void* base, std::size_t size) override { ::VirtualLock(base, size); }
    void UnlockImage(void* base, std::size_t size) override { ::VirtualUnlock(base, size); }
    // MEM_RELEASE frees the whole allocation and requires a size of 0.
    void FreeImage(void* base, std::size_t) override { ::VirtualFree(base, 0, MEM_RELEASE); }

    BOOL GetVersionExA(LPOSVERSIONINFOA info) override { return ::GetVersionExA(info); }
    DWORD GetVersion() override { return ::GetVersion(); }
    DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) override {
        return ::GetCurrentDirectoryA(size, buffer);
    }
    int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) override {
        return ::MessageBoxA(owner, text, caption, style);
    }
    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override {
        return ::CreateFileA(name, access, share, security, disposition, flags, templateFile);
    }
    BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                         LPDWORD returned, LPOVERLAPPED overlapped) override {
        return ::DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
    }
    BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
    void* AllocBounceBuffer(SIZE_T size) override { return ::HeapAlloc(::GetProcessHeap(), 0, size); }
    void FreeBounceBuffer(void* buffer) override { ::HeapFree(::GetProcessHeap(), 0, buffer); }
    std::uintptr_t BeginThread(unsigned(__stdcall* proc)(void*), void* param) override {
        return ::_beginthreadex(nullptr, 0, proc, param, 0, nullptr);
    }
    HANDLE CreateEventA(BOOL manualReset, BOOL initialState) override {
        return ::CreateEventA(nullptr, manualReset, initialState, nullptr);
    }
    void* HeapAllocZero(SIZE_T size) override { return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size); }
    BOOL HeapFree(void* block) override { return ::HeapFree(::GetProcessHeap(), 0, block); }
    HMODULE LoadLibraryA(LPCSTR name) override { return ::LoadLibraryA(name); }
    FARPROC GetProcAddress(HMODULE module, LPCSTR name) override { return ::GetProcAddress(module, name); }
    BOOL FreeLibrary(HMODULE module) override { return ::FreeLibrary(module); }
    BOOL GetCursorPos(LPPOINT point) override { return ::GetCursorPos(point); }
    SHORT GetKeyState(int key) override { return ::GetKeyState(key); }
    HWND GetFocus() override { return ::GetFocus(); }
    HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                            INT show) override {
        // shell32 comes from the system folder on first use (it is not
        // imported: see CSystemLibraries).
        using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
        static const auto s_execute = [] {
            const HMODULE shell = CSystemLibraries::Load("shell32.dll");
            return shell == nullptr ? nullptr
                                    : reinterpret_cast<ShellExecuteFn>(
                                          reinterpret_cast<void*>(::GetProcAddress(shell, "ShellExecuteA")));
        }();
        if (s_execute == nullptr) return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
        return s_execute(owner, verb, file, parameters, directory, show);
    }
#else
    void Sleep(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void* AllocImage(std::size_t size) override {
        void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : p;
    }
    // mlock may be refused (RLIMIT_MEMLOCK); the buffer works the same unlocked.
    void LockImage(void* base, std::size_t size) override { (void)::mlock(base, size); }
    void UnlockImage(void* base, std::size_t size) override { (void)::munlock(base, size); }
    void FreeImage(void* base, std::size_t size) override { (void)::munmap(base, size); }
#endif
};

}  // namespace

Platform& Platform::Default() {
    static RealPlatform s_real;
    return s_real;
}

int Platform::ExecuteCmd(const DriveEntry&, std::uint8_t, std::uint32_t, std::uint8_t*, std::uint8_t,
                         const std::uint8_t*, std::uint8_t, std::uint8_t* sense) {
    if (sense != nullptr) std::memset(sense, 0, 16);
    return 0;
}

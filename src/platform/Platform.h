// Platform: every service the program takes from the operating system that a
// test must be able to answer itself, behind one interface with the real
// implementation as default (Platform::Default()). The dialog, discovery,
// command execution and the engine are each handed the Platform they work
// with; nothing reaches these services around it.
//
// PlatformWrapper forwards every call to another Platform, so a test fake
// overrides only what it answers itself. The platform stands on nothing of
// the program's: it knows the SCSI value types (scsi/) and the host, no more.
// Sending a SCSI command is a service of the interface, but the program's
// own road for it (the ASPI layer, the pass-through requests) belongs to
// device access, whose CDeviceAccess wraps a Platform and answers it.
//
// Thread safety: the real services may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scsi/ScsiTypes.h"

#ifdef _WIN32
#include <windows.h>

#include "scsi/AspiDefs.h"
#endif

class Platform {
public:
    virtual ~Platform() = default;

    // The real services of this host.
    static Platform& Default();

    // --- Commands -----------------------------------------------------------
    // Sends one SCSI command and waits for it. Returns 1 on success, 0 on
    // failure; `sense` (32 bytes) receives fixed-format sense data
    // (pass-through only). This answer is that of a host without a SCSI
    // transport: every command fails with cleared sense. CDeviceAccess gives
    // the program's transports; a test answers with a drive of its own.
    virtual int ExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length,
                           std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                           std::uint8_t transport, std::uint8_t* sense);

    // --- Time ---------------------------------------------------------------
    // Blocks the calling thread (the programming wait, the label's timers).
    virtual void Sleep(std::uint32_t ms) = 0;

    // --- The image buffer ---------------------------------------------------
    // Committed read/write memory in one piece, or null.
    virtual void* AllocImage(std::size_t size) = 0;
    // Page-locking; its outcome is of no interest to the engine.
    virtual void LockImage(void* base, std::size_t size) = 0;
    virtual void UnlockImage(void* base, std::size_t size) = 0;
    // Gives the whole buffer back; `size` is what was allocated.
    virtual void FreeImage(void* base, std::size_t size) = 0;

#ifdef _WIN32
    // --- System information and the dialogs' message boxes -----------------
    virtual BOOL GetVersionExA(LPOSVERSIONINFOA info) = 0;
    // Top bit set on the 9x family (the label's rotation path depends on it).
    virtual DWORD GetVersion() = 0;
    virtual DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) = 0;
    virtual int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) = 0;

    // --- Device calls of the pass-through transport -------------------------
    virtual HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile) = 0;
    virtual BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                 DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    // Bounce buffer of a pass-through command; null when none can be had.
    virtual void* AllocBounceBuffer(SIZE_T size) = 0;
    virtual void FreeBounceBuffer(void* buffer) = 0;

    // --- The worker thread, the ASPI requests' events, the drive entries ----
    // _beginthreadex: the thread's handle, or 0.
    virtual std::uintptr_t BeginThread(unsigned(__stdcall* proc)(void*), void* param) = 0;
    // An unnamed event with no security attributes; closed with CloseHandle.
    virtual HANDLE CreateEventA(BOOL manualReset, BOOL initialState) = 0;
    // Zero-filled memory from the process heap, or null.
    virtual void* HeapAllocZero(SIZE_T size) = 0;
    virtual BOOL HeapFree(void* block) = 0;

    // --- The ASPI layer, loaded at run time ---------------------------------
    virtual HMODULE LoadLibraryA(LPCSTR name) = 0;
    virtual FARPROC GetProcAddress(HMODULE module, LPCSTR name) = 0;
    virtual BOOL FreeLibrary(HMODULE module) = 0;

    // --- Pointer, buttons and focus (the tooltip's polling), the shell -----
    virtual BOOL GetCursorPos(LPPOINT point) = 0;
    virtual SHORT GetKeyState(int key) = 0;
    virtual HWND GetFocus() = 0;
    // The label's open-on-click.
    virtual HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                    INT show) = 0;
#endif
};

// Forwards every service to `target`; a test derives from it and overrides
// what it answers itself.
class PlatformWrapper : public Platform {
public:
    explicit PlatformWrapper(Platform& target) : m_target(target) {}
    Platform& Target() const { return m_target; }

    int ExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                   std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t transport,
                   std::uint8_t* sense) override {
        return m_target.ExecuteCmd(entry, flags, length, data, cdbLength, cdb, transport, sense);
    }

    void Sleep(std::uint32_t ms) override { m_target.Sleep(ms); }
    void* AllocImage(std::size_t size) override { return m_target.AllocImage(size); }
    void LockImage(void* base, std::size_t size) override { m_target.LockImage(base, size); }
    void UnlockImage(void* base, std::size_t size) override { m_target.UnlockImage(base, size); }
    void FreeImage(void* base, std::size_t size) override { m_target.FreeImage(base, size); }

#ifdef _WIN32
    BOOL GetVersionExA(LPOSVERSIONINFOA info) override { return m_target.GetVersionExA(info); }
    DWORD GetVersion() override { return m_target.GetVersion(); }
    DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) override {
        return m_target.GetCurrentDirectoryA(size, buffer);
    }
    int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) override {
        return m_target.MessageBoxA(owner, text, caption, style);
    }
    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override {
        return m_target.CreateFileA(name, access, share, security, disposition, flags, templateFile);
    }
    BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                         LPDWORD returned, LPOVERLAPPED overlapped) override {
        return m_target.DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
    }
    BOOL CloseHandle(HANDLE handle) override { return m_target.CloseHandle(handle); }
    void* AllocBounceBuffer(SIZE_T size) override { return m_target.AllocBounceBuffer(size); }
    void FreeBounceBuffer(void* buffer) override { m_target.FreeBounceBuffer(buffer); }
    std::uintptr_t BeginThread(unsigned(__stdcall* proc)(void*), void* param) override {
        return m_target.BeginThread(proc, param);
    }
    HANDLE CreateEventA(BOOL manualReset, BOOL initialState) override {
        return m_target.CreateEventA(manualReset, initialState);
    }
    void* HeapAllocZero(SIZE_T size) override { return m_target.HeapAllocZero(size); }
    BOOL HeapFree(void* block) override { return m_target.HeapFree(block); }
    HMODULE LoadLibraryA(LPCSTR name) override { return m_target.LoadLibraryA(name); }
    FARPROC GetProcAddress(HMODULE module, LPCSTR name) override {
        return m_target.GetProcAddress(module, name);
    }
    BOOL FreeLibrary(HMODULE module) override { return m_target.FreeLibrary(module); }
    BOOL GetCursorPos(LPPOINT point) override { return m_target.GetCursorPos(point); }
    SHORT GetKeyState(int key) override { return m_target.GetKeyState(key); }
    HWND GetFocus() override { return m_target.GetFocus(); }
    HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                            INT show) override {
        return m_target.ShellExecuteA(owner, verb, file, parameters, directory, show);
    }
#endif

private:
    Platform& m_target;
};

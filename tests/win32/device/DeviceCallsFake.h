// A stand-in for the pass-through device calls: letters in `openable` open
// (handle LetterHandle(letter)), DeviceIoControl goes to `control`, opens,
// calls and closes are recorded, and the bounce buffer can be refused or put
// at a chosen distance from a 2048-byte boundary. Installed into
// g_DeviceCalls for the fake's lifetime; one at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/DeviceCalls.h"

struct DeviceCallsFake {
    struct Call {
        HANDLE h;
        DWORD code, inLength, outLength;
        void *in, *out;
        bool overlappedNull;
    };
    std::string openable;
    std::function<BOOL(const Call&)> control;
    bool failAlloc = false;
    std::size_t misalign = 8;
    std::vector<DWORD> openArgs;  // access, share, disposition, flags, 1 if no SA/template: per open
    std::string opened;           // letters, in order
    std::vector<Call> calls;
    std::vector<HANDLE> closed;
    std::vector<std::vector<std::uint8_t>> blocks;
    std::uint8_t* lastBuffer = nullptr;
    int allocs = 0, frees = 0;

    static HANDLE LetterHandle(char letter) { return reinterpret_cast<HANDLE>(0x1000 + 16 * letter); }
    static char LetterOf(HANDLE h) { return static_cast<char>((reinterpret_cast<std::uintptr_t>(h) - 0x1000) / 16); }

    static inline DeviceCallsFake* s_pFake = nullptr;
    DeviceCallsFake() { s_pFake = this, g_DeviceCalls = {Open, Control, Close, Alloc, Free}; }
    ~DeviceCallsFake() { g_DeviceCalls = kRealDeviceCalls, s_pFake = nullptr; }

    static HANDLE WINAPI Open(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                              DWORD flags, HANDLE hTemplate) {
        const std::string p(path);
        const bool wellFormed = p.size() == 6 && p.compare(0, 4, "\\\\.\\") == 0 && p[5] == ':';
        s_pFake->opened += wellFormed ? p[4] : '?';
        s_pFake->openArgs.insert(s_pFake->openArgs.end(), {access, share, disposition, flags, !sa && !hTemplate});
        return wellFormed && s_pFake->openable.find(p[4]) != std::string::npos ? LetterHandle(p[4]) : INVALID_HANDLE_VALUE;
    }
    static BOOL WINAPI Control(HANDLE h, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength,
                               LPDWORD returned, LPOVERLAPPED overlapped) {
        s_pFake->calls.push_back({h, code, inLength, outLength, in, out, overlapped == nullptr});
        return returned != nullptr && s_pFake->control(s_pFake->calls.back());
    }
    static BOOL WINAPI Close(HANDLE h) { return s_pFake->closed.push_back(h), TRUE; }
    static void* Alloc(SIZE_T size) {
        ++s_pFake->allocs;
        if (s_pFake->failAlloc) return nullptr;
        auto& block = s_pFake->blocks.emplace_back(size + 4096);
        const auto at = (reinterpret_cast<std::uintptr_t>(block.data()) + 2047) & ~std::uintptr_t{2047};
        return s_pFake->lastBuffer = reinterpret_cast<std::uint8_t*>(at + s_pFake->misalign);
    }
    static void Free(void* p) { s_pFake->frees += p == s_pFake->lastBuffer; }
};

// Time from pressing "Upgrade" to the save command, under Wine, for a 1 MB
// ".hex" image and a virtual drive answering at once, on either road:
//   upgrade_bench.exe       the ASPI road: the virtual ASPI layer
//                           (wnaspi32.dll), shown a Windows 98;
//   upgrade_bench.exe nt    the NT road: shown a Windows XP, pass-through on
//                           the letters of a prefix made by nt-prefix.sh,
//                           served by mf-vdrived through libmfsgio.so
//                           (tools/bench/wine/upgrade-bench.sh sets it up).
// The program's own road of one upgrade (job, worker, engine, loader, 256
// chunks through the road's transport, every hook acting on the live
// dialog). Only the sleeps are the bench's: the 91-second wait is recorded,
// not slept. Each run starts a fresh main dialog, as each program run
// flashes once. Prints the median of the runs and its ratio to the target.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/FlashDlg.h"
#include "scsi/AspiDefs.h"
#include "scsi/PassThroughDefs.h"
#include "res/resource.h"

namespace {

constexpr int kRuns = 7;
constexpr double kTargetMs = 100.0;
const char kDriveId[] = "MARROW  CDR-8400 FLASHER";

bool IsSave(const std::uint8_t* cdb) { return cdb[0] == 0x3B && cdb[1] == 0x07; }

class BenchPlatform : public PlatformWrapper {
public:
    explicit BenchPlatform(bool nt) : PlatformWrapper(Platform::Default()), m_nt(nt) {}
    LARGE_INTEGER saveAt{};
    bool saved = false;

    void Sleep(std::uint32_t) override {}
    BOOL GetVersionExA(LPOSVERSIONINFOA info) override {
        // Windows XP takes the pass-through road, Windows 98 the ASPI road.
        info->dwPlatformId = m_nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
        info->dwMajorVersion = m_nt ? 5 : 4;
        info->dwMinorVersion = m_nt ? 1 : 10;
        return TRUE;
    }
    HMODULE LoadLibraryA(LPCSTR name) override {
        return PlatformWrapper::LoadLibraryA(m_nt ? name : MF_WNASPI32_DLL);
    }
    // The pass-through requests, watched for the save command.
    BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                         LPDWORD returned, LPOVERLAPPED overlapped) override {
        if (code == kIoctlScsiPassThroughDirect && in != nullptr && inSize >= sizeof(PassThroughDirect) &&
            IsSave(static_cast<const PassThroughDirect*>(in)->Cdb))
            MarkSave();
        return PlatformWrapper::DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
    }
    int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) override {
        std::fprintf(stderr, "upgrade bench: unexpected box \"%s\" (%s)\n", text, caption);
        return IDOK;
    }
    // The layer's SendASPI32Command, watched for the save command on its
    // way to the drive.
    FARPROC GetProcAddress(HMODULE module, LPCSTR name) override {
        const FARPROC real = PlatformWrapper::GetProcAddress(module, name);
        if (std::strcmp(name, "SendASPI32Command") != 0 || real == nullptr) return real;
        s_send = reinterpret_cast<PFN_SENDASPI32COMMAND>(reinterpret_cast<void*>(real));
        s_bench = this;
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&WatchedSend));
    }

private:
    void MarkSave() {
        ::QueryPerformanceCounter(&saveAt);
        saved = true;
    }
    static std::uint32_t ASPI_CALL WatchedSend(void* request) {
        const auto* srb = static_cast<const SRB_ExecSCSICmd*>(request);
        if (srb->SRB_Cmd == SC_EXEC_SCSI_CMD && IsSave(srb->CDBByte)) s_bench->MarkSave();
        return s_send(request);
    }
    bool m_nt;
    static inline PFN_SENDASPI32COMMAND s_send = nullptr;
    static inline BenchPlatform* s_bench = nullptr;
};

std::string HexRecord(unsigned address, unsigned kind, const unsigned char* data, unsigned n) {
    std::vector<unsigned char> body = {static_cast<unsigned char>(n), static_cast<unsigned char>(address >> 8),
                                       static_cast<unsigned char>(address), static_cast<unsigned char>(kind)};
    body.insert(body.end(), data, data + n);
    unsigned sum = 0;
    std::string line = ":";
    char hex[3];
    for (unsigned char b : body) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
        sum += b;
    }
    std::snprintf(hex, sizeof hex, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + hex + "\n";
}

// 1 MB of data in 16 segments joined by the program's own 55 record. The
// ASPI layer's drive list too; the NT road's list is the drive process's.
void WriteFiles(bool nt) {
    std::vector<unsigned char> image(1u << 20);
    unsigned state = 1;
    for (auto& b : image) b = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 16);
    std::memcpy(&image[4096], kDriveId, 24);
    std::string text;
    for (unsigned at = 0; at < image.size(); at += 32) {
        if (at != 0 && at % 0x10000 == 0) text += ":00000055AB\n";
        text += HexRecord(at & 0xFFFF, 0, &image[at], 32);
    }
    text += ":00000001FF\n";
    std::FILE* fp = std::fopen("fw.hex", "wb");
    std::fwrite(text.data(), 1, text.size(), fp);
    std::fclose(fp);
    fp = std::fopen("IDString.txt", "wb");
    std::fprintf(fp, "\"%s\",\"fw.hex\",\"N\"\n", kDriveId);
    std::fclose(fp);
    if (nt) return;
    fp = std::fopen("vdrives.txt", "wb");
    std::fprintf(fp, "adapter 0 targets=1\ndrive 0 0 \"MARROW\" \"CDR-8400 FLASHER\" \"A054\" notready=0 "
                     "complete=immediate\n");
    std::fclose(fp);
}

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// One program run: start, press Upgrade, time until the save command.
double TimeOneUpgrade(bool nt) {
    BenchPlatform platform(nt);
    CFlashDlg dlg(platform);
    HWND hDlg = dlg.Create(nullptr);
    ::ShowWindow(hDlg, SW_SHOW);
    Pump();
    LARGE_INTEGER start, frequency;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_UPGRADE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_UPGRADE)));
    const DWORD deadline = ::GetTickCount() + 60000;
    while (!::IsWindowEnabled(::GetDlgItem(hDlg, IDCANCEL)) && ::GetTickCount() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        Pump();
    }
    ::DestroyWindow(hDlg);
    if (!platform.saved) return -1.0;
    return 1000.0 * static_cast<double>(platform.saveAt.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    const bool nt = argc > 1 && std::strcmp(argv[1], "nt") == 0;
    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    const std::string dir = std::string(temp) + "mf-upgrade-bench-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(dir.c_str(), nullptr);
    ::SetCurrentDirectoryA(dir.c_str());
    if (!nt) ::SetEnvironmentVariableA("MARROWFIN_VDRIVES", (dir + "\\vdrives.txt").c_str());
    WriteFiles(nt);

    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const double ms = TimeOneUpgrade(nt);
        if (ms < 0) {
            std::fprintf(stderr, "upgrade bench: run %d never reached the save command\n", i + 1);
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("Upgrade pressed to save command, 1 MB .hex, Wine + %s: median %.1f ms "
                "(min %.1f, max %.1f, %d runs); target %.0f ms: %.2f of the target\n",
                nt ? "NT road (pass-through, mf-vdrived)" : "virtual ASPI layer", median, times.front(),
                times.back(), kRuns, kTargetMs, median / kTargetMs);
    return 0;
}

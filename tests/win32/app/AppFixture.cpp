#include "AppFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "scsi/PassThroughDefs.h"
#include "scsi/ScsiTypes.h"
#include "res/resource.h"

std::string WindowText(HWND hWnd) {
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(hWnd)) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    for (const DWORD start = ::GetTickCount(); !done();) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        for (MSG msg; ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageA(&msg);
    }
    return true;
}

void Settle(HWND hDlg) {
    // A marker position posted to the progress bar is applied after all that
    // was posted before it.
    const HWND hProgress = ::GetDlgItem(hDlg, IDC_PROGRESS);
    for (int marker = 40; marker < 43 && ::PostMessageA(hProgress, PBM_SETPOS, marker, 0); ++marker)
        for (const DWORD start = ::GetTickCount(); ::IsWindow(hProgress) && ::GetTickCount() - start < 5000 &&
                                                   ::SendMessageA(hProgress, PBM_GETPOS, 0, 0) != marker;)
            ::Sleep(1);
}

namespace {
BOOL CALLBACK FindShown(HWND h, LPARAM found) {
    auto* f = reinterpret_cast<HWND*>(found);  // in: the window to pass over; out: the one found
    if (h == f[0] || !::IsWindowVisible(h)) return TRUE;
    return f[1] = h, FALSE;
}
}  // namespace

HWND WaitForWindow(DWORD threadId, HWND except) {
    HWND find[2] = {except, nullptr};
    for (int i = 0; i < 500 && find[1] == nullptr; ++i, ::Sleep(10))
        ::EnumThreadWindows(threadId, &FindShown, reinterpret_cast<LPARAM>(find));
    return find[1];
}

INT_PTR RunModal(CDialog& dlg, const std::function<void(HWND)>& script) {
    std::thread driver([&, threadId = ::GetCurrentThreadId()] {
        if (const HWND hWnd = WaitForWindow(threadId)) script(hWnd);
    });
    const INT_PTR result = dlg.DoModal(nullptr);
    driver.join();
    return result;
}

void ExpectTemplate(HWND hDlg, int cx, int cy, const std::vector<TemplateControl>& controls) {
    RECT size = {0, 0, cx, cy}, client;
    ::MapDialogRect(hDlg, &size);
    ::GetClientRect(hDlg, &client);
    EXPECT_EQ(size.right, client.right);
    EXPECT_EQ(size.bottom, client.bottom);
    size_t i = 0;
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT), ++i) {
        ASSERT_LT(i, controls.size());
        const TemplateControl& c = controls[i];
        SCOPED_TRACE("control #" + std::to_string(i));
        EXPECT_EQ(c.id, ::GetDlgCtrlID(h));
        EXPECT_EQ(c.text ? c.text : WindowText(h), WindowText(h));
        RECT want = {c.x, c.y, c.cx, c.cy}, got;  // mapped field by field: place, then size
        ::MapDialogRect(hDlg, &want);
        ::GetWindowRect(h, &got);
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(want.left, got.left);
        EXPECT_EQ(want.top, got.top);
        if (c.sized) {
            EXPECT_EQ(want.right, got.right - got.left);
            EXPECT_EQ(want.bottom, got.bottom - got.top);
        }
        EXPECT_EQ(c.style, static_cast<DWORD>(::GetWindowLongA(h, GWL_STYLE)) & c.style);
        EXPECT_EQ(c.exStyle, static_cast<DWORD>(::GetWindowLongA(h, GWL_EXSTYLE)) & c.exStyle);
    }
    EXPECT_EQ(controls.size(), i);
}

INT_PTR RunMainDialog(Platform& platform, const std::function<void(HWND)>& script) {
    CFlashDlg main(platform);
    return RunModal(main, [&](HWND hWnd) {
        script(hWnd);
        if (::IsWindow(hWnd)) {
            ::EnableWindow(::GetDlgItem(hWnd, IDCANCEL), TRUE);
            ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        }
    });
}

BOOL PassThroughToDrive(vdrive::VirtualDrive& drive, const TestPlatform::Call& call) {
    if (call.code != kIoctlScsiPassThroughDirect) return FALSE;
    auto* record = static_cast<PassThroughRecord*>(call.in);
    PassThroughDirect& spt = record->Spt;
    const vdrive::Result r = drive.Execute(spt.Cdb, spt.CdbLength, spt.DataIn == kScsiIoctlDataIn ? SRB_DIR_IN : SRB_DIR_OUT,
                                           static_cast<std::uint8_t*>(spt.DataBuffer), spt.DataTransferLength);
    if (r.transportFailure) return FALSE;
    spt.ScsiStatus = r.status;
    if (r.status != 0)
        std::memcpy(record->SenseBuf, r.senseData.data(), std::min<size_t>(spt.SenseInfoLength, sizeof r.senseData));
    return TRUE;
}

AppFixture::AppFixture() {
    // Pass-through requests reach the virtual drive behind the letter.
    platform.control = [this](const TestPlatform::Call& call) -> BOOL {
        const auto it = m_drives.find(TestPlatform::LetterOf(call.h));
        return it != m_drives.end() && PassThroughToDrive(*it->second, call);
    };
    char temp[MAX_PATH], old[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    ::GetCurrentDirectoryA(sizeof old, old);
    m_oldDir = old;
    static int serial = 0;
    directory = std::string(temp) + "mf-app-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
    ::CreateDirectoryA(directory.c_str(), nullptr);
    ::SetCurrentDirectoryA(directory.c_str());
}

AppFixture::~AppFixture() {
    if (::IsWindow(hDlg)) ::DestroyWindow(hDlg);
    dlg.reset();
    ::SetCurrentDirectoryA(m_oldDir.c_str());
    for (const std::string& name : m_files) ::DeleteFileA((directory + "\\" + name).c_str());
    ::RemoveDirectoryA(directory.c_str());
}

vdrive::VirtualDrive& AppFixture::AddDrive(char letter, const char* identification24, const char* revision) {
    platform.openable += letter;
    return *(m_drives[letter] = std::make_unique<vdrive::VirtualDrive>(vdrive::DriveConfig::Optical(identification24, revision)));
}

void AppFixture::WriteFile(const std::string& name, const std::string& content) {
    std::FILE* fp = std::fopen((directory + "\\" + name).c_str(), "wb");
    ASSERT_NE(nullptr, fp);
    m_files.push_back(name);
    std::fwrite(content.data(), 1, content.size(), fp);
    std::fclose(fp);
}

void AppFixture::WriteList(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string text;
    for (const auto& [model, file] : rows) text += "\"" + model + "\",\"" + file + "\",\"N\"\n";
    WriteFile("IDString.txt", text);
}

HWND AppFixture::CreateMainDialog() {
    dlg = std::make_unique<CFlashDlg>(platform);
    return hDlg = dlg->Create(nullptr);
}

#include "MachineFixture.h"

#include <cstdio>
#include <cstring>

#include "DialogScript.h"
#include "device/AspiLibrary.h"
#include "device/PassThroughDefs.h"
#include "device/ScsiTypes.h"
#include "res/resource.h"
#include "win/PlatformCalls.h"

std::vector<RecordedBox> MachineFixture::s_boxes;

namespace {

DWORD g_platformId = VER_PLATFORM_WIN32_NT;
DWORD g_major = 5;
std::map<char, std::unique_ptr<vdrive::VirtualDrive>>* g_pDrives = nullptr;

BOOL WINAPI FakeVersion(LPOSVERSIONINFOA info) {
    info->dwPlatformId = g_platformId;
    info->dwMajorVersion = g_major;
    info->dwMinorVersion = 0;
    return TRUE;
}

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    return (MachineFixture::s_boxes.push_back({text, caption, style}), IDOK);
}

// Carries a pass-through request to the virtual drive behind the letter.
BOOL ToVirtualDrive(const DeviceCallsFake::Call& call) {
    auto it = g_pDrives->find(DeviceCallsFake::LetterOf(call.h));
    if (it == g_pDrives->end() || call.code != kIoctlScsiPassThroughDirect) return FALSE;
    auto* record = static_cast<PassThroughRecord*>(call.in);
    PassThroughDirect& spt = record->Spt;
    std::uint8_t dir = spt.DataIn == kScsiIoctlDataIn ? SRB_DIR_IN : SRB_DIR_OUT;
    vdrive::Result r = it->second->Execute(spt.Cdb, spt.CdbLength, dir, static_cast<std::uint8_t*>(spt.DataBuffer),
                                           spt.DataTransferLength);
    if (r.transportFailure) return FALSE;
    spt.ScsiStatus = r.status;
    if (r.status != 0) {
        size_t n = spt.SenseInfoLength < sizeof r.senseData ? spt.SenseInfoLength : sizeof r.senseData;
        std::memcpy(reinterpret_cast<std::uint8_t*>(record) + spt.SenseInfoOffset, r.senseData.data(), n);
    }
    return TRUE;
}

}  // namespace

MachineFixture::MachineFixture() {
    s_boxes.clear();
    g_platformId = VER_PLATFORM_WIN32_NT;
    g_major = 5;
    g_pDrives = &m_drives;
    g_Platform.GetVersionExA = &FakeVersion;
    g_Platform.MessageBoxA = &RecordBox;
    g_pfnAspiMessageBox = &RecordBox;
    m_letters.control = &ToVirtualDrive;

    char temp[MAX_PATH], old[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    ::GetCurrentDirectoryA(sizeof old, old);
    m_oldDir = old;
    static int serial = 0;
    m_dir = std::string(temp) + "mf-app-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
    ::CreateDirectoryA(m_dir.c_str(), nullptr);
    ::SetCurrentDirectoryA(m_dir.c_str());
}

MachineFixture::~MachineFixture() {
    if (::IsWindow(hDlg)) ::DestroyWindow(hDlg);
    dlg.reset();
    ::SetCurrentDirectoryA(m_oldDir.c_str());
    std::string pattern = m_dir + "\\*";
    WIN32_FIND_DATAA found;
    HANDLE hFind = ::FindFirstFileA(pattern.c_str(), &found);
    if (hFind != INVALID_HANDLE_VALUE) {
        do ::DeleteFileA((m_dir + "\\" + found.cFileName).c_str());
        while (::FindNextFileA(hFind, &found));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(m_dir.c_str());
    g_Platform = kRealPlatformCalls;
    g_pfnAspiMessageBox = &::MessageBoxA;
    g_pDrives = nullptr;
}

void MachineFixture::SetVersion(DWORD platformId, DWORD major) {
    g_platformId = platformId;
    g_major = major;
}

vdrive::VirtualDrive& MachineFixture::AddDrive(char letter, const char* identification24, const char* revision) {
    auto drive = std::make_unique<vdrive::VirtualDrive>(vdrive::DriveConfig::Optical(identification24, revision));
    vdrive::VirtualDrive& ref = *drive;
    m_drives[letter] = std::move(drive);
    m_letters.openable += letter;
    return ref;
}

void MachineFixture::WriteFile(const std::string& name, const std::string& content) {
    std::FILE* fp = std::fopen((m_dir + "\\" + name).c_str(), "wb");
    ASSERT_NE(nullptr, fp);
    std::fwrite(content.data(), 1, content.size(), fp);
    std::fclose(fp);
}

HWND MachineFixture::CreateMainDialog() {
    dlg = std::make_unique<CFlashDlg>();
    hDlg = dlg->Create(nullptr);
    return hDlg;
}

std::string MachineFixture::Text(int id) const { return testing_win::WindowText(::GetDlgItem(hDlg, id)); }

std::vector<std::string> MachineFixture::LogLines() const {
    std::vector<std::string> lines;
    std::string log = Text(IDC_LOG);
    if (log.empty()) return lines;
    size_t start = 0;
    for (size_t at; (at = log.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(log.substr(start, at - start));
    lines.push_back(log.substr(start));
    return lines;
}

std::vector<std::string> MachineFixture::ComboItems() const {
    std::vector<std::string> items;
    HWND hCombo = ::GetDlgItem(hDlg, IDC_DRIVE_LIST);
    int count = static_cast<int>(::SendMessageA(hCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[600] = "";
        if (::SendMessageA(hCombo, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
            ::SendMessageA(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

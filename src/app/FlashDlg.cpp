#include "app/FlashDlg.h"

#include <process.h>

#include <cstdio>
#include <cstring>

#include "app/AboutDlg.h"
#include "app/DriveSelection.h"
#include "app/UpgradeChoice.h"
#include "device/DriveDiscovery.h"
#include "res/resource.h"
#include "ui/WarningDlg.h"

std::string CFlashDlg::s_TargetDriveText;
std::string CFlashDlg::s_RevisionText;

const CDialog::MessageEntry<CFlashDlg> CFlashDlg::s_messageTable[6] = {
    {WM_SYSCOMMAND, 0, 0, &CFlashDlg::OnSysCommand},
    {WM_PAINT, 0, 0, &CFlashDlg::OnPaint},
    {WM_QUERYDRAGICON, 0, 0, &CFlashDlg::OnQueryDragIcon},
    {WM_COMMAND, BN_CLICKED, IDC_UPGRADE, &CFlashDlg::OnUpgrade},
    {WM_DESTROY, 0, 0, &CFlashDlg::OnDestroy},
    {WM_COMMAND, CBN_SELENDOK, IDC_DRIVE_LIST, &CFlashDlg::OnDriveSelEndOk},
};

CFlashDlg::CFlashDlg(Platform& platform)
    : CDialog(IDD_MARROWFIN_DIALOG), m_platform(platform), m_device(platform), m_RevisionLabel(platform) {
    std::memset(&m_Job, 0, sizeof m_Job);
    std::memset(&m_Drives, 0, sizeof m_Drives);
    std::memset(&m_Compat, 0, sizeof m_Compat);
    m_hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CFlashDlg::~CFlashDlg() = default;

std::string CFlashDlg::GetTargetDriveText() { return s_TargetDriveText; }

std::string CFlashDlg::GetRevisionText() { return s_RevisionText; }

POINT CFlashDlg::IconPaintOrigin(const RECT& client, int cxIcon, int cyIcon) {
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    return POINT{(width - cxIcon + 1) / 2, (height - cyIcon + 1) / 2};
}

void CFlashDlg::DoDataExchange() {
    BindControl(IDC_LOG, m_LogBox);
    BindControl(IDC_REVISION, m_RevisionLabel);
    BindControl(IDC_DRIVE_LIST, m_DriveList);
    m_ProgressPacer.SubclassWindow(GetDlgItem(IDC_PROGRESS));
}

BOOL CFlashDlg::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return DispatchTable(this, s_messageTable, msg, wParam, lParam, result);
}

BOOL CFlashDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AddAboutMenuEntry();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_HookTarget = CHookTarget{CWindow(m_hWnd), m_LogBox, &m_ProgressPacer};
    ChooseTransport();

    Item(IDC_STATUS).SetWindowText("");
    m_RevisionLabel.SetWindowText("");
    CProgressCtrl(GetDlgItem(IDC_PROGRESS)).SetPos(0);

    if (LoadAspiLibrary()) {
        ListDrives();
    } else {
        Item(IDC_UPGRADE).EnableWindow(FALSE);
        m_RevisionLabel.EnableWindow(FALSE);
    }

    if (!ReadCompatList()) {
        m_platform.MessageBoxA(m_hWnd, "The IDString.txt doesn't exist!!", "Error!!", MB_ICONHAND);
        return FALSE;
    }
    LogCompatList();
    CheckCompatibility();
    return TRUE;
}

void CFlashDlg::ChooseTransport() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    m_platform.GetVersionExA(&info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        m_byTransport = TransportPassThrough;
        m_byLegacyNtScan = info.dwMajorVersion <= 4 ? 1 : 0;
    } else {
        m_byTransport = TransportAspi;
        m_byLegacyNtScan = 0;
    }
}

void CFlashDlg::ListDrives() {
    ::DiscoverDrives(m_device, m_Drives, m_byTransport, m_byLegacyNtScan);
    for (std::uint8_t n = 0; n < m_Drives.nCount; ++n) {
        DriveEntry& entry = *m_Drives.pEntries[n];
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "(%d)", n);
        std::strncat(entry.ModelName, suffix, sizeof entry.ModelName - std::strlen(entry.ModelName) - 1);
        m_DriveList.SetWindowText(entry.ModelName);
        m_RevisionLabel.SetWindowText(entry.Revision);
        m_DriveList.AddString(entry.ModelName);
    }
}

bool CFlashDlg::ReadCompatList() {
    std::memset(&m_Compat, 0, sizeof m_Compat);
    std::FILE* fpCompat = std::fopen("IDString.txt", "r");
    if (fpCompat == nullptr) return false;
    m_nCompatRows = ReadCompatListFile(fpCompat, m_Compat, m_dwShowWarning);
    std::fclose(fpCompat);
    return true;
}

void CFlashDlg::LogCompatList() {
    Log("This firmware can be used on below drives  :");
    for (int row = 0; row < m_nCompatRows; ++row) {
        char line[128];
        std::snprintf(line, sizeof line, "(%d) %s  %s", row + 1, m_Compat.Model[row], m_Compat.FirmwareFile[row]);
        Log(line);
    }
}

void CFlashDlg::CheckCompatibility() {
    m_byModelMatched = 0;
    for (int d = 0; d < m_Drives.nCount; ++d) {
        const DriveEntry& entry = *m_Drives.pEntries[d];
        for (int row = 0; row < m_nCompatRows; ++row) {
            if (!CompatRowMatches(m_Compat, row, entry.ModelName, entry.Revision)) continue;
            m_byModelMatched = 1;
            m_DriveList.SetWindowText(entry.ModelName);
            m_RevisionLabel.SetWindowText(entry.Revision);
        }
    }
    if (!m_byModelMatched) {
        Log("CD-ROM drive model doesn't match!!");
        Item(IDC_UPGRADE).EnableWindow(FALSE);
    }
}

void CFlashDlg::AddAboutMenuEntry() {
    HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu == nullptr) return;
    char text[256] = "";
    ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof text);
    if (text[0] == '\0') return;
    ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, text);
}

bool CFlashDlg::IsCloseAllowed() const { return Item(IDCANCEL).IsWindowEnabled() != FALSE; }

void CFlashDlg::OnOK() {
    // There is no OK button: Enter outside a button raises IDOK, which ends
    // the dialog as the platform does, except during an upgrade.
    if (IsCloseAllowed()) CDialog::OnOK();
}

void CFlashDlg::OnCancel() {
    // "Close", the close box, Escape and Alt+F4 all arrive here.
    if (IsCloseAllowed()) CDialog::OnCancel();
}

LRESULT CFlashDlg::OnSysCommand(WPARAM wParam, LPARAM, BOOL& bHandled) {
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal(m_hWnd);
        return 0;
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CFlashDlg::OnPaint(WPARAM, LPARAM, BOOL& bHandled) {
    if (!::IsIconic(m_hWnd)) {
        bHandled = FALSE;
        return 0;
    }
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    RECT rect;
    ::GetClientRect(m_hWnd, &rect);
    POINT at = IconPaintOrigin(rect, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(hdc, at.x, at.y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CFlashDlg::OnQueryDragIcon(WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(m_hIcon); }

void CFlashDlg::PrepareJob() {
    char text[kDriveTextSize] = "";
    m_DriveList.GetWindowText(text, sizeof text);
    m_Job.Drive.HID = 255;
    m_Job.Drive.TID = 255;
    int index = FindDriveByName(m_Drives, text);
    if (index >= 0) m_Job.Drive = *m_Drives.pEntries[index];
    m_Job.bHexImage = 1;
    m_Job.Hooks = GetHooks();
    m_Job.bUsePassThrough = m_byTransport;
}

LRESULT CFlashDlg::OnUpgrade(WPARAM, LPARAM, BOOL&) {
    // One flash per program run. A press queued behind the first one, a press
    // during the confirmation dialog's own message loop, or a WM_COMMAND sent
    // by another program (which reaches us even while the button is disabled)
    // is refused before it touches "Close", the job or the log: a second
    // worker would interleave its download with the first on the same drive.
    if (m_upgradeState != UpgradeState::Idle) return 0;
    m_upgradeState = UpgradeState::InCommand;
    const CWindow close = Item(IDCANCEL);
    close.EnableWindow(FALSE);
    if (StartUpgrade()) {
        m_upgradeState = UpgradeState::WorkerStarted;
    } else {
        m_upgradeState = UpgradeState::Idle;
        close.EnableWindow(TRUE);
    }
    return 0;
}

bool CFlashDlg::StartUpgrade() {
    PrepareJob();
    if (FindModelRow(m_Compat, m_nCompatRows, m_Job.Drive.ModelName) < 0) {
        Log("Drive model doesn't match!");
        return false;
    }
    s_TargetDriveText = m_DriveList.GetWindowTextString();
    s_RevisionText = m_RevisionLabel.GetWindowTextString();
    std::memset(m_Job.szDriveText, 0, sizeof m_Job.szDriveText);
    std::memset(m_Job.szRevision, 0, sizeof m_Job.szRevision);

    if (m_dwShowWarning != 0) {
        CWarningDlg dlgWarning(GetTargetDriveText(), GetRevisionText(), m_platform);
        if (dlgWarning.DoModal(m_hWnd) != IDOK) return false;
    }

    char directory[MAX_PATH] = "";
    // A directory longer than the buffer is answered with the size it would
    // need and an empty buffer: building the image path from it would name
    // the root of the drive, so it counts as a failure too.
    const DWORD length = m_platform.GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory) {
        m_platform.MessageBoxA(m_hWnd, "Can't retrieves the current directory.", "GetCurrentDirectory Error !!",
                               MB_OK | MB_ICONHAND | MB_SYSTEMMODAL);
        return false;
    }
    m_DriveList.GetWindowText(m_Job.szDriveText, sizeof m_Job.szDriveText);
    m_RevisionLabel.GetWindowText(m_Job.szRevision, sizeof m_Job.szRevision);

    if (FindModelRow(m_Compat, m_nCompatRows, m_Job.szDriveText) >= 0) {
        const char* file = m_Compat.FirmwareFile[FirmwareRowForRevision(m_Job.szRevision)];
        BuildImagePath(m_Job.szImagePath, sizeof m_Job.szImagePath, directory, file);
    }

    if (m_Job.szImagePath[0] != '\0') {
        char* extension = FindExtension(m_Job.szImagePath);
        if (extension != nullptr) ::CharLowerA(extension);
        switch (KindOfExtension(extension)) {
        case ImageKind::Hex: m_Job.bHexImage = 1; break;
        case ImageKind::Bin: m_Job.bHexImage = 0; break;
        case ImageKind::Unknown:
            m_platform.MessageBoxA(m_hWnd, "Input file format mismatched.", "Error!!", MB_OK | MB_ICONHAND);
            return false;
        }
    }
    if (m_Job.Drive.HID == 255 || m_Job.Drive.TID == 255) {
        m_platform.MessageBoxA(m_hWnd, "No Target Drive.", "Error!!", MB_ICONHAND);
        return false;
    }
    if (m_Job.szImagePath[0] == '\0') {
        m_platform.MessageBoxA(m_hWnd, "Update file name is not assigned.", "Error!!", MB_ICONHAND);
        return false;
    }

    // The worker reads the job once, at its start; everything is written by now.
    // "Upgrade" goes grey here, on the dialog's thread, so that no press queued
    // before the worker gets to disable it can reach the button; the worker
    // still disables it too.
    Item(IDC_UPGRADE).EnableWindow(FALSE);
    m_WorkerStart = FlashWorkerStart{&m_Job, &m_device, &CFlashDlg::OnWorkerRunState, this};
    HANDLE hWorker = reinterpret_cast<HANDLE>(m_platform.BeginThread(&FlashWorkerProc, &m_WorkerStart));
    if (hWorker == nullptr) {
        Item(IDC_UPGRADE).EnableWindow(TRUE);  // no run: ready for another press
        return false;
    }
    m_platform.CloseHandle(hWorker);
    return true;
}

void CFlashDlg::OnWorkerRunState(void* pDlg, bool running) {
    const auto& dlg = *static_cast<const CFlashDlg*>(pDlg);
    if (running) {
        dlg.Item(IDC_UPGRADE).EnableWindow(FALSE);
    } else {
        dlg.Item(IDCANCEL).EnableWindow(TRUE);
    }
}

LRESULT CFlashDlg::OnDestroy(WPARAM, LPARAM, BOOL& bHandled) {
    ReleaseLogo();
    ReleaseDeviceAccess();
    ::ReleaseDrives(m_device, m_Drives);
    bHandled = FALSE;  // the platform's own destroy handling follows
    return 0;
}

void CFlashDlg::ReleaseLogo() {
    // The template's logo is a bitmap static that loads its own image, and
    // not every system frees that image with the control: taken out of the
    // control, it is ours to free, so each dialog gives back what it loaded.
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild != nullptr; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        if ((::GetWindowLongA(hChild, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
        const LRESULT hOld = ::SendMessageA(hChild, STM_SETIMAGE, IMAGE_BITMAP, 0);
        if (hOld != 0) ::DeleteObject(reinterpret_cast<HGDIOBJ>(hOld));
    }
}

LRESULT CFlashDlg::OnDriveSelEndOk(WPARAM, LPARAM, BOOL&) {
    ShowSelectedDriveRevision(m_DriveList.GetSafeHwnd(), m_RevisionLabel.GetSafeHwnd(), m_Drives);
    return 0;
}

BOOL CFlashDlg::LoadAspiLibrary() { return m_device.LoadAspiLibrary(m_hWnd, m_byTransport); }

BOOL CFlashDlg::ReleaseDeviceAccess() { return m_device.ReleaseDeviceAccess(); }

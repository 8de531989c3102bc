#include "app/FlashDlg.h"

#include <cstring>

#include "app/AboutDlg.h"
#include "app/Hooks.h"
#include "res/resource.h"

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

CFlashDlg::CFlashDlg() : CDialog(IDD_MARROWFIN_DIALOG) {
    std::memset(&m_Job, 0, sizeof m_Job);
    std::memset(&m_Drives, 0, sizeof m_Drives);
    std::memset(&m_Compat, 0, sizeof m_Compat);
    m_hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CFlashDlg::~CFlashDlg() {
    if (g_pMainDlg == this) g_pMainDlg = nullptr;
}

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
}

BOOL CFlashDlg::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return DispatchTable(this, s_messageTable, msg, wParam, lParam, result);
}

BOOL CFlashDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AddAboutMenuEntry();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    g_pMainDlg = this;

    ::SetWindowTextA(GetDlgItem(IDC_STATUS), "");
    m_RevisionLabel.SetWindowText("");
    ::SendMessageA(GetDlgItem(IDC_PROGRESS), PBM_SETPOS, 0, 0);
    return TRUE;
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

bool CFlashDlg::IsCloseAllowed() const { return ::IsWindowEnabled(GetDlgItem(IDCANCEL)) != FALSE; }

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

LRESULT CFlashDlg::OnUpgrade(WPARAM, LPARAM, BOOL&) {
    // The upgrade command is wired in with the flashing engine.
    return 0;
}

LRESULT CFlashDlg::OnDestroy(WPARAM, LPARAM, BOOL& bHandled) {
    ReleaseDeviceAccess();
    bHandled = FALSE;  // the platform's own destroy handling follows
    return 0;
}

LRESULT CFlashDlg::OnDriveSelEndOk(WPARAM, LPARAM, BOOL&) { return 0; }

BOOL CFlashDlg::ReleaseDeviceAccess() {
    if (m_hAspi != nullptr) {
        ::FreeLibrary(m_hAspi);
        m_hAspi = nullptr;
    }
    return TRUE;
}

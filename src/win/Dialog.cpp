#include "win/Dialog.h"

#include "win/SubclassedWindow.h"
#include "win/SystemLibraries.h"

CDialog::CDialog(UINT idTemplate) : m_idTemplate(idTemplate) {}

CDialog::~CDialog() {
    if (!m_bModal && m_hWnd != nullptr && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal(HWND hParent) {
    // A template may hold common controls (the progress bar): their classes
    // must exist before the dialog is built.
    CSystemLibraries::CommonControls();
    m_bModal = true;
    m_nResult = -1;
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_idTemplate), hParent,
                             &DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND CDialog::Create(HWND hParent) {
    CSystemLibraries::CommonControls();
    m_bModal = false;
    m_nResult = -1;
    return ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_idTemplate), hParent,
                                &DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) {
    m_nResult = result;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ::DestroyWindow(m_hWnd);
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::ProcessMessage(UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }

void CDialog::BindControl(int id, CWindow& control) const { control.Attach(::GetDlgItem(m_hWnd, id)); }

void CDialog::BindControl(int id, CSubclassedWindow& control) const {
    control.SubclassWindow(::GetDlgItem(m_hWnd, id));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    INT_PTR answer = self->HandleMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return answer;
}

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ProcessMessage(msg, wParam, lParam, result)) {
        switch (msg) {
        // These answer straight from the dialog procedure.
        case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM:
        case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) { OnOK(); return TRUE; }
            if (LOWORD(wParam) == IDCANCEL) { OnCancel(); return TRUE; }
        }
        return FALSE;
    case WM_CTLCOLORSTATIC: {
        // Reflect the colour request to a control object that took the static over.
        HWND hControl = reinterpret_cast<HWND>(lParam);
        if (CSubclassedWindow::FromHandle(hControl) != nullptr) {
            LRESULT brush = ::SendMessageA(hControl, OCM_CTLCOLORSTATIC, wParam, lParam);
            if (brush != 0) return static_cast<INT_PTR>(brush);
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

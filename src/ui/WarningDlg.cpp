#include "ui/WarningDlg.h"

#include "app/FlashDlg.h"
#include "res/resource.h"

const char CWarningDlg::kGreeting[] = "Dear customer,\n \nThank you for choosing this product!";
const char CWarningDlg::kWarnings[] =
    "1. We advise you to close any other programs that may be running on your system before "
    "starting this upgrade program.\n"
    "2. Please do not upgrade firmware unless you have been specifically instructed to do so!\n"
    "3. Failed firmware updates may render your drive inoperable.\n"
    "4. Marrowfin tools are exclusive to the single firmware which is not compatible with\n"
    "    miltiple F/W versions.\n"
    "5. Do not use this program in any other way than intended.";
const char CWarningDlg::kQuestion[] = "Are you ready to update your firmware ?";

CWarningDlg::CWarningDlg() : CDialog(IDD_WARNING) {}

BOOL CWarningDlg::OnInitDialog() {
    m_strDriveText = CFlashDlg::GetTargetDriveText();
    m_strRevisionText = CFlashDlg::GetRevisionText();
    ::SetWindowTextA(GetDlgItem(IDC_WARN_DRIVE), m_strDriveText.c_str());
    ::SetWindowTextA(GetDlgItem(IDC_WARN_REVISION), m_strRevisionText.c_str());
    CDialog::OnInitDialog();

    ::SetWindowTextA(GetDlgItem(IDC_WARN_VERSION_OF), "The current version of your");
    ::SetWindowTextA(GetDlgItem(IDC_WARN_FIRMWARE_IS), "firmware is");
    ::SetWindowTextA(GetDlgItem(IDC_WARN_GREETING), kGreeting);
    ::SetWindowTextA(GetDlgItem(IDC_WARN_TEXT), kWarnings);
    ::SetWindowTextA(GetDlgItem(IDC_WARN_QUESTION), kQuestion);
    return TRUE;  // the focus goes to the first control, OK
}

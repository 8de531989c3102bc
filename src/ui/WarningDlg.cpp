#include "ui/WarningDlg.h"

#include <utility>

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

CWarningDlg::CWarningDlg(std::string driveText, std::string revisionText, Platform& platform)
    : CDialog(IDD_WARNING),
      m_Question(platform),
      m_Warnings(platform),
      m_Revision(platform),
      m_Greeting(platform),
      m_SunkenBox(platform),
      m_FirmwareIs(platform),
      m_VersionOf(platform),
      m_Drive(platform),
      m_strDriveText(std::move(driveText)),
      m_strRevisionText(std::move(revisionText)) {}

void CWarningDlg::DoDataExchange() {
    BindControl(IDC_WARN_QUESTION, m_Question);
    BindControl(IDC_WARN_TEXT, m_Warnings);
    BindControl(IDC_WARN_REVISION, m_Revision);
    BindControl(IDC_WARN_GREETING, m_Greeting);
    BindControl(IDC_WARN_SUNKEN, m_SunkenBox);
    BindControl(IDC_WARN_FIRMWARE_IS, m_FirmwareIs);
    BindControl(IDC_WARN_VERSION_OF, m_VersionOf);
    BindControl(IDC_WARN_DRIVE, m_Drive);
}

BOOL CWarningDlg::OnInitDialog() {
    // The placeholders of the template take the texts before the labels are
    // bound: each label takes over its control's text when it is bound.
    Item(IDC_WARN_DRIVE).SetWindowText(m_strDriveText.c_str());
    Item(IDC_WARN_REVISION).SetWindowText(m_strRevisionText.c_str());
    CDialog::OnInitDialog();

    constexpr COLORREF kBlue = RGB(0, 0, 255);
    const char kFace[] = "Times New Roman";
    m_VersionOf.SetText("The current version of your").SetFontHeight(16).SetFaceName(kFace);
    m_FirmwareIs.SetText("firmware is").SetFontHeight(16).SetFaceName(kFace);
    m_Greeting.SetText(kGreeting).SetFontHeight(16).SetFaceName(kFace);
    m_Drive.SetText(m_strDriveText.c_str()).SetFontHeight(12).SetFaceName(kFace).SetForeColor(kBlue).SetBold(TRUE);
    m_Revision.SetText(m_strRevisionText.c_str()).SetFontHeight(12).SetFaceName(kFace).SetForeColor(kBlue).SetBold(TRUE);
    m_Warnings.SetText(kWarnings).SetFontHeight(16).SetFaceName(kFace);
    m_Question.SetText(kQuestion).SetFontHeight(16).SetFaceName(kFace);
    // The sunken box keeps the label's default look and its empty text.
    return TRUE;  // the focus goes to the first control, OK
}

// CWarningDlg: the confirmation dialog (template 131) shown before a flash
// when the compatibility list asks for it. It greets the user, names the
// drive and its revision as the main dialog showed them when "Upgrade" was
// pressed, lists the warnings and asks whether to go on: OK goes on, Cancel,
// Escape or the close box stop the upgrade.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "ui/controls/LabelCtrl.h"
#include "win/Dialog.h"

class CWarningDlg : public CDialog {
public:
    // The drive and revision as the main dialog showed them at the press.
    CWarningDlg(std::string driveText, std::string revisionText, Platform& platform = Platform::Default());

    static const char kGreeting[];
    static const char kWarnings[];
    static const char kQuestion[];

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;

private:
    // The eight labels, in the order they are bound.
    CLabelCtrl m_Question, m_Warnings, m_Revision, m_Greeting, m_SunkenBox, m_FirmwareIs, m_VersionOf, m_Drive;
    std::string m_strDriveText;
    std::string m_strRevisionText;
};

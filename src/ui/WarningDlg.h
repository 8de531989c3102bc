// CWarningDlg: the confirmation dialog (template 131) shown before a flash
// when the compatibility list asks for it. It greets the user, names the
// drive and its revision as the main dialog showed them when "Upgrade" was
// pressed, lists the warnings and asks whether to go on: OK goes on, Cancel,
// Escape or the close box stop the upgrade.
#pragma once

#include <string>

#include "win/Dialog.h"

class CWarningDlg : public CDialog {
public:
    CWarningDlg();

    static const char kGreeting[];
    static const char kWarnings[];
    static const char kQuestion[];

protected:
    BOOL OnInitDialog() override;

private:
    std::string m_strDriveText;
    std::string m_strRevisionText;
};

// CAboutDlg: the About box (template 100), opened from the main dialog's
// system menu. Its OK button ends it; it does nothing else.
#pragma once

#include "win/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};

// Thin wrappers of the standard controls the dialogs and hooks use. Each
// method is a single message to the control (CWindow::SendMessage asserts
// that it exists).
#pragma once

#include "win/Window.h"

#include <commctrl.h>

class CEdit : public CWindow {
public:
    using CWindow::CWindow;
    int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
    void LineScroll(int lines, int chars = 0) const { SendMessage(EM_LINESCROLL, chars, lines); }
};

class CComboBox : public CWindow {
public:
    using CWindow::CWindow;
    int AddString(const char* text) const {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int GetLBTextLen(int index) const { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, index)); }
    int GetLBText(int index, char* buffer) const {
        return static_cast<int>(SendMessage(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer)));
    }
};

class CProgressCtrl : public CWindow {
public:
    using CWindow::CWindow;
    int SetPos(int pos) const { return static_cast<int>(SendMessage(PBM_SETPOS, pos, 0)); }
};

// How the label looks: its paint handler and its answer to the colour query
// the dialog reflects to it in system-drawn mode. Plain horizontal text over
// a background bitmap is drawn straight into the paint context; everything
// else is laid out and turned by CRotatedText. Every object selected into a
// context here is put back before the handler returns.
#include "ui/controls/LabelCtrl.h"

#include <mbstring.h>

#include "ui/controls/RotatedText.h"

void CLabelCtrl::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    if (hdc == nullptr) return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    Paint(hdc, client);
    ::EndPaint(m_hWnd, &ps);
}

void CLabelCtrl::Paint(HDC hdc, const RECT& client) {
    std::string text = m_bVertical ? VerticalForm(m_strText) : m_strText;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(text.data());
    if (m_bLowerCase) _mbslwr(bytes);
    if (m_bUpperCase) _mbsupr(bytes);
    const int cw = client.right - client.left, ch = client.bottom - client.top;

    // The later test wins: right over centre, bottom over centre.
    int horz = 0, vert = 0;
    if (m_nAlign & LA_CENTER) horz = 1;
    if (m_nAlign & LA_RIGHT) horz = 2;
    if (m_nAlign & LA_VCENTER) vert = 1;
    if (m_nAlign & LA_BOTTOM) vert = 2;

    HGDIOBJ hOldFont = m_font != nullptr ? ::SelectObject(hdc, m_font) : nullptr;
    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);

    CRotatedText rotated(hdc, text, horz, vert, m_platform);
    rotated.SetTextColor(m_crFore);
    rotated.SetEmbossed(m_hWnd != nullptr && (::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_DISABLED) != 0);
    rotated.SetEtched(m_bEtched);
    const COLORREF sysBack = ::GetSysColor(COLOR_BTNFACE);
    rotated.SetTextBackColor(!m_bTextBackFollows ? m_crTextBack : m_bSysBack ? sysBack : m_crBack);

    COLORREF back = m_bSysBack ? sysBack : m_crBack;
    if (m_bBlinkBack && m_bBackAlt) {
        // The alternate phase: a darker system grey, or the system face
        // instead of a colour of the label's own.
        back = m_bSysBack ? m_crBack >> 1 : sysBack;
        rotated.SetTextBackColor(back);
    }
    if (HBRUSH hBrush = ::CreateSolidBrush(back)) {
        ::FillRect(hdc, &client, hBrush);
        ::DeleteObject(hBrush);
    }

    if (m_hBitmap != nullptr) DrawBitmap(hdc, cw, ch);

    const bool plain = m_hBitmap != nullptr && m_nAngle == 0 &&
                       (text.find('\n') == std::string::npos || (m_nAlign & LA_TOP) != 0);
    if (plain)
        DrawPlainText(hdc, text, client);
    else if (rotated.Render(m_nAngle))
        rotated.Draw(client);

    ::SetBkMode(hdc, oldMode);
    if (hOldFont != nullptr) ::SelectObject(hdc, hOldFont);
}

void CLabelCtrl::DrawBitmap(HDC hdc, int cw, int ch) const {
    BITMAP bm;
    if (::GetObjectA(m_hBitmap, sizeof bm, &bm) == 0) return;
    HDC hMem = ::CreateCompatibleDC(hdc);
    if (hMem == nullptr) return;
    HGDIOBJ hOld = ::SelectObject(hMem, m_hBitmap);
    if (m_bStretchBitmap) {
        ::StretchBlt(hdc, 0, 0, cw, ch, hMem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    } else {
        // Centred; a bitmap larger than the client starts inside it at half
        // the overhang from its own origin.
        int x = (cw - bm.bmWidth) / 2, y = (ch - bm.bmHeight) / 2, w = cw, h = ch;
        if (x < 0) {
            x = -x / 2;
            w = cw - x;
        }
        if (y < 0) {
            y = -y / 2;
            h = ch - y;
        }
        ::BitBlt(hdc, x, y, w, h, hMem, 0, 0, SRCCOPY);
    }
    ::SelectObject(hMem, hOld);
    ::DeleteDC(hMem);
}

void CLabelCtrl::DrawPlainText(HDC hdc, const std::string& text, const RECT& client) const {
    const COLORREF oldColor = ::SetTextColor(hdc, m_bSysFore ? ::GetSysColor(COLOR_WINDOWTEXT) : m_crFore);
    UINT format = DT_LEFT;
    if (m_nAlign & LA_CENTER) format |= DT_CENTER;
    if (m_nAlign & LA_RIGHT) format |= DT_RIGHT;
    if (m_nAlign & LA_VCENTER) format |= DT_VCENTER | DT_SINGLELINE;
    RECT rc = client;
    if (m_nAlign & LA_BOTTOM) {
        // All lines together end at the bottom.
        RECT measured = client;
        ::DrawTextA(hdc, text.c_str(), -1, &measured, format | DT_CALCRECT);
        rc.top += (client.bottom - client.top) - (measured.bottom - measured.top);
    }
    ::DrawTextA(hdc, text.c_str(), -1, &rc, format);
    ::SetTextColor(hdc, oldColor);
}

LRESULT CLabelCtrl::OnCtlColor(HDC hdc) {
    if (!m_bSystemDrawn) return 0;  // the parent's own answer applies
    // Only statics are reflected here; the font stays selected for the
    // static's own painting of the text.
    if (m_font != nullptr) ::SelectObject(hdc, m_font);
    ::SetTextColor(hdc, m_bSysFore ? ::GetSysColor(COLOR_WINDOWTEXT) : m_crFore);
    ::SetBkMode(hdc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(m_brBack);
}

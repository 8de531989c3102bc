// The label's state, its attachment to a static, its operations and its one
// message dispatcher. Painting is in LabelPaint.cpp, the mouse, timers and
// enabling in LabelInteraction.cpp.
#include "ui/controls/LabelCtrl.h"

#include <algorithm>
#include <cstring>

namespace {

// The one vertical (horizontal) bit of an alignment, by priority.
UINT VertBit(UINT align) {
    if (align & LA_TOP) return LA_TOP;
    if (align & LA_VCENTER) return LA_VCENTER;
    return align & LA_BOTTOM;
}
UINT HorzBit(UINT align) {
    if (align & LA_LEFT) return LA_LEFT;
    if (align & LA_CENTER) return LA_CENTER;
    return align & LA_RIGHT;
}

}  // namespace

std::string CLabelCtrl::VerticalForm(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 0) out += '\n';
        out += text[i];
    }
    return out;
}

CLabelCtrl::CLabelCtrl(Platform& platform)
    : m_crBack(::GetSysColor(COLOR_BTNFACE)),
      m_crTextBack(::GetSysColor(COLOR_BTNFACE)),
      m_crFore(::GetSysColor(COLOR_WINDOWTEXT)),
      m_crHover(::GetSysColor(COLOR_HIGHLIGHT)),
      m_crSaved(::GetSysColor(COLOR_WINDOWTEXT)),
      m_brBack(::CreateSolidBrush(m_crBack)),
      m_lf(),
      m_tip(platform),
      m_platform(platform) {
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof m_lf, &m_lf);
    m_font = ::CreateFontIndirectA(&m_lf);
}

CLabelCtrl::~CLabelCtrl() {
    if (m_hBitmap != nullptr) ::DeleteObject(m_hBitmap);
    if (m_font != nullptr) ::DeleteObject(m_font);
    if (m_brBack != nullptr) ::DeleteObject(m_brBack);
    // m_tip hides and destroys its popup itself; the timers end with the window.
}

void CLabelCtrl::OnSubclassed() {
    CSubclassedWindow::OnSubclassed();
    // The static reports mouse messages only with SS_NOTIFY.
    ModifyStyle(0, SS_NOTIFY);
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    if (style & SS_CENTER) m_nAlign = VertBit(m_nAlign) | LA_CENTER;
    if (style & SS_RIGHT) m_nAlign = VertBit(m_nAlign) | LA_RIGHT;
    if (style & SS_CENTERIMAGE) m_nAlign = HorzBit(m_nAlign) | LA_VCENTER;

    // The template's text becomes the logical text.
    m_bOwnTextChange = TRUE;
    const int length = ::GetWindowTextLengthA(m_hWnd);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    const int got = ::GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()));
    m_bOwnTextChange = FALSE;
    text.resize(static_cast<std::size_t>(std::clamp(got, 0, length)));
    m_strText = text;
}

// --- Helpers -------------------------------------------------------------------

void CLabelCtrl::SetOwnWindowText(const std::string& text) {
    if (m_hWnd == nullptr) return;
    m_bOwnTextChange = TRUE;
    ::SetWindowTextA(m_hWnd, text.c_str());
    m_bOwnTextChange = FALSE;
}

BOOL CLabelCtrl::RepaintNow() const {
    // Before the label is bound there is nothing to paint (and a null window
    // would mean the whole desktop).
    if (m_hWnd == nullptr) return FALSE;
    return ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CLabelCtrl::RebuildFont() {
    if (m_font != nullptr) ::DeleteObject(m_font);
    m_font = ::CreateFontIndirectA(&m_lf);
    RepaintNow();
}

void CLabelCtrl::ReplaceBackBrush() {
    if (m_brBack != nullptr) ::DeleteObject(m_brBack);
    m_brBack = ::CreateSolidBrush(m_crBack);
}

void CLabelCtrl::ModifyStyle(DWORD remove, DWORD add) const {
    if (m_hWnd == nullptr) return;
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>((style & ~remove) | add));
}

// --- Operations ----------------------------------------------------------------

CLabelCtrl& CLabelCtrl::SetText(const char* text) {
    m_strText = text != nullptr ? text : "";
    SetOwnWindowText(m_bVertical ? VerticalForm(m_strText) : m_strText);
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetBackColor(COLORREF color) {
    m_bSysBack = FALSE;
    m_crBack = color;
    ReplaceBackBrush();
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetDefaultBackColor() {
    m_bSysBack = TRUE;
    m_crBack = ::GetSysColor(COLOR_BTNFACE);
    ReplaceBackBrush();
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetTextBackColor(COLORREF color) {
    m_bTextBackFollows = FALSE;
    m_crTextBack = color;
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetDefaultTextBackColor() {
    m_bTextBackFollows = TRUE;
    m_crTextBack = ::GetSysColor(COLOR_BTNFACE);
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetForeColor(COLORREF color) {
    m_bSysFore = FALSE;
    m_crFore = color;
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetDefaultForeColor() {
    m_bSysFore = TRUE;
    m_crFore = ::GetSysColor(COLOR_WINDOWTEXT);
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetHoverColor(COLORREF color) {
    m_crHover = color;
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetBold(BOOL bold) {
    m_lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    RebuildFont();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetItalic(BOOL italic) {
    m_lf.lfItalic = static_cast<BYTE>(italic);
    RebuildFont();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetUnderline(BOOL underline) {
    m_lf.lfUnderline = static_cast<BYTE>(underline);
    RebuildFont();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetFontHeight(LONG height) {
    m_lf.lfHeight = height;
    RebuildFont();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetFaceName(const char* name) {
    // The face name holds 31 characters and the terminator; a longer name
    // is not stored, and the font keeps the face it has.
    const char* from = name != nullptr ? name : "";
    const std::size_t n = strnlen(from, LF_FACESIZE);
    if (n == LF_FACESIZE) return *this;
    std::memcpy(m_lf.lfFaceName, from, n + 1);
    RebuildFont();
    return *this;
}

BOOL CLabelCtrl::SetSystemDrawn(BOOL systemDrawn) {
    m_bSystemDrawn = systemDrawn;
    return RepaintNow();
}

CLabelCtrl& CLabelCtrl::SetAlignment(UINT flags) {
    // The last applicable step wins: left beats centre beats right.
    DWORD remove = 0, add = 0;
    if (flags & LA_RIGHT) {
        m_nAlign = LA_RIGHT;
        remove = SS_CENTER;
        add = SS_RIGHT;
    }
    if (flags & LA_CENTER) {
        m_nAlign = LA_CENTER;
        remove = SS_RIGHT;
        add = SS_CENTER;
    }
    if (flags & LA_LEFT) {
        m_nAlign = LA_LEFT;
        remove = SS_CENTER | SS_RIGHT;
        add = 0;
    }
    ModifyStyle(remove, add);
    if (flags & LA_BOTTOM)
        m_nAlign |= LA_BOTTOM;
    else if (flags & LA_VCENTER)
        m_nAlign |= LA_VCENTER;
    else if (flags & LA_TOP)
        m_nAlign |= LA_TOP;
    RepaintNow();
    return *this;
}

int CLabelCtrl::GetHorzAlign() const {
    if (m_nAlign & LA_LEFT) return 0;
    if (m_nAlign & LA_CENTER) return 1;
    return (m_nAlign & LA_RIGHT) ? 2 : 0;
}

int CLabelCtrl::GetVertAlign() const {
    if (m_nAlign & LA_TOP) return 0;
    if (m_nAlign & LA_VCENTER) return 1;
    return (m_nAlign & LA_BOTTOM) ? 2 : 0;
}

CLabelCtrl& CLabelCtrl::SetRotation(int degrees) {
    m_nAngle = degrees;
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetBitmap(int id) {
    if (m_hBitmap != nullptr) ::DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    if (id != -1)
        m_hBitmap = ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(LOWORD(id)));
    if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return *this;
}

CLabelCtrl& CLabelCtrl::SetStretchBitmap(BOOL stretch) {
    m_bStretchBitmap = stretch;
    if (m_hBitmap != nullptr) RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetBorder(BOOL border) {
    ModifyStyle(border ? 0 : WS_BORDER, border ? WS_BORDER : 0);
    if (m_hWnd != nullptr)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RepaintNow();
    return *this;
}

BOOL CLabelCtrl::HasBorder() const {
    return m_hWnd != nullptr && (::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_BORDER) != 0;
}

CLabelCtrl& CLabelCtrl::SetSunken(BOOL sunken) {
    if (m_hWnd != nullptr) {
        const DWORD ex = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE));
        ::SetWindowLongA(m_hWnd, GWL_EXSTYLE,
                         static_cast<LONG>(sunken ? ex | WS_EX_STATICEDGE : ex & ~WS_EX_STATICEDGE));
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetDisabledLook(BOOL disabled) {
    ModifyStyle(disabled ? 0 : WS_DISABLED, disabled ? WS_DISABLED : 0);
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetLowerCase(BOOL lower) {
    m_bLowerCase = lower;
    m_bUpperCase = FALSE;
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetUpperCase(BOOL upper) {
    m_bUpperCase = upper;
    m_bLowerCase = FALSE;
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetVertical(BOOL vertical) {
    // The window text matters only in system-drawn mode; painting derives
    // the vertical form from the logical text itself.
    if (vertical && !m_bVertical)
        SetOwnWindowText(VerticalForm(m_strText));
    else if (m_bVertical)
        SetOwnWindowText(m_strText);
    m_bVertical = vertical;
    RepaintNow();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetEtchedLines(BOOL etched) {
    m_bEtched = etched;
    RepaintNow();
    return *this;
}

// --- The dispatcher ------------------------------------------------------------

LRESULT CLabelCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Seen before anything else; all but a foreign WM_GETTEXT go on to the
    // normal processing below.
    switch (msg) {
    case WM_MOUSEHOVER:
        OnMouseHover();
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    case WM_SETTEXT:
        if (!m_bOwnTextChange) m_strText = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        break;
    case WM_GETTEXT:
        if (!m_bOwnTextChange) {
            // Readers get the logical text, cut to their buffer. A buffer of
            // size 0 (or none) receives nothing, not even the terminator.
            char* buffer = reinterpret_cast<char*>(lParam);
            if (buffer == nullptr || wParam == 0) return 0;
            const std::size_t n = std::min<std::size_t>(m_strText.size(), wParam - 1);
            std::memcpy(buffer, m_strText.data(), n);
            buffer[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        break;
    case WM_GETTEXTLENGTH:
        // The length readers size their buffer by is that of the same text.
        if (!m_bOwnTextChange) return static_cast<LRESULT>(m_strText.size());
        break;
    default:
        break;
    }

    switch (msg) {
    case WM_ENABLE:
        return OnEnable(wParam, lParam);
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        break;
    case WM_MOUSEMOVE:
        OnMouseMove();
        break;
    case WM_PAINT:
        if (m_bSystemDrawn) break;  // the standard static paints itself
        OnPaint();
        return 0;
    case WM_SETCURSOR:
        if (m_hCursor == nullptr) break;  // the class cursor
        ::SetCursor(m_hCursor);
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case OCM_CTLCOLORSTATIC:
        return OnCtlColor(reinterpret_cast<HDC>(wParam));
    default:  // WM_ERASEBKGND included: the static erases as it always does
        break;
    }
    return DefWindowProc(msg, wParam, lParam);
}

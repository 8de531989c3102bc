// The label's reactive side: hover highlight, open-on-click, the two
// blinking timers and the repaint after enabling. All of it arrives as
// messages on the dialog's thread.
#include "ui/controls/LabelCtrl.h"

#include "win/SystemLibraries.h"

namespace {
constexpr UINT_PTR kTextTimer = 1;
constexpr UINT_PTR kBackTimer = 2;
constexpr DWORD kHoverMs = 50;
}  // namespace

// --- Mouse and tooltip settings ---------------------------------------------

CLabelCtrl& CLabelCtrl::SetOpenOnClick(BOOL open) {
    m_bOpenOnClick = open;
    return *this;
}

CLabelCtrl& CLabelCtrl::SetHoverCursor(HCURSOR cursor) {
    m_hCursor = cursor;
    return *this;
}

CLabelCtrl& CLabelCtrl::LoadHoverCursor(int id) {
    m_hCursor = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(LOWORD(id)));
    return *this;
}

CLabelCtrl& CLabelCtrl::SetHoverHighlight(BOOL highlight) {
    m_bHoverHighlight = highlight;
    if (!highlight) SetForeColor(m_crSaved);
    return *this;
}

CLabelCtrl& CLabelCtrl::SetHighlightNeedsTip(BOOL needsTip) {
    m_bHighlightNeedsTip = needsTip;
    return *this;
}

CLabelCtrl& CLabelCtrl::EnableTip(BOOL enable) {
    m_bTipEnabled = enable;
    if (enable)
        m_tip.Create(m_hWnd);
    else
        m_tip.Destroy();
    return *this;
}

CLabelCtrl& CLabelCtrl::SetTipText(const char* text) {
    m_tip.SetText(text);
    return *this;
}

CLabelCtrl& CLabelCtrl::SetTipPlacement(int placement) {
    m_tip.SetPlacement(placement);
    return *this;
}

CLabelCtrl& CLabelCtrl::SetTipNeedsButton(BOOL needs) {
    m_tip.SetNeedsButton(needs);
    return *this;
}

CLabelCtrl& CLabelCtrl::SetTipLeftButton(BOOL left) {
    m_tip.SetLeftButton(left);
    return *this;
}

// --- Messages ---------------------------------------------------------------

void CLabelCtrl::OnMouseMove() {
    if (m_bTracking) return;  // one request per tracking period
    m_bTracking = TRUE;
    TRACKMOUSEEVENT tme = {sizeof tme, TME_HOVER | TME_LEAVE, m_hWnd, kHoverMs};
    CSystemLibraries::TrackMouseEvent(&tme);  // comctl32's _TrackMouseEvent
}

void CLabelCtrl::OnMouseHover() {
    if (!m_bHoverHighlight) return;
    m_crSaved = m_crFore;
    if (!m_bHighlightNeedsTip || (m_bTipEnabled && !m_tip.GetText().empty())) SetForeColor(m_crHover);
}

void CLabelCtrl::OnMouseLeave() {
    m_bTracking = FALSE;
    if (m_bHoverHighlight) SetForeColor(m_crSaved);
}

void CLabelCtrl::OnLButtonDown() {
    // The shell decides what the text names (document, folder, program or
    // address); its answer is of no interest.
    if (m_bOpenOnClick) m_platform.ShellExecuteA(nullptr, "open", m_strText.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Starts a blink timer, or, when blinking is off, has the label repaint once
// as it is. Without a window a timer would belong to the thread and never end.
void CLabelCtrl::StartBlinkTimer(UINT_PTR id, BOOL on, UINT periodMs) {
    if (m_hWnd == nullptr) return;
    if (on)
        ::SetTimer(m_hWnd, id, periodMs, nullptr);
    else
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

CLabelCtrl& CLabelCtrl::BlinkText(BOOL on, UINT periodMs) {
    if (m_bBlinkText) {
        // Stopping (or restarting) shows the text at once.
        SetOwnWindowText(m_strText);
        ::KillTimer(m_hWnd, kTextTimer);
    }
    StartBlinkTimer(kTextTimer, on, periodMs);
    m_bBlinkText = on;
    return *this;
}

CLabelCtrl& CLabelCtrl::BlinkBack(BOOL on, UINT periodMs) {
    if (m_bBlinkBack) ::KillTimer(m_hWnd, kBackTimer);
    StartBlinkTimer(kBackTimer, on, periodMs);
    m_bBlinkBack = on;
    return *this;
}

void CLabelCtrl::OnTimer(WPARAM id) {
    if (id == kTextTimer && m_bBlinkText) {
        // Only the window text blinks, which the standard static paints in
        // system-drawn mode; the logical text never changes.
        m_bTextHidden = !m_bTextHidden;
        SetOwnWindowText(m_bTextHidden ? std::string() : m_strText);
        if (!m_bTextHidden) ::InvalidateRect(m_hWnd, nullptr, FALSE);
        if (!m_bSysBack && ::GetSysColor(COLOR_BTNFACE) != m_crBack) ::InvalidateRect(m_hWnd, nullptr, FALSE);
    } else if (id == kBackTimer && m_bBlinkBack) {
        m_bBackAlt = !m_bBackAlt;
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
}

LRESULT CLabelCtrl::OnEnable(WPARAM wParam, LPARAM lParam) {
    // The static would repaint in between; the label repaints once, after.
    ::SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
    const LRESULT result = DefWindowProc(WM_ENABLE, wParam, lParam);
    ::SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return result;
}

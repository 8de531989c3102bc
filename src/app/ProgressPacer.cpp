#include "app/ProgressPacer.h"

#include <commctrl.h>

LRESULT CProgressPacer::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == PBM_SETPOS) {
        // The bar invalidates itself on a new position; with redrawing off it
        // takes the position without asking for a paint.
        DefWindowProc(WM_SETREDRAW, FALSE, 0);
        const LRESULT previous = DefWindowProc(msg, wParam, lParam);
        DefWindowProc(WM_SETREDRAW, TRUE, 0);
        if (!m_bRepaintDue) {
            m_bRepaintDue = true;
            ::SetTimer(m_hWnd, kRepaintTimer, kFrameMs, nullptr);
        }
        return previous;
    }
    if (msg == WM_TIMER && wParam == kRepaintTimer) {
        ::KillTimer(m_hWnd, kRepaintTimer);
        m_bRepaintDue = false;
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        return 0;
    }
    return DefWindowProc(msg, wParam, lParam);
}

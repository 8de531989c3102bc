#include "app/ProgressPacer.h"

#include <algorithm>

#include <commctrl.h>

int CProgressPacer::QueuePos(int position) {
    position = std::clamp(position, m_lower, std::max(m_lower, m_upper));
    const int previous = m_queuedPos.exchange(position);
    ::SendNotifyMessageA(m_hWnd, kQueuedPos, static_cast<WPARAM>(position), 0);
    return previous;
}

void CProgressPacer::OnSubclassed() {
    PBRANGE range{};
    DefWindowProc(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    m_lower = range.iLow;
    m_upper = range.iHigh;
    m_queuedPos = static_cast<int>(DefWindowProc(PBM_GETPOS, 0, 0));
}

// The bar invalidates itself on a new position; with redrawing off it takes
// the position without asking for a paint, and the frame timer paints.
LRESULT CProgressPacer::ApplyPos(WPARAM position) {
    DefWindowProc(WM_SETREDRAW, FALSE, 0);
    const LRESULT previous = DefWindowProc(PBM_SETPOS, position, 0);
    DefWindowProc(WM_SETREDRAW, TRUE, 0);
    if (!m_bRepaintDue) {
        m_bRepaintDue = true;
        ::SetTimer(m_hWnd, kRepaintTimer, kFrameMs, nullptr);
    }
    return previous;
}

LRESULT CProgressPacer::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kQueuedPos:
        ApplyPos(wParam);
        return 0;
    case PBM_SETPOS: {
        const LRESULT previous = ApplyPos(wParam);
        m_queuedPos = static_cast<int>(DefWindowProc(PBM_GETPOS, 0, 0));
        return previous;
    }
    case WM_TIMER:
        if (wParam != kRepaintTimer) break;
        ::KillTimer(m_hWnd, kRepaintTimer);
        m_bRepaintDue = false;
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        return 0;
    default:
        break;
    }
    return DefWindowProc(msg, wParam, lParam);
}

// CProgressPacer: takes over the main dialog's progress bar so that a burst
// of positions costs what a user can see. Every PBM_SETPOS still reaches the
// bar, in order, and answers the previous position; only the repainting is
// paced: the bar is redrawn at most once per frame (16 ms), from a timer of
// its own, instead of after every position. A transfer of 1 MB sends 512
// positions within a few milliseconds; painting each of them used to cost
// most of the transfer's time. Dialog thread only.
#pragma once

#include "win/SubclassedWindow.h"

class CProgressPacer : public CSubclassedWindow {
public:
    static constexpr UINT_PTR kRepaintTimer = 0x4D46;  // apart from the bar's own timers
    static constexpr UINT kFrameMs = 16;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool m_bRepaintDue = false;
};

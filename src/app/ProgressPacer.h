// CProgressPacer: takes over the main dialog's progress bar so that a burst
// of positions costs what a user can see. A transfer of 1 MB sends 512
// positions within a few milliseconds, from the worker's thread.
//
// - Every position still reaches the bar, in order, and the caller is
//   answered the position before it, as PBM_SETPOS answers.
// - QueuePos does not wait for the dialog's thread: the position goes to the
//   bar as a notification queued behind everything the calling thread sent
//   before it, so by the time any later message of that thread is served,
//   the bar holds it. Waiting for each position used to cost two thread
//   switches and a repaint, most of the transfer's time.
// - The bar is redrawn at most once per frame (16 ms), from a timer of its
//   own, instead of after every position.
//
// A position set on the bar directly (PBM_SETPOS) is taken as the latest;
// the program sets one only while no worker queues any. The bar's range is
// taken once, when the bar is taken over: nothing changes it afterwards.
#pragma once

#include <atomic>

#include "win/SubclassedWindow.h"

class CProgressPacer : public CSubclassedWindow {
public:
    static constexpr UINT_PTR kRepaintTimer = 0x4D46;  // apart from the bar's own timers
    static constexpr UINT kFrameMs = 16;
    static constexpr UINT kQueuedPos = WM_APP + 0x4D46;

    // Any thread. Sets the bar to `position`, kept within its range, and
    // answers the position before it.
    int QueuePos(int position);

protected:
    void OnSubclassed() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT ApplyPos(WPARAM position);

    bool m_bRepaintDue = false;
    // The bar's position once every queued position is applied.
    std::atomic<int> m_queuedPos{0};
    int m_lower = 0, m_upper = 100;  // the bar's range
};

// The UI hooks called from a second thread while the dialog's thread serves
// the dialog, as the worker calls them during a flash.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "AppFixture.h"
#include "app/Hooks.h"
#include "app/ProgressPacer.h"
#include "res/resource.h"

namespace {

class Hooks : public AppFixture {
protected:
    void SetUp() override { ASSERT_NE(nullptr, CreateMainDialog()); }
    void OnWorker(const std::function<void()>& body) {
        std::atomic<bool> done{false};
        std::thread worker([&] { body(), done = true; });
        const bool finished = PumpUntil([&] { return done.load(); }, 30000);
        worker.join();
        ASSERT_TRUE(finished);
    }
};

TEST_F(Hooks, EachEffectIsInPlaceWhenTheHookReturns) {
    const HWND hCombo = ::GetDlgItem(hDlg, IDC_DRIVE_LIST);
    ::SendMessageA(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ITEM"));
    const std::string sixty(60, 'D');
    char name[64];
    std::memset(name, '#', sizeof name);
    std::string seen;
    const UiHooks h = dlg->GetHooks();
    void* const on = h.pContext;
    OnWorker([&] {
        h.CBShowStatus(on, "Updating.....");
        seen += Text(IDC_STATUS) + "|";
        for (int position : {20, 23, 100}) seen += std::to_string(h.CBSetProgress(on, position)) + ",";  // the previous one
        seen += std::to_string(::SendMessageA(::GetDlgItem(hDlg, IDC_PROGRESS), PBM_GETPOS, 0, 0)) + "|";
        h.CBSetDriveName(on, sixty.c_str());
        h.CBSetRevision(on, "A054");
        seen += Text(IDC_DRIVE_LIST) + "|" + Text(IDC_REVISION) + "|";
        seen += std::to_string(h.CBGetDriveName(on, name)) + "|";
        h.CBSetAuxText(on, "aux");  // the dialog has no control 1013: no effect
        h.CBIdle(on);
        seen += std::to_string(h.CBIfTerminated(on)) + "|" + Text(IDC_STATUS) + Text(IDC_LOG);
    });
    EXPECT_EQ("Updating.....|0,20,23,100|" + sixty + "|A054|49|0|Updating.....", seen);
    EXPECT_EQ(1, ::SendMessageA(hCombo, CB_GETCOUNT, 0, 0)) << "the name is the edit text, not a new item";
    EXPECT_EQ(std::string(49, 'D'), name);
    EXPECT_EQ(std::string(14, '#'), std::string(name + 50, 14));
}

TEST_F(Hooks, LogKeepsEveryLineOfALongLogAndShowsTheNewest) {
    std::string expected;
    const UiHooks h = dlg->GetHooks();
    OnWorker([&] {
        for (int i = 0; i < 150; ++i) {
            const std::string line = i == 1 ? "" : "Address line " + std::to_string(i) + " of the transfer trace";
            h.CBShowMessage(h.pContext, line.c_str());
            expected += (i ? "\r\n" : "") + line;
        }
        h.CBShowMessage(h.pContext, "Flashing is incorrect!!");
        expected += "\r\nFlashing is incorrect!!";
    });
    ASSERT_GT(expected.size(), 4000u);
    EXPECT_EQ(expected, Text(IDC_LOG));

    const HWND hLog = ::GetDlgItem(hDlg, IDC_LOG);
    EXPECT_EQ(151, ::SendMessageA(hLog, EM_GETLINECOUNT, 0, 0));
    const int y = static_cast<short>(HIWORD(::SendMessageA(hLog, EM_POSFROMCHAR, expected.size() - 1, 0)));
    RECT client;
    ::GetClientRect(hLog, &client);
    EXPECT_TRUE(y >= 0 && y < client.bottom) << "the newest line is out of view";
}

std::vector<int> g_barPositions;  // what the bar itself was given, in order
int g_barPaints = 0, g_barPainted = -1;  // paints, and the position the last one showed
int g_tickPainted = -1;  // the position the last paint made on the pacer's own frame timer showed
bool g_inTick = false;
WNDPROC g_barProc = nullptr, g_pacerProc = nullptr;
// Below the pacer: what reaches the bar itself.
LRESULT CALLBACK BarSpy(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == PBM_SETPOS) g_barPositions.push_back(static_cast<int>(wParam));
    if (msg == WM_PAINT) {
        ++g_barPaints, g_barPainted = static_cast<int>(::CallWindowProcA(g_barProc, hWnd, PBM_GETPOS, 0, 0));
        if (g_inTick) g_tickPainted = g_barPainted;
    }
    return ::CallWindowProcA(g_barProc, hWnd, msg, wParam, lParam);
}
// Above the pacer: whether a paint comes from its frame timer, or from
// anything else that exposes the bar (another window of a parallel run).
LRESULT CALLBACK TickSpy(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const bool outer = g_inTick;  // the tick's own paint comes back through here
    g_inTick = outer || (msg == WM_TIMER && wParam == CProgressPacer::kRepaintTimer);
    const LRESULT result = ::CallWindowProcA(g_pacerProc, hWnd, msg, wParam, lParam);
    g_inTick = outer;
    return result;
}

// The transfer's burst of positions from a second thread: every one reaches
// the bar in order, kept in range, each answered with the one before it, and
// the bar is painted once per frame at most, not once per position.
TEST(ProgressPacer, EveryPositionReachesTheBarInOrderAndPaintsPerFrame) {
    const HWND hBar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 20, nullptr,
                                        nullptr, nullptr, nullptr);
    g_barProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BarSpy)));
    CProgressPacer pacer;
    ASSERT_TRUE(pacer.SubclassWindow(hBar));
    g_pacerProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TickSpy)));
    ASSERT_TRUE(PumpUntil([] { return g_barPaints > 0; })) << "the bar is shown";
    std::vector<int> sent = {0, -7, 250}, expected = {0, 0, 100}, answered, expectedAnswers = {0, 0, 0};
    for (int i = 0; i < 256; ++i) {
        sent.insert(sent.end(), {5, 10});
        expected.insert(expected.end(), {5, 10});
        expectedAnswers.insert(expectedAnswers.end(), {i ? 10 : 100, 5});
    }
    g_barPositions.clear();
    g_barPaints = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int position : sent) answered.push_back(pacer.QueuePos(position));
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done && g_barPositions.size() >= sent.size(); }));
    worker.join();
    EXPECT_TRUE(PumpUntil([] { return g_tickPainted == 10; })) << "the frame timer paints the last position";
    EXPECT_EQ(expected, g_barPositions);
    EXPECT_EQ(expectedAnswers, answered);
    EXPECT_LT(g_barPaints, static_cast<int>(sent.size()) / 8) << "painted per position, not per frame";
    ::SendMessageA(hBar, PBM_SETPOS, 30, 0);
    EXPECT_EQ(30, pacer.QueuePos(42)) << "a position set directly is the latest";
    EXPECT_TRUE(PumpUntil([] { return g_tickPainted == 42; })) << "a later position is painted too";
    ::SetWindowLongPtrA(hBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pacerProc));
    pacer.UnsubclassWindow();
    ::DestroyWindow(hBar);
}

}  // namespace

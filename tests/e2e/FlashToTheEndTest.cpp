// One whole successful run, with the program's real 91-second programming
// wait: a ".hex" image over two 64 KB segments whose second chunk the drive
// refuses five times. It checks the dialog during and after the wait (which
// no way of closing it may cut short), sum.txt, the drive's record and the
// image the drive saved.
#include <algorithm>

#include "E2eFixture.h"

namespace e2e {
namespace {

class FlashToTheEnd : public E2eTest {};

TEST_F(FlashToTheEnd, HexImageOfTwoSegmentsWithARetriedChunk) {
    Write("vdrives.txt", OneDrive("A054", "fault 0 0 chunk offset=4128 times=5 sense=03/0C/00\n"));
    Write("IDString.txt", IdString({{kModel, "Afw.hex"}}));
    Write("Afw.hex", kTwoSegmentHex);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    const Lines log = Log();
    ASSERT_TRUE(PressUpgrade());

    ASSERT_TRUE(uidriver::WaitUntil([&] { return Progress() >= 20; }, kQuickMs))
        << "the wait did not begin: " << ::testing::PrintToString(Log());
    const ULONGLONG waitSeen = ::GetTickCount64();
    EXPECT_EQ(Text(IDC_STATUS), "Updating.....");
    EXPECT_FALSE(Enabled(IDCANCEL));
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
    // The close box, Escape and Enter in the drive list's edit field and on
    // the dialog: none may end the program while the drive programs its flash.
    ::PostMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    for (HWND target : {uidriver::ComboEdit(Main(), IDC_DRIVE_LIST), Main()}) {
        ASSERT_NE(target, nullptr);
        uidriver::PostKey(target, VK_ESCAPE);
        uidriver::PostKey(target, VK_RETURN);
    }

    // Every position shown during the wait is one of its steps (20, 23, ...
    // 68), then 90 and 100, never going back.
    std::vector<int> seen;
    const bool ended = uidriver::WaitUntil([&] {
        if (const int at = Progress(); seen.empty() || seen.back() != at) seen.push_back(at);
        return !::IsWindow(Main()) || RunEnded();
    }, 180000, 200);
    ASSERT_TRUE(::IsWindow(Main())) << "the dialog closed during the run";
    ASSERT_TRUE(ended) << ::testing::PrintToString(Log());
    EXPECT_GE(::GetTickCount64() - waitSeen, 88000u) << "the programming wait is 91 seconds";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << ::testing::PrintToString(seen);
    for (int at : seen)
        EXPECT_TRUE((at >= 20 && at <= 68 && (at - 20) % 3 == 0) || at == 90 || at == 100) << "progress at " << at;

    // Everything the image does not cover is FFh, and 4096 FFh add to F000h:
    // the 128 KB add to E743h (FFh bytes alone: 0; 12h+34h+56h+78h - 4 * FFh
    // - 4 * FFh + 1551 - 24 * FFh = -6333), the check sum and the header's.
    EXPECT_EQ(Log(), Concat(log, {"Check Sum : E743", "Please wait a minute.....", kRestart}));
    EXPECT_EQ(Progress(), 100);
    EXPECT_EQ(Text(IDC_STATUS), "");
    EXPECT_EQ(Text(IDC_DRIVE_LIST), "");
    EXPECT_EQ(Text(IDC_REVISION), "");
    EXPECT_FALSE(uidriver::Click(Main(), IDC_UPGRADE)) << "a second run must be impossible";
    EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());

    // The chunk at 1020h six times, refused five times before the drive
    // takes it. The drive saves only when the header matches the sum of what
    // it holds: the refused chunk counted once.
    EXPECT_EQ(Commands(), TwoSegmentCommands(kInquiry, 5));
    EXPECT_TRUE(Read("saved-0-0.bin") == TwoSegmentSaved()) << "the drive saved other bytes than the image's";

    // Each attempt at a chunk shows the running sum with that chunk counted
    // once (ED18h + EC04h = D91Ch) and the total of all the sums shown: after
    // the last chunk 6 * D91Ch + ED18h, plus chunks 2-15 (D91Ch - 1000h (k - 1)
    // each) and 16-31 (D743h - 1000h (k - 16) each), 1,132,408 = 4778h.
    const Lines trace = uidriver::SplitLines(Read("sum.txt"));
    ASSERT_EQ(trace.size(), 1 + 37 + 4u);
    EXPECT_EQ(Lines(trace.begin(), trace.begin() + 8),
              (Lines{"Model Name : " + kModel + "(0) HID : 0 TID : 0 Ver.: A054",
                     "Address=00000020,_wSecSum=ED18,_total=ED18", "Address=00001020,_wSecSum=D91C,_total=C634",
                     "Address=00001020,_wSecSum=D91C,_total=9F50", "Address=00001020,_wSecSum=D91C,_total=786C",
                     "Address=00001020,_wSecSum=D91C,_total=5188", "Address=00001020,_wSecSum=D91C,_total=2AA4",
                     "Address=00001020,_wSecSum=D91C,_total=03C0"}));
    EXPECT_EQ(Lines(trace.end() - 5, trace.end()),
              (Lines{"Address=0001F020,_wSecSum=E743,_total=4778", "Finished : fgWriteOneFlashCmdData()",
                     "sSendBuf[30]=E7   sSendBuf[31]=43", "Finished : fgWriteHeader()",
                     "I will in fgTestUnitReadyComplete()"}));

    ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL)) << "\"Close\" is not enabled";
    EXPECT_TRUE(m_program.WaitForExit(kQuickMs)) << "\"Close\" did not end the program";
}

}  // namespace
}  // namespace e2e

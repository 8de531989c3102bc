// The UI hooks called from a second thread while the dialog's thread pumps
// messages, as the worker calls them during a flash.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "DialogScript.h"
#include "MainDialogFixture.h"
#include "app/Hooks.h"
#include "res/resource.h"

using testing_win::PumpUntil;
using testing_win::WindowText;

namespace {

class HooksTest : public MainDialogFixture {
protected:
    // Runs body on a worker thread while this thread keeps the dialog alive.
    void OnWorker(const std::function<void()>& body) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            body();
            done = true;
        });
        bool finished = PumpUntil([&] { return done.load(); }, 30000);
        worker.join();
        ASSERT_TRUE(finished);
    }
    std::string Text(int id) const { return WindowText(::GetDlgItem(hDlg, id)); }
    std::string Log() const { return Text(IDC_LOG); }
};

TEST_F(HooksTest, EachEffectIsInPlaceWhenTheHookReturns) {
    std::string seen;
    OnWorker([&] {
        CBShowStatus("Updating.....");
        seen += Text(IDC_STATUS) + "|";
        CBSetProgress(5);
        seen += std::to_string(::SendMessageA(::GetDlgItem(hDlg, IDC_PROGRESS), PBM_GETPOS, 0, 0)) + "|";
        CBShowMessage("Please wait a minute.....");
        seen += Log() + "|";
        CBSetDriveName("");
        CBSetRevision("");
        seen += Text(IDC_DRIVE_LIST) + Text(IDC_REVISION) + "|";
        CBShowStatus("");
        seen += Text(IDC_STATUS);
    });
    EXPECT_EQ("Updating.....|5|Please wait a minute.....||", seen);
}

TEST_F(HooksTest, DriveNameAndRevisionTextsAreSetWithoutTouchingListItems) {
    ::SendMessageA(::GetDlgItem(hDlg, IDC_DRIVE_LIST), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ITEM"));
    OnWorker([] {
        CBSetDriveName("VENDOR  PRODUCT NAME    (0)");
        CBSetRevision("A054");
    });
    EXPECT_EQ("VENDOR  PRODUCT NAME    (0)", Text(IDC_DRIVE_LIST));
    EXPECT_EQ("A054", Text(IDC_REVISION));
    EXPECT_EQ(1, ::SendMessageA(::GetDlgItem(hDlg, IDC_DRIVE_LIST), CB_GETCOUNT, 0, 0));
}

TEST_F(HooksTest, GetDriveNameCopiesAtMost49CharactersAndTerminates) {
    const std::string sixty(60, 'D');
    ::SetWindowTextA(::GetDlgItem(hDlg, IDC_DRIVE_LIST), sixty.c_str());
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    int count = -1;
    OnWorker([&] { count = CBGetDriveName(buffer); });
    EXPECT_EQ(49, count);
    EXPECT_EQ(std::string(49, 'D'), std::string(buffer));
    for (size_t i = 50; i < sizeof buffer; ++i) EXPECT_EQ('#', buffer[i]) << "byte " << i;

    ::SetWindowTextA(::GetDlgItem(hDlg, IDC_DRIVE_LIST), "");
    OnWorker([&] { count = CBGetDriveName(buffer); });
    EXPECT_EQ(0, count);
    EXPECT_EQ('\0', buffer[0]);
}

TEST_F(HooksTest, SetProgressAnswersThePreviousPosition) {
    int answers[3] = {-1, -1, -1};
    OnWorker([&] {
        answers[0] = CBSetProgress(20);
        answers[1] = CBSetProgress(23);
        answers[2] = CBSetProgress(100);
    });
    EXPECT_EQ(0, answers[0]);
    EXPECT_EQ(20, answers[1]);
    EXPECT_EQ(23, answers[2]);
}

TEST_F(HooksTest, TerminateFlagIsZeroAndIdleAndAuxTextChangeNothing) {
    std::uint8_t flag = 0xEE;
    std::string before = Text(IDC_STATUS) + Log() + Text(IDC_REVISION);
    OnWorker([&] {
        CBIdle();
        CBSetAuxText("aux");  // the dialog has no control 1013
        flag = CBIfTerminated();
    });
    EXPECT_EQ(0, flag);
    EXPECT_EQ(nullptr, ::GetDlgItem(hDlg, IDC_AUX_TEXT));
    EXPECT_EQ(before, Text(IDC_STATUS) + Log() + Text(IDC_REVISION));
}

TEST_F(HooksTest, LogLinesFollowOneAnotherFromTheFirstWithoutLeadingBreak) {
    OnWorker([] {
        CBShowMessage("first");
        CBShowMessage("");
        CBShowMessage("third");
    });
    EXPECT_EQ("first\r\n\r\nthird", Log());
    EXPECT_EQ(3, ::SendMessageA(::GetDlgItem(hDlg, IDC_LOG), EM_GETLINECOUNT, 0, 0));
}

TEST_F(HooksTest, LongLogKeepsEveryLineAndShowsTheLastOne) {
    // Well past 511 characters: the error line must survive the outcome line.
    std::string expected;
    OnWorker([&] {
        for (int i = 0; i < 150; ++i) {
            std::string line = "Address line " + std::to_string(i) + " of the transfer trace";
            CBShowMessage(line.c_str());
            expected += (i ? "\r\n" : "") + line;
        }
        CBShowMessage("ERR: fail to open output file!");
        CBShowMessage("Flashing is incorrect!!");
        expected += "\r\nERR: fail to open output file!\r\nFlashing is incorrect!!";
    });
    ASSERT_GT(expected.size(), 4000u);
    EXPECT_EQ(expected, Log());

    HWND hLog = ::GetDlgItem(hDlg, IDC_LOG);
    EXPECT_EQ(152, ::SendMessageA(hLog, EM_GETLINECOUNT, 0, 0));
    LRESULT pos = ::SendMessageA(hLog, EM_POSFROMCHAR, expected.size() - 1, 0);
    RECT client;
    ::GetClientRect(hLog, &client);
    int y = static_cast<short>(HIWORD(pos));
    EXPECT_GE(y, 0);
    EXPECT_LT(y, client.bottom) << "the newest line is scrolled out of view";
    EXPECT_GT(::SendMessageA(hLog, EM_GETFIRSTVISIBLELINE, 0, 0), 100);
}

}  // namespace

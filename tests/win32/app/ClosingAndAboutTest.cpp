// Ending the main dialog by each route, refused while "Close" is disabled;
// and the About box reached from the system menu.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "DialogScript.h"
#include "MachineFixture.h"
#include "app/FlashDlg.h"
#include "res/resource.h"

using testing_win::FindDialog;
using testing_win::RunWithScript;
using testing_win::Settle;
using testing_win::WindowText;

namespace {

enum class Route { CloseButton, CloseBox, Escape, AltF4, Enter };

const char* Name(Route r) {
    switch (r) {
    case Route::CloseButton: return "Close button";
    case Route::CloseBox: return "close box";
    case Route::Escape: return "Escape";
    case Route::AltF4: return "Alt+F4";
    case Route::Enter: return "Enter";
    }
    return "?";
}

// Delivers the route's input the way the platform delivers a user's.
void Press(HWND hDlg, Route route) {
    HWND hComboEdit = ::GetWindow(::GetDlgItem(hDlg, IDC_DRIVE_LIST), GW_CHILD);
    switch (route) {
    case Route::CloseButton:
        ::PostMessageA(::GetDlgItem(hDlg, IDCANCEL), BM_CLICK, 0, 0);
        break;
    case Route::CloseBox:
        ::PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Route::Escape:
        ::PostMessageA(hComboEdit, WM_KEYDOWN, VK_ESCAPE, 1);
        break;
    case Route::AltF4:
        ::PostMessageA(hComboEdit, WM_SYSKEYDOWN, VK_F4, 0x20000001);
        break;
    case Route::Enter:
        ::PostMessageA(hComboEdit, WM_KEYDOWN, VK_RETURN, 1);
        break;
    }
}

// The modal runs start on a machine without drives (no list either: the
// scan's message box is recorded, not shown).
class MainDialogClosing : public MachineFixture {};
class AboutBox : public MachineFixture {};

// A modal dialog that ended is hidden at once and destroyed when its loop exits.
bool Ended(HWND hDlg) { return !::IsWindow(hDlg) || !::IsWindowVisible(hDlg); }

INT_PTR RunMain(const std::function<void(HWND)>& script) {
    auto dlg = std::make_unique<CFlashDlg>();
    return RunWithScript("MARROWFIN", [&] { return dlg->DoModal(nullptr); }, script);
}

TEST_F(MainDialogClosing, NoRouteEndsTheDialogWhileCloseIsDisabled) {
    std::string survived;
    INT_PTR result = RunMain([&](HWND hDlg) {
        ::EnableWindow(::GetDlgItem(hDlg, IDCANCEL), FALSE);
        for (Route r : {Route::CloseBox, Route::Escape, Route::AltF4, Route::Enter, Route::CloseButton}) {
            Press(hDlg, r);
            Settle(hDlg, IDC_PROGRESS, 3);
            if (!Ended(hDlg)) survived += std::string(Name(r)) + ";";
        }
    });
    EXPECT_EQ("close box;Escape;Alt+F4;Enter;Close button;", survived);
    EXPECT_EQ(IDCANCEL, result);  // ended by the script's clean-up once Close was enabled
}

TEST_F(MainDialogClosing, CloseCloseBoxEscapeAndAltF4EndWithCancelWhenEnabled) {
    for (Route r : {Route::CloseButton, Route::CloseBox, Route::Escape, Route::AltF4}) {
        bool endedByRoute = false;
        INT_PTR result = RunMain([&](HWND hDlg) {
            Press(hDlg, r);
            Settle(hDlg, IDC_PROGRESS, 3);
            endedByRoute = Ended(hDlg);
        });
        EXPECT_TRUE(endedByRoute) << Name(r);
        EXPECT_EQ(IDCANCEL, result) << Name(r);
    }
}

TEST_F(MainDialogClosing, EnterOutsideAButtonEndsWithOkWhenEnabled) {
    bool ended = false;
    INT_PTR result = RunMain([&](HWND hDlg) {
        Press(hDlg, Route::Enter);
        Settle(hDlg, IDC_PROGRESS, 3);
        ended = Ended(hDlg);
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(IDOK, result);
}

TEST_F(AboutBox, SystemMenuEndsWithSeparatorAndAboutEntry) {
    std::string last, beforeLast;
    UINT lastId = 0, beforeType = 0;
    RunMain([&](HWND hDlg) {
        HMENU hMenu = ::GetSystemMenu(hDlg, FALSE);
        int count = ::GetMenuItemCount(hMenu);
        ASSERT_GE(count, 3);
        char text[128] = "";
        ::GetMenuStringA(hMenu, count - 1, text, sizeof text, MF_BYPOSITION);
        last = text;
        lastId = ::GetMenuItemID(hMenu, count - 1);
        beforeType = ::GetMenuState(hMenu, count - 2, MF_BYPOSITION);
    });
    EXPECT_EQ("&About MARROWFIN...", last);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), lastId);
    EXPECT_TRUE(beforeType & MF_SEPARATOR);
}

// Opens the About box with the system command, checks it, closes it by `how`.
struct AboutRun {
    bool opened = false, closed = false;
    std::string notice;
};

AboutRun OpenAndClose(WPARAM command, const std::function<void(HWND)>& how) {
    AboutRun run;
    RunMain([&](HWND hDlg) {
        DWORD thread = ::GetWindowThreadProcessId(hDlg, nullptr);
        ::PostMessageA(hDlg, WM_SYSCOMMAND, command, 0);
        HWND hAbout = FindDialog(thread, "MARROWFIN", hDlg);
        if (hAbout == nullptr) return;
        run.opened = ::GetParent(hAbout) == hDlg || ::GetWindow(hAbout, GW_OWNER) == hDlg;
        HWND hOk = ::GetDlgItem(hAbout, IDOK);
        run.notice = WindowText(::GetWindow(::GetWindow(hAbout, GW_CHILD), GW_HWNDNEXT));
        EXPECT_EQ("OK", WindowText(hOk));
        how(hAbout);
        DWORD start = ::GetTickCount();
        while (!Ended(hAbout) && ::GetTickCount() - start < 5000) ::Sleep(5);
        run.closed = Ended(hAbout);
    });
    return run;
}

TEST_F(AboutBox, OpensForCommand16AndClosesWithOkEscapeAndEnter) {
    struct Case { const char* name; WPARAM command; std::function<void(HWND)> how; };
    const Case cases[] = {
        {"OK", IDM_ABOUTBOX, [](HWND h) { ::PostMessageA(::GetDlgItem(h, IDOK), BM_CLICK, 0, 0); }},
        {"Escape", IDM_ABOUTBOX | 0x7, [](HWND h) { ::PostMessageA(::GetDlgItem(h, IDOK), WM_KEYDOWN, VK_ESCAPE, 1); }},
        {"Enter", IDM_ABOUTBOX | 0xF, [](HWND h) { ::PostMessageA(::GetDlgItem(h, IDOK), WM_KEYDOWN, VK_RETURN, 1); }},
        {"close box", IDM_ABOUTBOX, [](HWND h) { ::PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Case& c : cases) {
        AboutRun run = OpenAndClose(c.command, c.how);
        EXPECT_TRUE(run.opened) << c.name;
        EXPECT_TRUE(run.closed) << c.name;
        EXPECT_FALSE(run.notice.empty()) << c.name;
    }
}

TEST_F(AboutBox, OtherSystemCommandsDoNotOpenIt) {
    bool aboutSeen = true;
    RunMain([&](HWND hDlg) {
        DWORD thread = ::GetWindowThreadProcessId(hDlg, nullptr);
        ::PostMessageA(hDlg, WM_SYSCOMMAND, 0x20, 0);  // not ours: default handling
        Settle(hDlg, IDC_PROGRESS, 2);
        aboutSeen = FindDialog(thread, "MARROWFIN", hDlg, 200) != nullptr;
    });
    EXPECT_FALSE(aboutSeen);
}

}  // namespace

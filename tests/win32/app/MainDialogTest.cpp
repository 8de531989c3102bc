// The main dialog as the user sees it and ends it: its controls after the
// start-up scan, the icon, every way of closing it, and the About box.
#include <windows.h>

#include <string>
#include <utility>

#include "AppFixture.h"
#include "res/resource.h"

namespace {

using MainDialog = AppFixture;

TEST_F(MainDialog, ControlsWithTheirIdsTextsAndPlacesAndTheIcon) {
    // No drives and no IDString.txt: nothing of the scan's is shown.
    ASSERT_NE(nullptr, CreateMainDialog());
    EXPECT_EQ("MARROWFIN", WindowText(hDlg));
    ExpectTemplate(hDlg, 269, 162, {
        {IDC_STATIC, "Target Drive At", 7, 10, 45, 8},
        {IDC_DRIVE_LIST, "", 55, 7, 125, 65, false, CBS_DROPDOWN | CBS_SORT | WS_TABSTOP},
        {IDC_STATIC, "Status:", 7, 46, 26, 8},
        {IDC_PROGRESS, nullptr, 7, 64, 180, 14},
        {IDC_LOG, "", 7, 91, 180, 64, true, ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL},
        {IDC_STATUS, "", 37, 46, 144, 8},
        {IDC_UPGRADE, "Upgrade", 202, 94, 60, 20},
        {IDC_STATIC, "MCU Flash", 209, 51, 37, 8},
        {IDC_STATIC, "", 194, 7, 65, 77, true, BS_GROUPBOX, WS_EX_TRANSPARENT},
        {IDC_STATIC, "Version  2.74 FOR KR-52M", 205, 62, 49, 17},
        {IDC_STATIC, "Device Revision:", 7, 29, 63, 8},
        {IDC_REVISION, "", 71, 29, 57, 8, true, SS_CENTERIMAGE},
        {IDC_STATIC, nullptr, 201, 14, 49, 34, false, SS_BITMAP},  // the logo
        {IDCANCEL, "Close", 202, 121, 60, 20},
    });
    const HWND hLogo = ::GetWindow(::GetDlgItem(hDlg, IDC_REVISION), GW_HWNDNEXT);
    EXPECT_NE(0, ::SendMessageA(hLogo, STM_GETIMAGE, IMAGE_BITMAP, 0));

    const LRESULT icon = reinterpret_cast<LRESULT>(dlg->GetAppIcon());
    ASSERT_NE(0, icon);
    EXPECT_EQ(icon, ::SendMessageA(hDlg, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(icon, ::SendMessageA(hDlg, WM_QUERYDRAGICON, 0, 0));
}

TEST(IconPaintOrigin, CentresWithSignedTruncation) {
    const struct { RECT client; int cx, cy; LONG x, y; } cases[] = {
        {{0, 0, 36, 36}, 32, 32, 2, 2},     // (36-32+1)/2 = 2
        {{0, 0, 37, 38}, 32, 32, 3, 3},     // 6/2, 7/2
        {{0, 0, 160, 24}, 32, 32, 64, -3},  // (24-32+1)/2 = -7/2 = -3, not -4
        {{10, 20, 10, 20}, 32, 16, -15, -7},
    };
    for (const auto& c : cases) {
        const POINT p = CFlashDlg::IconPaintOrigin(c.client, c.cx, c.cy);
        EXPECT_EQ((std::pair{c.x, c.y}), (std::pair{p.x, p.y}));
    }
}

// Each route's input as the platform delivers a user's; the keys go to the
// drive list's edit field, where the focus is.
const struct Route {
    const char* name;
    INT_PTR result;  // the dialog's result when the route ends it
    void (*press)(HWND hDlg, HWND hEdit);
} kRoutes[] = {
    {"Close button", IDCANCEL, [](HWND d, HWND) { ::PostMessageA(::GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }},
    {"close box", IDCANCEL, [](HWND d, HWND) { ::PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"Escape", IDCANCEL, [](HWND, HWND e) { ::PostMessageA(e, WM_KEYDOWN, VK_ESCAPE, 1); }},
    {"Alt+F4", IDCANCEL, [](HWND, HWND e) { ::PostMessageA(e, WM_SYSKEYDOWN, VK_F4, 0x20000001); }},
    // Neither button is the default one: Enter ends the dialog with IDOK.
    {"Enter", IDOK, [](HWND, HWND e) { ::PostMessageA(e, WM_KEYDOWN, VK_RETURN, 1); }},
};

// A modal dialog that ended is hidden at once and destroyed when its loop exits.
bool Ended(HWND hWnd) { return !::IsWindow(hWnd) || !::IsWindowVisible(hWnd); }

// While "Close" is disabled an upgrade is under way and no route ends the
// dialog; once it is enabled again, each route does.
TEST_F(MainDialog, EachRouteEndsItOnlyWhileCloseIsEnabled) {
    for (const Route& route : kRoutes) {
        bool endedWhileDisabled = true, ended = false;
        const INT_PTR result = RunMainDialog(platform, [&](HWND hDlg) {
            const HWND hEdit = ::GetWindow(::GetDlgItem(hDlg, IDC_DRIVE_LIST), GW_CHILD);
            for (BOOL enabled : {FALSE, TRUE}) {
                ::EnableWindow(::GetDlgItem(hDlg, IDCANCEL), enabled);
                route.press(hDlg, hEdit);
                Settle(hDlg);
                (enabled ? ended : endedWhileDisabled) = Ended(hDlg);
            }
        });
        EXPECT_FALSE(endedWhileDisabled) << route.name;
        EXPECT_TRUE(ended) << route.name;
        EXPECT_EQ(route.result, result) << route.name;
    }
}

// The system menu ends with a separator and the About entry; the entry's
// command opens the About box whatever the system puts in its low four bits.
TEST_F(MainDialog, SystemMenuOpensTheAboutBox) {
    RunMainDialog(platform, [&](HWND hDlg) {
        const HMENU hMenu = ::GetSystemMenu(hDlg, FALSE);
        const int last = ::GetMenuItemCount(hMenu) - 1;
        char text[64] = "";
        ::GetMenuStringA(hMenu, last, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ("&About MARROWFIN...", text);
        EXPECT_TRUE(::GetMenuState(hMenu, last - 1, MF_BYPOSITION) & MF_SEPARATOR);
        const struct { WPARAM lowBits; UINT closeMsg; WPARAM closeKey; } cases[] = {
            {0x0, BM_CLICK, 0}, {0xF, WM_KEYDOWN, VK_ESCAPE}};
        for (const auto& c : cases) {
            ::PostMessageA(hDlg, WM_SYSCOMMAND, ::GetMenuItemID(hMenu, last) | c.lowBits, 0);
            const HWND hAbout = WaitForWindow(::GetWindowThreadProcessId(hDlg, nullptr), hDlg);
            ASSERT_NE(nullptr, hAbout) << "low bits " << c.lowBits;
            EXPECT_EQ(hDlg, ::GetWindow(hAbout, GW_OWNER));
            ::PostMessageA(::GetDlgItem(hAbout, IDOK), c.closeMsg, c.closeKey, 1);
            EXPECT_TRUE(PumpUntil([&] { return Ended(hAbout); }, 5000));
        }
    });
}

}  // namespace

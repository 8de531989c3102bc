// The main dialog as the user sees it: created from template 102, every
// control in template order with its id, class, style, text and place.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "DialogScript.h"
#include "DialogTemplate.h"
#include "MainDialogFixture.h"
#include "res/resource.h"

using testing_win::ClassName;
using testing_win::WindowText;

namespace {

using testing_win::DialogTemplate;
using testing_win::LoadDialogTemplate;

constexpr int kStatic = -1;

struct ControlRow {
    int id;
    const char* cls;
    DWORD styleBits;     // must all be set in the template
    DWORD typeMask;      // low style bits compared with `type` under this mask
    DWORD type;
    DWORD forbidden;     // must all be clear
    DWORD exStyle;       // extended style of the template item
    const char* templateText;
    const char* shownText;  // after initialisation; null: not compared
    short x, y, cx, cy;     // dialog units
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;

const ControlRow kRows[] = {
    {kStatic, "Static", kChild, SS_TYPEMASK, SS_LEFT, 0, 0, "Target Drive At", "Target Drive At", 7, 10, 45, 8},
    {IDC_DRIVE_LIST, "ComboBox", kChild | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 3, CBS_DROPDOWN, 0, 0, "", "", 55, 7, 125, 65},
    {kStatic, "Static", kChild, SS_TYPEMASK, SS_LEFT, 0, 0, "Status:", "Status:", 7, 46, 26, 8},
    {IDC_PROGRESS, "msctls_progress32", kChild | WS_BORDER, 0, 0, 0, 0, "", nullptr, 7, 64, 180, 14},
    {IDC_LOG, "Edit", kChild | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 0, 0,
     ES_READONLY, 0, "", "", 7, 91, 180, 64},
    {IDC_STATUS, "Static", kChild, SS_TYPEMASK, SS_LEFT, 0, 0, "Static", "", 37, 46, 144, 8},
    {IDC_UPGRADE, "Button", kChild | WS_TABSTOP, BS_TYPEMASK, BS_PUSHBUTTON, 0, 0, "Upgrade", "Upgrade", 202, 94, 60, 20},
    {kStatic, "Static", kChild, SS_TYPEMASK, SS_LEFT, 0, 0, "MCU Flash", "MCU Flash", 209, 51, 37, 8},
    {kStatic, "Button", kChild, BS_TYPEMASK, BS_GROUPBOX, 0, WS_EX_TRANSPARENT, "", "", 194, 7, 65, 77},
    {kStatic, "Static", kChild, SS_TYPEMASK, SS_LEFT, 0, 0, "Version  2.74 FOR KR-52M", "Version  2.74 FOR KR-52M", 205, 62, 49, 17},
    {kStatic, "Static", kChild, SS_TYPEMASK, SS_LEFT, 0, 0, "Device Revision:", "Device Revision:", 7, 29, 63, 8},
    {IDC_REVISION, "Static", kChild | SS_CENTERIMAGE, SS_TYPEMASK, SS_LEFT, 0, 0, "Static", "", 71, 29, 57, 8},
    {kStatic, "Static", kChild, SS_TYPEMASK, SS_BITMAP, 0, 0, "#130", nullptr, 201, 14, 49, 34},
    {IDCANCEL, "Button", kChild | WS_TABSTOP, BS_TYPEMASK, BS_PUSHBUTTON, 0, 0, "Close", "Close", 202, 121, 60, 20},
};

int Pixels(HWND hDlg, int dlu, bool horizontal) {
    RECT r = {0, 0, horizontal ? dlu : 0, horizontal ? 0 : dlu};
    ::MapDialogRect(hDlg, &r);
    return horizontal ? r.right : r.bottom;
}

RECT ChildRect(HWND hDlg, HWND hChild) {
    RECT r;
    ::GetWindowRect(hChild, &r);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

TEST(MainDialogTemplate, FrameCaptionFontAndSize) {
    DialogTemplate t = LoadDialogTemplate(IDD_MARROWFIN_DIALOG);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ("MARROWFIN", t.caption);
    EXPECT_EQ(269, t.cx);
    EXPECT_EQ(162, t.cy);
    EXPECT_EQ("System", t.fontFace);
    EXPECT_EQ(12, t.pointSize);
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(frame, t.style & frame);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW), t.exStyle & WS_EX_APPWINDOW);
}

TEST(MainDialogTemplate, ItemsInTabOrderWithIdsKindsStylesTextsAndPlaces) {
    DialogTemplate t = LoadDialogTemplate(IDD_MARROWFIN_DIALOG);
    ASSERT_EQ(std::size(kRows), t.items.size());
    for (size_t i = 0; i < t.items.size(); ++i) {
        const ControlRow& row = kRows[i];
        const testing_win::TemplateItem& item = t.items[i];
        SCOPED_TRACE("item #" + std::to_string(i) + " id " + std::to_string(row.id));
        EXPECT_EQ(row.id, item.id);
        EXPECT_STRCASEEQ(row.cls, item.cls.c_str());
        EXPECT_EQ(row.styleBits, item.style & row.styleBits);
        EXPECT_EQ(row.type, item.style & row.typeMask);
        EXPECT_EQ(0u, item.style & row.forbidden);
        EXPECT_EQ(row.exStyle, item.exStyle);
        EXPECT_EQ(row.templateText, item.text);
        EXPECT_EQ(row.x, item.x);
        EXPECT_EQ(row.y, item.y);
        EXPECT_EQ(row.cx, item.cx);
        EXPECT_EQ(row.cy, item.cy);
    }
}

TEST_F(MainDialogFixture, DialogShowsCaptionAndTemplateFont) {
    EXPECT_EQ("MARROWFIN", WindowText(hDlg));
    RECT client;
    ::GetClientRect(hDlg, &client);
    EXPECT_EQ(Pixels(hDlg, 269, true), client.right);
    EXPECT_EQ(Pixels(hDlg, 162, false), client.bottom);
    LOGFONTA lf = {};
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(hDlg, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, hFont);
    ::GetObjectA(hFont, sizeof lf, &lf);
    EXPECT_STREQ("System", lf.lfFaceName);
}

TEST_F(MainDialogFixture, ControlsCreatedInOrderWithTextsAfterInitialisationAndPlaces) {
    std::vector<HWND> children;
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
        children.push_back(h);
    ASSERT_EQ(std::size(kRows), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        const ControlRow& row = kRows[i];
        HWND h = children[i];
        SCOPED_TRACE("control #" + std::to_string(i) + " id " + std::to_string(row.id));
        EXPECT_EQ(row.id, ::GetDlgCtrlID(h));
        EXPECT_STRCASEEQ(row.cls, ClassName(h).c_str());
        if (row.shownText != nullptr) {
            EXPECT_EQ(row.shownText, WindowText(h));
        }
        RECT got = ChildRect(hDlg, h);
        EXPECT_EQ(Pixels(hDlg, row.x, true), got.left);
        EXPECT_EQ(Pixels(hDlg, row.y, false), got.top);
        if (row.id != IDC_DRIVE_LIST && i != 12) {  // a combo shows its closed height; a bitmap its own size
            EXPECT_EQ(Pixels(hDlg, row.cx, true), got.right - got.left);
            EXPECT_EQ(Pixels(hDlg, row.cy, false), got.bottom - got.top);
        }
    }
}

TEST_F(MainDialogFixture, NeitherButtonIsDefault) {
    for (int id : {IDC_UPGRADE, IDCANCEL}) {
        LONG style = ::GetWindowLongA(::GetDlgItem(hDlg, id), GWL_STYLE);
        EXPECT_NE(BS_DEFPUSHBUTTON, style & BS_TYPEMASK) << id;
    }
}

TEST_F(MainDialogFixture, ProgressStartsAtZeroWithRangeToHundred) {
    HWND hProgress = ::GetDlgItem(hDlg, IDC_PROGRESS);
    EXPECT_EQ(0, ::SendMessageA(hProgress, PBM_GETPOS, 0, 0));
    PBRANGE range = {};
    ::SendMessageA(hProgress, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(100, range.iHigh);
}

TEST_F(MainDialogFixture, LogoIsBitmap130) {
    HWND hLogo = ::GetWindow(::GetDlgItem(hDlg, IDC_REVISION), GW_HWNDNEXT);
    HBITMAP hBitmap = reinterpret_cast<HBITMAP>(::SendMessageA(hLogo, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(nullptr, hBitmap);
    BITMAP bm = {};
    ::GetObjectA(hBitmap, sizeof bm, &bm);
    EXPECT_EQ(97, bm.bmWidth);
    EXPECT_EQ(67, bm.bmHeight);
}

TEST_F(MainDialogFixture, CaptionIconIsTheApplicationIcon) {
    HICON hBig = reinterpret_cast<HICON>(::SendMessageA(hDlg, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(nullptr, hBig);
    EXPECT_EQ(dlg->GetAppIcon(), hBig);
    EXPECT_EQ(reinterpret_cast<LRESULT>(dlg->GetAppIcon()), ::SendMessageA(hDlg, WM_QUERYDRAGICON, 0, 0));
}

TEST(IconPaintOrigin, CentresWithSignedTruncation) {
    struct Case { RECT client; int cx, cy; POINT want; };
    const Case cases[] = {
        {{0, 0, 36, 36}, 32, 32, {2, 2}},     // (36-32+1)/2 = 2
        {{0, 0, 37, 38}, 32, 32, {3, 3}},     // 6/2, 7/2
        {{0, 0, 160, 24}, 32, 32, {64, -3}},  // (24-32+1)/2 = -7/2 = -3, not -4
        {{0, 0, 0, 0}, 32, 16, {-15, -7}},
    };
    for (const Case& c : cases) {
        POINT p = CFlashDlg::IconPaintOrigin(c.client, c.cx, c.cy);
        EXPECT_EQ(c.want.x, p.x);
        EXPECT_EQ(c.want.y, p.y);
    }
}

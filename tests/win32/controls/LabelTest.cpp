// The styled label bound to a static: alignment, painting into memory DIBs, logical against window
// text, blinking and hover driven by sent messages, and open-on-click through the test platform.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "TestPlatform.h"
#include "resource.h"
#include "ui/controls/LabelCtrl.h"

namespace ctltest {  // in RotatedTextTest.cpp
SIZE Extent(const std::string& s);
std::vector<COLORREF> Read(HDC dc, int w, int h);
std::vector<COLORREF> Painted(int w, int h, const std::function<void(HDC)>& draw);
bool PumpUntil(const std::function<bool()>& done);
}  // namespace ctltest

namespace {
using namespace ctltest;
using Px = std::vector<COLORREF>;
constexpr COLORREF kBox = RGB(0, 0xFF, 0);

Px Shot(CLabelCtrl& l, int w = 120, int h = 80) {
    return Painted(w, h, [&](HDC dc) { l.Paint(dc, RECT{0, 0, w, h}); });
}
// The smallest box around the pixels of `color` (or those differing from
// `other`) in a `w`-wide shot; {w, h, 0, 0} when there is none.
std::vector<LONG> Where(const Px& px, COLORREF color, const Px* other = nullptr, LONG w = 120) {
    std::vector<LONG> r = {w, static_cast<LONG>(px.size()) / w, 0, 0};
    for (LONG i = 0; i < static_cast<LONG>(px.size()); ++i)
        if (other ? px[i] != (*other)[i] : px[i] == color)
            r = {std::min(r[0], i % w), std::min(r[1], i / w), std::max(r[2], i % w + 1), std::max(r[3], i / w + 1)};
    return r;
}
std::vector<LONG> BoxAt(LONG x, LONG y, SIZE s) { return {x, y, x + s.cx, y + s.cy}; }

std::string RawText(HWND h) {  // the window text, read without asking the label
    wchar_t buf[64] = {};
    InternalGetWindowText(h, buf, 64);
    return std::string(buf, buf + wcslen(buf));
}

class LabelTest : public ::testing::Test {
protected:
    ~LabelTest() override { DestroyWindow(parent); }  // before the labels, as in a dialog
    HWND Bind(CLabelCtrl& l, DWORD style = SS_LEFT, const char* text = "Revision", int w = 120, int h = 80) {
        HWND s = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 0, 0, w, h, parent, 0, 0, 0);
        EXPECT_TRUE(l.SubclassWindow(s));
        return s;
    }
    TestPlatform tp;
    CLabelCtrl label{tp};
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, 0, 0, 0, 0);
};

TEST_F(LabelTest, AlignmentFromTheStaticAndSetAlignmentPlaceTheText) {
    const SIZE t = Extent("Revision"), q = {t.cy, t.cx}, two = {Extent("ab").cx, 2 * t.cy};
    const SIZE column = {Extent("a").cx, 2 * t.cy};
    const LONG mid = (80 - t.cy) / 2;
    // set: given to SetAlignment (0: not called); ss: the static's SS_CENTER/SS_RIGHT bits afterwards.
    const struct { const char* what; DWORD style; UINT set, align; DWORD ss; std::vector<LONG> box;
                   const char* text = "Revision"; int turn = 0; } rows[] = {
        {"left", SS_LEFT, 0, LA_LEFT | LA_TOP, SS_LEFT, BoxAt(0, 0, t)},
        {"centre", SS_CENTER, 0, LA_CENTER | LA_TOP, SS_CENTER, BoxAt((120 - t.cx) / 2, 0, t)},
        {"right", SS_RIGHT, 0, LA_RIGHT | LA_TOP, SS_RIGHT, BoxAt(120 - t.cx, 0, t)},
        {"revision label: centred image", SS_CENTERIMAGE, 0, LA_LEFT | LA_VCENTER, SS_LEFT, BoxAt(0, mid, t)},
        {"quarter turn, centred", SS_CENTER | SS_CENTERIMAGE, 0, LA_CENTER | LA_VCENTER, SS_CENTER,
         BoxAt((120 - q.cx) / 2, (80 - q.cy) / 2, q), "Revision", 90},
        {"half turn, centred", SS_CENTER | SS_CENTERIMAGE, 0, LA_CENTER | LA_VCENTER, SS_CENTER,
         BoxAt((120 - t.cx) / 2, (80 - t.cy) / 2, t), "Revision", 180},
        {"three-quarter turn, bottom right", SS_RIGHT, LA_BOTTOM, LA_RIGHT | LA_TOP | LA_BOTTOM, SS_RIGHT,
         BoxAt(120 - q.cx, 80 - q.cy, q), "Revision", 270},
        {"bottom alone is added", SS_LEFT, LA_BOTTOM, LA_LEFT | LA_TOP | LA_BOTTOM, SS_LEFT, BoxAt(0, 80 - t.cy, t)},
        {"right and centred exactly", SS_LEFT, LA_RIGHT | LA_VCENTER, LA_RIGHT | LA_VCENTER, SS_RIGHT,
         BoxAt(120 - t.cx, mid, t)},
        {"left beats right", SS_RIGHT, LA_LEFT | LA_RIGHT, LA_LEFT, SS_LEFT, BoxAt(0, 0, t)},
        {"centre replaces right", SS_RIGHT, LA_CENTER | LA_BOTTOM, LA_CENTER | LA_BOTTOM, SS_CENTER,
         BoxAt((120 - t.cx) / 2, 80 - t.cy, t)},
        {"empty line dropped", SS_LEFT, 0, LA_LEFT | LA_TOP, SS_LEFT, BoxAt(0, 0, two), "ab\n\nab"},
        {"vertical twice: one character per line", SS_LEFT, 0, LA_LEFT | LA_TOP, SS_LEFT, BoxAt(0, 0, column), "aa",
         -1},
    };
    for (const auto& r : rows) {
        CLabelCtrl l(tp);
        HWND h = Bind(l, r.style);
        EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & SS_NOTIFY) << r.what;
        l.SetTextBackColor(kBox).SetText(r.text).SetRotation(std::max(r.turn, 0));
        if (r.turn < 0) l.SetVertical(TRUE).SetVertical(TRUE);
        if (r.set) l.SetAlignment(r.set);
        EXPECT_EQ(l.GetAlignment(), r.align) << r.what;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & (SS_CENTER | SS_RIGHT), r.ss) << r.what;
        EXPECT_EQ(Where(Shot(l), kBox), r.box) << r.what;
        if (r.turn >= 180) {
            const Px turned = Shot(l);
            EXPECT_NE(turned, Shot(l.SetRotation(0))) << r.what << ": the text itself is turned";
        }
    }
}

// Glyph pixels may be smoothed, so text colours are told apart by comparing whole paintings.
TEST_F(LabelTest, FreshColoursCentredBitmapAndThePlainPathKeepingTheEmptyLine) {
    Bind(label);
    const Px fresh = Shot(label), same = Shot(label.SetForeColor(GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_EQ(fresh.back(), GetSysColor(COLOR_BTNFACE));
    EXPECT_TRUE(fresh == same) << "the system colour set as the label's own paints the same";
    EXPECT_FALSE(fresh == Shot(label.SetForeColor(RGB(0xFF, 0, 0xFF))));
    // The logo is 97 x 67: in a client 20 pixels narrower its own column 0 lands at x = 5.
    CLabelCtrl narrow(tp), plain(tp);
    Bind(narrow, SS_LEFT, "", 77, 67), Bind(plain, SS_LEFT, "", 97, 67);
    HBITMAP logo = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_LOGO));
    const Px src = Painted(97, 67, [&](HDC dc) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, logo);
        BitBlt(dc, 0, 0, 97, 67, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old), DeleteDC(mem), DeleteObject(logo);
    });
    const Px out = Shot(narrow.SetBackColor(kBox).SetBitmap(IDB_LOGO), 77, 67);
    int wrong = 0;
    for (int i = 0; i < 77 * 67; ++i) wrong += out[i] != (i % 77 < 5 ? kBox : src[i / 77 * 97 + i % 77 - 5]);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Shot(narrow.SetBitmap(-1), 77, 67), Px(77 * 67, kBox));
    const Px bare = Shot(plain.SetBitmap(IDB_LOGO), 97, 67), lined = Shot(plain.SetText("ab\n\ncd"), 97, 67);
    const LONG line = Extent("ab").cy, inkBottom = Where(lined, 0, &bare, 97)[3];
    EXPECT_TRUE(inkBottom > 2 * line && inkBottom <= 3 * line) << "the third line holds text: " << inkBottom;
    plain.SetText("ab");  // one line over the bitmap: the plain path places it by the alignment too
    for (const auto& [align, top] : {std::pair{LA_LEFT | LA_VCENTER, (67 - line) / 2}, {LA_LEFT | LA_BOTTOM, 67 - line}}) {
        const std::vector<LONG> ink = Where(Shot(plain.SetAlignment(align), 97, 67), 0, &bare, 97);
        EXPECT_GE(ink[1], top) << align;
        EXPECT_LE(ink[3], top + line) << align;
    }
}

// Frame and enabled state: a border or a sunken edge takes a pixel or more
// from the client; the disabled look paints the text embossed; enabling or
// disabling the window repaints the label.
TEST_F(LabelTest, BorderSunkenEdgeDisabledLookAndTheRepaintOnEnabling) {
    ShowWindow(parent, SW_SHOWNA);
    HWND h = Bind(label);
    const auto client = [h] {
        RECT r;
        return GetClientRect(h, &r), r.right;
    };
    const LONG plainWidth = client();
    const Px enabled = Shot(label);
    label.SetBorder(TRUE);
    EXPECT_TRUE(label.HasBorder());
    EXPECT_LT(client(), plainWidth) << "the border is drawn in the frame";
    label.SetBorder(FALSE).SetSunken(TRUE);
    EXPECT_NE(0, GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_LT(client(), plainWidth) << "the edge is drawn in the frame";
    label.SetSunken(FALSE).SetDisabledLook(TRUE);
    EXPECT_EQ(client(), plainWidth);
    EXPECT_FALSE(IsWindowEnabled(h));
    EXPECT_NE(Shot(label), enabled) << "embossed";
    EXPECT_EQ(Shot(label.SetDisabledLook(FALSE)), enabled);
    for (BOOL enable : {FALSE, TRUE}) {
        ValidateRect(h, nullptr);
        EnableWindow(h, enable);
        EXPECT_TRUE(GetUpdateRect(h, nullptr, FALSE)) << "a repaint is due after EnableWindow(" << enable << ")";
    }
}

TEST_F(LabelTest, BackgroundBlinkAlternatesColours) {
    const INT face = COLOR_BTNFACE;
    const COLORREF grey = RGB(0xC0, 0xC0, 0xC0), saved = GetSysColor(face);
    SetSysColors(1, &face, &grey);
    const struct { const char* what; bool own; COLORREF normal, alternate; } rows[] = {
        {"system grey halves", false, grey, RGB(0x60, 0x60, 0x60)},
        {"own red gives way to the face", true, RGB(0xFF, 0, 0), grey},
    };
    for (const auto& r : rows) {
        CLabelCtrl l(tp);
        HWND h = Bind(l);
        if (r.own) l.SetBackColor(r.normal);
        l.BlinkBack(TRUE, 60000);
        for (COLORREF want : {r.alternate, r.normal, r.alternate}) {
            SendMessageA(h, WM_TIMER, 2, 0);
            const Px out = Shot(l);
            EXPECT_EQ((std::pair{want, want}), (std::pair{out.back(), out.front()})) << r.what << ": background and behind the text";
        }
        l.BlinkBack(FALSE, 0);
        CLabelCtrl own(tp);  // and on its own timer 2, with nothing sent
        Bind(own);
        if (r.own) own.SetBackColor(r.normal);
        own.BlinkBack(TRUE, 10);
        ASSERT_EQ(Shot(own).back(), r.normal) << r.what;
        EXPECT_TRUE(PumpUntil([&] { return Shot(own).back() == r.alternate; })) << r.what << ": blinks by itself";
        own.BlinkBack(FALSE, 0);
    }
    SetSysColors(1, &face, &saved);
}

TEST_F(LabelTest, WindowTextAndLogicalTextStayApartWhileTheTextBlinksOnTimerOne) {
    HWND h = Bind(label);
    EXPECT_EQ(label.GetText(), "Revision") << "taken from the template";
    const Px before = Shot(label);
    SetWindowTextA(h, "2.74");  // from outside: the label shows it
    EXPECT_EQ(label.GetText(), "2.74");
    EXPECT_NE(Shot(label), before) << "the painted text follows";
    label.SetText("ab").SetVertical(TRUE);
    EXPECT_EQ(RawText(h) + "|" + label.GetText(), "a\nb|ab");
    label.SetVertical(TRUE);
    EXPECT_EQ(RawText(h), "ab");
    label.SetVertical(FALSE).SetText("Revision").BlinkText(TRUE, 10);
    ASSERT_TRUE(PumpUntil([&] { return RawText(h) == ""; })) << "the timer hid the text";
    const struct { const char* what; WPARAM size; bool buffer; LRESULT copied; const char* text; } rows[] = {
        {"whole", 64, true, 8, "Revision"},
        {"cut to the buffer", 4, true, 3, "Rev"},
        {"room for the terminator only", 1, true, 0, ""},
        {"size 0 writes nothing", 0, true, 0, "########"},
        {"no buffer", 64, false, 0, "########"},
    };
    for (const auto& r : rows) {
        char buf[16] = "########";
        EXPECT_EQ(SendMessageA(h, WM_GETTEXT, r.size, r.buffer ? reinterpret_cast<LPARAM>(buf) : 0), r.copied)
            << r.what;
        EXPECT_STREQ(buf, r.text) << r.what;
    }
    EXPECT_EQ(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0), 8) << "the length readers size their buffer by";
    label.BlinkText(FALSE, 0);
    EXPECT_EQ(RawText(h), "Revision") << "shown at once";
    label.BlinkText(TRUE, 60000);
    SendMessageA(h, WM_TIMER, 1, 0);
    EXPECT_EQ(RawText(h), "Revision") << "the first tick after a hidden stop shows";
    SendMessageA(h, WM_TIMER, 1, 0);
    EXPECT_EQ(RawText(h) + "|" + label.GetText(), "|Revision");
    label.BlinkText(FALSE, 0);
}

// The face name field holds 31 characters and its terminator: a longer name
// is not stored, and the font keeps the face it had.
TEST_F(LabelTest, AFaceNameLongerThanItsFieldIsNotStored) {
    HWND h = Bind(label);
    label.SetSystemDrawn(TRUE);
    const std::string fits = "Abcdefghijklmnopqrstuvwxyz01234";  // 31
    const struct { std::string set; const char* face; } rows[] = {
        {"Times New Roman", "Times New Roman"}, {fits + "5", "Times New Roman"}, {fits, fits.c_str()},
        {fits + "56789ABCDEFGHIJK", fits.c_str()}};
    for (const auto& r : rows) {
        label.SetFaceName(r.set.c_str());
        LOGFONTA lf = {};
        Painted(4, 4, [&](HDC dc) {  // the font the label selects to paint
            EXPECT_NE(SendMessageA(h, OCM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h)), 0);
            GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
        });
        EXPECT_STREQ(lf.lfFaceName, r.face) << r.set;
    }
    EXPECT_EQ(label.GetAlignment(), LA_LEFT | LA_TOP);
}

// The first move over the label asks to be told when the pointer rests on it
// for 50 ms and when it leaves.
TEST_F(LabelTest, AMoveStartsTrackingWithAFiftyMillisecondHover) {
    POINT at;
    GetCursorPos(&at);  // the label goes where the pointer is, so that tracking holds
    SetWindowPos(parent, HWND_TOPMOST, at.x - 10, at.y - 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    HWND h = Bind(label);
    SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    TRACKMOUSEEVENT now = {sizeof now, TME_QUERY, nullptr, 0};
    ASSERT_TRUE(TrackMouseEvent(&now));
    EXPECT_EQ(h, now.hwndTrack);
    EXPECT_EQ(static_cast<DWORD>(TME_HOVER | TME_LEAVE), now.dwFlags & (TME_HOVER | TME_LEAVE));
    EXPECT_EQ(50u, now.dwHoverTime);
}

TEST_F(LabelTest, HoverHighlightFollowsTheTipConditionAndClickOpensOnlyWhenAsked) {
    const COLORREF fore = GetSysColor(COLOR_WINDOWTEXT), hover = RGB(1, 2, 3);
    const struct { const char* what; BOOL needsTip, tip; const char* tipText; COLORREF hovered; } rows[] = {
        {"no tip needed", FALSE, FALSE, "", hover},
        {"tip needed, none there", TRUE, FALSE, "Hint", fore},
        {"tip needed, tip without text", TRUE, TRUE, "", fore},
        {"tip needed, tip with text", TRUE, TRUE, "Hint", hover},
    };
    for (const auto& r : rows) {
        CLabelCtrl l(tp);
        HWND h = Bind(l);
        l.SetHoverColor(hover).SetHoverHighlight(TRUE).SetHighlightNeedsTip(r.needsTip).EnableTip(r.tip);
        l.SetTipText(r.tipText);
        SendMessageA(h, WM_MOUSEHOVER, 0, 0);
        EXPECT_EQ(l.GetForeColor(), r.hovered) << r.what;
        SendMessageA(h, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(l.GetForeColor(), fore) << r.what;
        EXPECT_FALSE(l.IsSysFore()) << r.what << ": restored through SetForeColor";
    }
    HWND h = Bind(label, SS_LEFT, "http://example.test/fw");
    label.SetHoverHighlight(FALSE);
    EXPECT_EQ(label.GetForeColor(), fore);
    EXPECT_FALSE(label.IsSysFore());
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_TRUE(tp.shellOpened.empty());
    label.SetOpenOnClick(TRUE);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(tp.shellOpened, std::vector<std::string>{"open|http://example.test/fw"});
}

}  // namespace

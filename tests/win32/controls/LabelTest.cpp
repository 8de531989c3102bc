// The styled label and its off-screen text surface (image sizes per angle, quarter turns on both rotation paths,
// cutting, etched lines): alignment, painting into memory DIBs, logical against window text, blinking and hover by
// sent messages, open-on-click through the test platform. Also home of the pixel helpers the tooltip tests share.
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
#include "ui/controls/RotatedText.h"

namespace ctltest {
SIZE Extent(const std::string& s) {  // the GUI font on a screen DC
    HDC hdc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE size = {};
    GetTextExtentPoint32A(hdc, s.data(), static_cast<int>(s.size()), &size);
    return SelectObject(hdc, old), ReleaseDC(nullptr, hdc), size;
}
std::vector<LONG> Box(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
std::vector<COLORREF> Read(HDC dc, int w, int h) {  // row by row
    std::vector<COLORREF> px;
    for (int i = 0; i < w * h; ++i) px.push_back(GetPixel(dc, i % w, i / w));
    return px;
}
// What `draw` leaves on a w x h 32-bit memory DIB holding the GUI font.
std::vector<COLORREF> Painted(int w, int h, const std::function<void(HDC)>& draw) {
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBmp = SelectObject(dc, bmp), oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    draw(dc);
    const std::vector<COLORREF> px = Read(dc, w, h);
    SelectObject(dc, oldFont), SelectObject(dc, oldBmp), DeleteDC(dc), DeleteObject(bmp);
    return px;
}
// Serves this thread's messages, waiting for them rather than for the clock,
// until `done` holds; false after five seconds without.
bool PumpUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (!done()) {
        if (GetTickCount() - start > 5000) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    return true;
}
}  // namespace ctltest

namespace {
using namespace ctltest;

TEST(RotatedTextTest, ImageSizeFollowsLinesAndAngle) {
    const SIZE one = Extent("Revision"), wide = Extent("Wide line");
    const struct { const char* what; const char* text; int angle; LONG w, h; } rows[] = {
        {"other angles stay unturned", "Revision", 45, one.cx, one.cy},
        {"empty lines take no room", "\nab\n\nWide line\n", 0, wide.cx, 2 * wide.cy},
        {"lines as wide as the widest", "ab\nWide line", 90, 2 * wide.cy, wide.cx},
        {"empty text, empty image", "", 90, 0, 0},
        {"only line feeds, empty image", "\n\n", 0, 0, 0},
    };
    for (const auto& r : rows)
        Painted(1, 1, [&](HDC dc) {
            CRotatedText rt(dc, r.text, 0, 0);
            ASSERT_TRUE(rt.Render(r.angle)) << r.what;
            EXPECT_EQ(Box(rt.GetImageRect()), Box({0, 0, r.w, r.h})) << r.what;
        });
}

// The pixels of the turned image, row by row, and its size.
std::vector<COLORREF> Turned(Platform& p, int angle, SIZE& size) {
    std::vector<COLORREF> px;
    Painted(1, 1, [&](HDC dc) {
        CRotatedText rt(dc, "Fg\nR", 1, 0, p);
        rt.SetTextColor(RGB(0xFF, 0, 0)), rt.SetTextBackColor(RGB(0, 0xFF, 0));
        EXPECT_TRUE(rt.Render(angle));
        size = {rt.GetImageRect().right, rt.GetImageRect().bottom};
        px = Read(rt.GetImageDC(), size.cx, size.cy);
    });
    return px;
}

TEST(RotatedTextTest, QuarterTurnsMapEveryPixelAlikeOnBothFamilies) {
    TestPlatform nt, w9x;
    w9x.platformId = VER_PLATFORM_WIN32_WINDOWS;
    SIZE s;
    const std::vector<COLORREF> flat = Turned(nt, 0, s);
    const int w = s.cx, h = s.cy;
    ASSERT_GT(w, 4);
    // Where the source pixel (x, y) lands.
    const struct { const char* what; int angle; POINT (*to)(int x, int y, int w, int h); } rows[] = {
        {"90: clockwise", 90, [](int x, int y, int, int h) { return POINT{h - 1 - y, x}; }},
        {"180: upside down", 180, [](int x, int y, int w, int h) { return POINT{w - 1 - x, h - 1 - y}; }},
        {"270: counter-clockwise", 270, [](int x, int y, int w, int) { return POINT{y, w - 1 - x}; }},
    };
    for (const auto& r : rows) {
        SIZE sNt, s9x;
        const std::vector<COLORREF> byNt = Turned(nt, r.angle, sNt), by9x = Turned(w9x, r.angle, s9x);
        ASSERT_EQ(std::pair(int(sNt.cx), int(sNt.cy)), r.angle == 180 ? std::pair(w, h) : std::pair(h, w)) << r.what;
        EXPECT_TRUE(s9x.cx == sNt.cx && by9x == byNt) << r.what;
        int wrong = 0;
        for (int i = 0; i < w * h; ++i) {
            const POINT p = r.to(i % w, i / w, w, h);
            wrong += byNt[p.y * sNt.cx + p.x] != flat[i];
        }
        EXPECT_EQ(wrong, 0) << r.what;
    }
}

TEST(RotatedTextTest, TooLargeImageLosesItsRightAndBottomParts) {
    std::vector<COLORREF> image;
    const std::vector<COLORREF> out = Painted(10, 5, [&](HDC dc) {
        CRotatedText rt(dc, "Revision", 2, 2);
        EXPECT_FALSE(rt.Draw(RECT{0, 0, 10, 5})) << "no image yet";
        ASSERT_TRUE(rt.Render(0) && rt.Draw(RECT{0, 0, 10, 5}));
        image = Read(rt.GetImageDC(), 10, 5);
    });
    EXPECT_EQ(out, image);
}

using Runs = std::vector<std::pair<int, int>>;  // [from, to) along the line

TEST(RotatedTextTest, EtchedLinesKeepSixPixelsFromTextAndEdge) {
    // The expected line from the image's size.
    const struct { const char* what; const char* text; int horz, vert, angle;
                   std::pair<int, Runs> (*expect)(int iw, int ih); } rows[] = {
        {"left: after the text", "Etch", 0, 0, 0, [](int iw, int ih) { return std::pair{ih / 2, Runs{{iw + 6, 194}}}; }},
        {"centre: each side", "Etch", 1, 1, 180,
         [](int iw, int) { return std::pair{50, Runs{{6, 100 - iw / 2 - 6}, {100 + iw / 2 + 6, 194}}}; }},
        {"right: before the text", "Etch", 2, 2, 0,
         [](int iw, int ih) { return std::pair{100 - ih / 2, Runs{{6, 194 - iw}}}; }},
        {"empty text: edge to edge on top", "", 0, 0, 0, [](int, int) { return std::pair{0, Runs{{6, 194}}}; }},
        {"45 degrees: unturned text, upright line", "Etch", 0, 0, 45,
         [](int iw, int ih) { return std::pair{iw / 2, Runs{{ih + 6, 94}}}; }},
        {"turned, centred: above and below", "Etch", 1, 1, 90,
         [](int, int ih) { return std::pair{100, Runs{{6, 50 - ih / 2 - 6}, {50 + ih / 2 + 6, 94}}}; }},
    };
    for (const auto& r : rows) {
        int iw = 0, ih = 0;
        const std::vector<COLORREF> out = Painted(200, 100, [&](HDC dc) {
            CRotatedText rt(dc, r.text, r.horz, r.vert);
            rt.SetEtched(TRUE);
            ASSERT_TRUE(rt.Render(r.angle)) << r.what;
            rt.Draw(RECT{0, 0, 200, 100});
            iw = rt.GetImageRect().right, ih = rt.GetImageRect().bottom;
        });
        const int x = r.horz * (200 - iw) / 2, y = r.vert * (100 - ih) / 2;  // where the image went
        const RECT image = {x, y, x + iw, y + ih};
        const auto [line, runs] = r.expect(iw, ih);
        int wrong = 0;  // shadow-coloured pixels outside the image exactly on the expected runs of the line
        for (int i = 0; i < 200 * 100; ++i) {
            const bool flat = r.angle % 180 == 0;
            const int along = flat ? i % 200 : i / 200, across = flat ? i / 200 : i % 200;
            bool want = false;
            for (const auto& run : runs) want |= across == line && run.first <= along && along < run.second;
            wrong += !PtInRect(&image, POINT{i % 200, i / 200}) && (out[i] == GetSysColor(COLOR_BTNSHADOW)) != want;
        }
        EXPECT_EQ(wrong, 0) << r.what;
    }
}

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
        {"revision label: centred image", SS_CENTERIMAGE, 0, LA_LEFT | LA_VCENTER, SS_LEFT, BoxAt(0, mid, t)},
        {"quarter turn, centred", SS_CENTER | SS_CENTERIMAGE, 0, LA_CENTER | LA_VCENTER, SS_CENTER,
         BoxAt((120 - q.cx) / 2, (80 - q.cy) / 2, q), "Revision", 90},
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
    }
}

TEST_F(LabelTest, CentredBitmapAndThePlainPathKeepingTheEmptyLine) {
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
        EXPECT_EQ(Shot(l).back(), r.normal) << r.what << ": stopped";
        l.BlinkBack(TRUE, 10);  // and on its own timer 2, with nothing sent
        const COLORREF was = Shot(l).back();
        EXPECT_TRUE(PumpUntil([&] { return Shot(l).back() != was; })) << r.what << ": blinks by itself";
        l.BlinkBack(FALSE, 0);
    }
    SetSysColors(1, &face, &saved);
}

TEST_F(LabelTest, WindowTextAndLogicalTextStayApartWhileTheTextBlinksOnTimerOne) {
    HWND h = Bind(label);
    EXPECT_EQ(label.GetText(), "Revision") << "taken from the template";
    SetWindowTextA(h, "2.74");  // from outside: the label shows it
    EXPECT_EQ(label.GetText(), "2.74");
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
        {"Times New Roman", "Times New Roman"}, {fits + "5", "Times New Roman"}, {fits, fits.c_str()}};
    for (const auto& r : rows) {
        label.SetFaceName(r.set.c_str());
        LOGFONTA lf = {};
        Painted(4, 4, [&](HDC dc) {  // the font the label selects to paint
            EXPECT_NE(SendMessageA(h, OCM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h)), 0);
            GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
        });
        EXPECT_STREQ(lf.lfFaceName, r.face) << r.set;
    }
}

TEST_F(LabelTest, HoverTrackingAndHighlightFollowingTheTipConditionAndClickOpeningOnlyWhenAsked) {
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
    POINT at;
    GetCursorPos(&at);  // the label goes where the pointer is, so that tracking holds
    SetWindowPos(parent, HWND_TOPMOST, at.x - 10, at.y - 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    HWND h = Bind(label, SS_LEFT, "http://example.test/fw");
    // The first move asks to be told when the pointer rests on the label for 50 ms, and when it leaves.
    SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    TRACKMOUSEEVENT now = {sizeof now, TME_QUERY, nullptr, 0};
    ASSERT_TRUE(TrackMouseEvent(&now));
    EXPECT_EQ(h, now.hwndTrack);
    EXPECT_EQ(static_cast<DWORD>(TME_HOVER | TME_LEAVE), now.dwFlags & (TME_HOVER | TME_LEAVE));
    EXPECT_EQ(50u, now.dwHoverTime);
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

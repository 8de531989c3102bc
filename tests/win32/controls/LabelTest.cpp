// The styled label bound to a static: attachment and alignment, painting
// (the paint handler's body drawn into memory DIBs), the logical text against
// the window text, blinking driven by sending WM_TIMER, hover by sending
// WM_MOUSEHOVER/WM_MOUSELEAVE, and open-on-click through the test platform.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "TestPlatform.h"
#include "resource.h"
#include "ui/controls/LabelCtrl.h"

namespace {

constexpr COLORREF kBox = RGB(0, 0xFF, 0);

// A 32-bit memory surface with the label's default font selected.
struct Canvas {
    Canvas(int w, int h) : w(w), h(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        oldBmp = SelectObject(dc, bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    }
    ~Canvas() {
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBmp);
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    // The smallest rectangle holding every pixel of `color` (or every pixel
    // that differs from `other`); {w, h, 0, 0} when there is none.
    std::vector<LONG> Where(COLORREF color, const Canvas* other = nullptr) const {
        RECT r = {w, h, 0, 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (other ? At(x, y) != other->At(x, y) : At(x, y) == color)
                    r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
                         std::max<LONG>(r.bottom, y + 1)};
        return {r.left, r.top, r.right, r.bottom};
    }
    SIZE Extent(const char* s) const {
        SIZE size = {};
        GetTextExtentPoint32A(dc, s, static_cast<int>(strlen(s)), &size);
        return size;
    }
    int w, h;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp;
    HGDIOBJ oldBmp, oldFont;
};

std::vector<LONG> BoxAt(LONG x, LONG y, SIZE s) { return {x, y, x + s.cx, y + s.cy}; }

// The window text itself, read without asking the label.
std::string RawText(HWND h) {
    wchar_t buf[64] = {};
    InternalGetWindowText(h, buf, 64);
    return std::string(buf, buf + wcslen(buf));
}

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }  // before the labels, as in a dialog
    HWND Bind(CLabelCtrl& l, DWORD style = SS_LEFT, const char* text = "Revision", int w = 120, int h = 80) {
        HWND s = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 0, 0, w, h, parent, nullptr,
                                 nullptr, nullptr);
        EXPECT_TRUE(l.SubclassWindow(s));
        return s;
    }
    static void Paint(CLabelCtrl& l, Canvas& c) { l.Paint(c.dc, RECT{0, 0, c.w, c.h}); }

    TestPlatform tp;
    CLabelCtrl label{tp};
    HWND parent{};
};

TEST_F(LabelTest, AlignmentFromTheStaticAndSetAlignmentPlaceTheText) {
    Canvas m(8, 8);
    const SIZE t = m.Extent("Revision"), q = {t.cy, t.cx}, two = {m.Extent("ab").cx, 2 * t.cy};
    const SIZE column = {m.Extent("a").cx, 2 * t.cy};
    const LONG mid = (80 - t.cy) / 2;
    // ss: the static's own SS_CENTER/SS_RIGHT bits afterwards.
    const struct { const char* what; DWORD style; void (*setup)(CLabelCtrl&); UINT align; DWORD ss;
                   std::vector<LONG> box; } rows[] = {
        {"left", SS_LEFT, nullptr, LA_LEFT | LA_TOP, SS_LEFT, BoxAt(0, 0, t)},
        {"centre", SS_CENTER, nullptr, LA_CENTER | LA_TOP, SS_CENTER, BoxAt((120 - t.cx) / 2, 0, t)},
        {"right", SS_RIGHT, nullptr, LA_RIGHT | LA_TOP, SS_RIGHT, BoxAt(120 - t.cx, 0, t)},
        {"revision label: centred image", SS_CENTERIMAGE, nullptr, LA_LEFT | LA_VCENTER, SS_LEFT, BoxAt(0, mid, t)},
        {"quarter turn, centred", SS_CENTER | SS_CENTERIMAGE, [](CLabelCtrl& l) { l.SetRotation(90); },
         LA_CENTER | LA_VCENTER, SS_CENTER, BoxAt((120 - q.cx) / 2, (80 - q.cy) / 2, q)},
        {"bottom alone is added", SS_LEFT, [](CLabelCtrl& l) { l.SetAlignment(LA_BOTTOM); },
         LA_LEFT | LA_TOP | LA_BOTTOM, SS_LEFT, BoxAt(0, 80 - t.cy, t)},
        {"right and centred exactly", SS_LEFT, [](CLabelCtrl& l) { l.SetAlignment(LA_RIGHT | LA_VCENTER); },
         LA_RIGHT | LA_VCENTER, SS_RIGHT, BoxAt(120 - t.cx, mid, t)},
        {"left beats right", SS_RIGHT, [](CLabelCtrl& l) { l.SetAlignment(LA_LEFT | LA_RIGHT); }, LA_LEFT, SS_LEFT,
         BoxAt(0, 0, t)},
        {"centre replaces right", SS_RIGHT, [](CLabelCtrl& l) { l.SetAlignment(LA_CENTER | LA_BOTTOM); },
         LA_CENTER | LA_BOTTOM, SS_CENTER, BoxAt((120 - t.cx) / 2, 80 - t.cy, t)},
        {"empty line dropped", SS_LEFT, [](CLabelCtrl& l) { l.SetText("ab\n\nab"); }, LA_LEFT | LA_TOP, SS_LEFT,
         BoxAt(0, 0, two)},
        {"vertical twice: one character per line", SS_LEFT,
         [](CLabelCtrl& l) { l.SetText("aa").SetVertical(TRUE).SetVertical(TRUE); }, LA_LEFT | LA_TOP, SS_LEFT,
         BoxAt(0, 0, column)},
    };
    for (const auto& r : rows) {
        CLabelCtrl l(tp);
        HWND h = Bind(l, r.style);
        EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & SS_NOTIFY) << r.what;
        l.SetTextBackColor(kBox);
        if (r.setup) r.setup(l);
        EXPECT_EQ(l.GetAlignment(), r.align) << r.what;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & (SS_CENTER | SS_RIGHT), r.ss) << r.what;
        Canvas out(120, 80);
        Paint(l, out);
        EXPECT_EQ(out.Where(kBox), r.box) << r.what;
    }
}

// Glyph pixels may be smoothed, so text colours are told apart by
// comparing whole paintings.
TEST_F(LabelTest, FreshLabelPaintsWindowTextOnButtonFaceThenItsOwnColour) {
    Bind(label);
    Canvas fresh(120, 80), same(120, 80), own(120, 80);
    Paint(label, fresh);
    label.SetForeColor(GetSysColor(COLOR_WINDOWTEXT));
    Paint(label, same);
    label.SetForeColor(RGB(0xFF, 0, 0xFF));
    Paint(label, own);
    EXPECT_EQ(fresh.Where(GetSysColor(COLOR_BTNFACE))[2], 120);
    EXPECT_EQ(fresh.Where(0, &same)[2], 0) << "no pixel differs";
    EXPECT_GT(fresh.Where(0, &own)[2], 0);
}

TEST_F(LabelTest, BitmapIsCentredFromItsOwnEdgeAndCanBeRemoved) {
    // The logo is 97 x 67: in a client 20 pixels narrower its own column 0
    // lands at x = 5.
    Bind(label, SS_LEFT, "", 77, 67);
    label.SetBackColor(kBox).SetBitmap(IDB_LOGO);
    HBITMAP logo = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_LOGO));
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, logo);
    Canvas out(77, 67);
    Paint(label, out);
    int wrong = 0;
    for (int i = 0; i < 77 * 67; ++i) {
        const int x = i % 77, y = i / 77;
        wrong += out.At(x, y) != (x < 5 ? kBox : GetPixel(src, x - 5, y));
    }
    EXPECT_EQ(wrong, 0);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(logo);

    label.SetBitmap(-1);
    Paint(label, out);
    EXPECT_EQ(out.Where(kBox), (std::vector<LONG>{0, 0, 77, 67}));
}

TEST_F(LabelTest, PlainPathOverABitmapKeepsTheEmptyLine) {
    Bind(label, SS_LEFT, "", 97, 67);
    label.SetBitmap(IDB_LOGO);
    Canvas bare(97, 67), lined(97, 67);
    Paint(label, bare);
    label.SetText("ab\n\ncd");
    Paint(label, lined);
    const LONG line = bare.Extent("ab").cy, inkBottom = lined.Where(0, &bare)[3];
    EXPECT_GT(inkBottom, 2 * line) << "the third line holds text";
    EXPECT_LE(inkBottom, 3 * line);
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
        Canvas out(120, 80);
        for (COLORREF want : {r.alternate, r.normal, r.alternate}) {
            SendMessageA(h, WM_TIMER, 2, 0);
            Paint(l, out);
            EXPECT_EQ(out.At(119, 79), want) << r.what << ": background";
            EXPECT_EQ(out.At(0, 0), want) << r.what << ": behind the text";
        }
        l.BlinkBack(FALSE, 0);
    }
    SetSysColors(1, &face, &saved);
}

TEST_F(LabelTest, WindowTextAndLogicalTextStayApart) {
    HWND h = Bind(label);
    EXPECT_EQ(label.GetText(), "Revision") << "taken from the template";
    SetWindowTextA(h, "2.74");  // from outside: the label shows it
    EXPECT_EQ(label.GetText(), "2.74");
    label.SetText("ab").SetVertical(TRUE);
    EXPECT_EQ(RawText(h), "a\nb");
    EXPECT_EQ(label.GetText(), "ab");
    label.SetVertical(TRUE);
    EXPECT_EQ(RawText(h), "ab");
    label.SetVertical(FALSE).SetText("Revision").BlinkText(TRUE, 60000);
    SendMessageA(h, WM_TIMER, 1, 0);
    ASSERT_EQ(RawText(h), "") << "hidden phase";
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
    label.BlinkText(FALSE, 0);
}

TEST_F(LabelTest, LongFaceNameIsCutAndOverrunsNothing) {
    HWND h = Bind(label);
    label.SetFaceName("Abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJK").SetSystemDrawn(TRUE);
    EXPECT_EQ(label.GetAlignment(), LA_LEFT | LA_TOP);
    Canvas probe(4, 4);
    EXPECT_NE(SendMessageA(h, OCM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(probe.dc), reinterpret_cast<LPARAM>(h)), 0);
    LOGFONTA lf = {};
    GetObjectA(GetCurrentObject(probe.dc, OBJ_FONT), sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, "Abcdefghijklmnopqrstuvwxyz01234");
}

TEST_F(LabelTest, HoverHighlightFollowsTheTipCondition) {
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
        l.SetHoverColor(hover).SetHoverHighlight(TRUE).SetHighlightNeedsTip(r.needsTip);
        if (r.tip) l.EnableTip(TRUE);
        l.SetTipText(r.tipText);
        SendMessageA(h, WM_MOUSEHOVER, 0, 0);
        EXPECT_EQ(l.GetForeColor(), r.hovered) << r.what;
        SendMessageA(h, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(l.GetForeColor(), fore) << r.what;
        EXPECT_FALSE(l.IsSysFore()) << r.what << ": restored through SetForeColor";
    }
    Bind(label);
    label.SetHoverHighlight(FALSE);
    EXPECT_EQ(label.GetForeColor(), fore);
    EXPECT_FALSE(label.IsSysFore());
}

TEST_F(LabelTest, TextBlinkRunsOnTimerOneAndStopsVisible) {
    HWND h = Bind(label);
    label.BlinkText(TRUE, 10);
    MSG msg;
    for (int i = 0; i < 200 && RawText(h) == "Revision"; ++i) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    ASSERT_EQ(RawText(h), "") << "the timer hid the text";
    label.BlinkText(FALSE, 0);
    EXPECT_EQ(RawText(h), "Revision") << "shown at once";
    label.BlinkText(TRUE, 60000);
    SendMessageA(h, WM_TIMER, 1, 0);
    EXPECT_EQ(RawText(h), "Revision") << "the first tick after a hidden stop shows";
    SendMessageA(h, WM_TIMER, 1, 0);
    EXPECT_EQ(RawText(h), "");
    EXPECT_EQ(label.GetText(), "Revision");
    label.BlinkText(FALSE, 0);
}

TEST_F(LabelTest, ClickOpensTheTextOnlyWhenAsked) {
    HWND h = Bind(label, SS_LEFT, "http://example.test/fw");
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_TRUE(tp.shellOpened.empty());
    label.SetOpenOnClick(TRUE);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(tp.shellOpened, std::vector<std::string>{"open|http://example.test/fw"});
}

}  // namespace

// The owner control's tooltip: the popup, measuring, placement, painting, and the polling of
// pointer, buttons and focus through the test platform (WM_TIMER 1 is sent, and once waited for).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "ui/controls/ControlToolTip.h"

namespace ctltest {  // in LabelTest.cpp
SIZE Extent(const std::string& s);
std::vector<LONG> Box(const RECT& r);
std::vector<COLORREF> Read(HDC dc, int w, int h);
bool PumpUntil(const std::function<bool()>& done);
}  // namespace ctltest

namespace {
using namespace ctltest;
constexpr LONG kDlgX = 200, kDlgY = 150, kOwnX = 20, kOwnY = 30, kOwnW = 80, kOwnH = 24;

// Every button reports its toggle bit too, which must never count as held.
struct TogglingPlatform : TestPlatform {
    SHORT GetKeyState(int key) override { return static_cast<SHORT>(TestPlatform::GetKeyState(key) | 1); }
};

HWND Window(HWND p, int x, int y, int w, int h) {
    return CreateWindowExA(0, "STATIC", "", WS_VISIBLE | (p ? WS_CHILD : WS_POPUP), x, y, w, h, p, 0, 0, 0);
}
RECT OnScreen(HWND h) {
    RECT r;
    return GetWindowRect(h, &r), r;
}

class ToolTipTest : public ::testing::Test {
protected:
    ~ToolTipTest() override { DestroyWindow(dlg), DestroyWindow(other); }
    // Pointer inside the owner, left button held, focus in the owner's dialog.
    void Arm() { tp.cursor = {kDlgX + kOwnX + 5, kDlgY + kOwnY + 5}, tp.leftButtonDown = true, tp.focus = sibling; }
    static void Tick(CControlToolTip& t) { SendMessageA(t.GetSafeHwnd(), WM_TIMER, 1, 0); }
    static bool Shown(CControlToolTip& t) { return IsWindowVisible(t.GetSafeHwnd()) != FALSE; }

    TogglingPlatform tp;
    CControlToolTip tip{tp};
    HWND dlg = Window(nullptr, kDlgX, kDlgY, 300, 200), other = Window(nullptr, 600, 400, 100, 100);
    HWND owner = Window(dlg, kOwnX, kOwnY, kOwnW, kOwnH), sibling = Window(dlg, 20, 100, 80, 24);
    HWND elsewhere = Window(other, 0, 0, 50, 50);
};

TEST_F(ToolTipTest, MeasuresTheWidestLineAndEveryLineFeedAtCreateOrSetText) {
    const LONG lineH = Extent("X").cy;
    const std::string wide(60, 'W');
    std::string longText;  // 81 lines, well over 1,024 bytes
    for (int i = 0; i < 80; ++i) longText += (i == 40 ? wide : std::string("0123456789 a line")) + "\n";
    ASSERT_GT(longText.size(), 1024u);
    const struct { std::string text; LONG width, height; } rows[] = {
        {"one line", Extent("one line").cx, lineH},
        {"\n\nab\n", Extent("ab").cx, 4 * lineH},
        {longText, Extent(wide).cx, 81 * lineH},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        CControlToolTip before{tp}, after{tp};
        before.SetText(row.text.c_str());
        EXPECT_EQ(Box(before.GetTextRect()), Box({0, 0, 0, 0}));  // measured at Create
        ASSERT_EQ(before.Create(owner), 1);
        ASSERT_EQ(after.Create(owner), 1);
        after.SetText(row.text.c_str());
        for (auto* t : {&before, &after}) EXPECT_EQ(Box(t->GetTextRect()), Box({0, 0, row.width + 4, row.height + 4}));
    }
}

TEST_F(ToolTipTest, ShowsAtEachPlacementInScreenCoordinatesAndPaintsCustomColoursOnlyWhileAskedFor) {
    tip.SetText("WWW");
    ASSERT_EQ(tip.Create(owner), 1);
    const LONG w = tip.GetTextRect().right, h = tip.GetTextRect().bottom, x = kDlgX + kOwnX, top = kDlgY + kOwnY;
    for (const auto& [placement, y] : {std::pair{1, top + kOwnH}, {2, top - h}, {0, top}}) {
        SCOPED_TRACE(placement);
        tp.leftButtonDown = false, Tick(tip);  // hidden, then shown by the poll at the new place
        tip.SetPlacement(placement), Arm(), Tick(tip);
        ASSERT_TRUE(Shown(tip));
        EXPECT_EQ(Box(OnScreen(tip.GetSafeHwnd())), Box({x, y, x + w, y + h}));
        for (int ignored : {3, -1}) tip.SetPlacement(ignored);
        EXPECT_EQ(tip.GetPlacement(), placement);
    }
    tip.SetPlacement(2);  // a shown popup moves at once
    EXPECT_EQ(OnScreen(tip.GetSafeHwnd()).bottom, top);
    const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255), bk = GetSysColor(COLOR_INFOBK);
    // Each change repaints the shown popup at once; the text colour shows only with the custom background.
    const struct { BOOL custom; COLORREF back, text, corner; bool textSeen; } steps[] = {
        {TRUE, blue, red, blue, true}, {TRUE, blue, green, blue, true}, {FALSE, red, green, bk, false}};
    for (const auto& step : steps) {
        tip.SetCustomBack(step.custom, step.back), tip.SetForeColor(step.text);
        HDC hdc = GetDC(tip.GetSafeHwnd());
        const std::vector<COLORREF> px = Read(hdc, w - 2, h - 2);  // inside the border; the corner is in the margin
        ReleaseDC(tip.GetSafeHwnd(), hdc);
        EXPECT_EQ(px.back(), step.corner);
        EXPECT_EQ(std::find(px.begin(), px.end(), step.text) != px.end(), step.textSeen);
    }
}

TEST_F(ToolTipTest, PollShowsOnlyWhileTheButtonIsHeldOverTheOwnerWithFocusInItsDialog) {
    const RECT o = OnScreen(owner);
    const POINT in = {o.left + 5, o.top + 5};
    const HWND sib = sibling;  // focus in the owner's dialog
    const struct { const char* what; BOOL needs, left; bool l, r; POINT at; HWND focus; bool shown; } rows[] = {
        {"no button", 1, 1, false, false, in, sib, false},
        {"left held", 1, 1, true, false, in, sib, true},
        {"focus in another window", 1, 1, true, false, in, elsewhere, false},
        {"no focus", 1, 1, true, false, in, nullptr, false},
        {"right-bottom edge", 1, 1, true, false, {o.right, o.bottom}, sib, true},
        {"right of the edge", 1, 1, true, false, {o.right + 1, o.bottom}, sib, false},
        {"below the edge", 1, 1, true, false, {o.right, o.bottom + 1}, sib, false},
        {"no button needed", 0, 1, false, false, in, sib, true},
        {"right mode, left held", 1, 0, true, false, in, sib, false},
        {"right mode, right held", 1, 0, false, true, in, sib, true},
    };
    tip.SetText("tip");
    ASSERT_EQ(tip.Create(owner), 1);
    for (const auto& row : rows)
        for (bool wasShown : {false, true}) {
            SCOPED_TRACE(std::string(row.what) + (wasShown ? ", from shown" : ", from hidden"));
            tip.SetNeedsButton(TRUE), tip.SetLeftButton(TRUE), Arm();
            tp.rightButtonDown = false, tp.leftButtonDown = wasShown, Tick(tip);
            ASSERT_EQ(Shown(tip), wasShown);
            tip.SetNeedsButton(row.needs), tip.SetLeftButton(row.left);
            tp.leftButtonDown = row.l, tp.rightButtonDown = row.r, tp.cursor = row.at, tp.focus = row.focus, Tick(tip);
            EXPECT_EQ(Shown(tip), row.shown);
        }
    tip.SetNeedsButton(TRUE), tip.SetLeftButton(TRUE), tp.leftButtonDown = false, Tick(tip);
    ASSERT_FALSE(Shown(tip));
    Arm();  // the pointer rests on the owner, the button held: the popup's own timer shows it
    EXPECT_TRUE(PumpUntil([&] { return Shown(tip); })) << "shown by its own polling timer";
}

TEST_F(ToolTipTest, CreateReplacesThePopupTextChangesFollowItAndDestroyEndsIt) {
    ASSERT_EQ(tip.Create(sibling), 1);
    HWND old = tip.GetSafeHwnd();
    ASSERT_EQ(tip.Create(owner), 1);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(owner, tip.GetOwner());
    const HWND h = tip.GetSafeHwnd();  // a bordered, unowned, topmost tool window
    EXPECT_EQ(GetWindowLongA(h, GWL_STYLE) & ~WS_CLIPSIBLINGS, LONG(WS_POPUP | WS_BORDER));  // the system adds it
    EXPECT_EQ(GetWindowLongA(h, GWL_EXSTYLE), 0x88);
    EXPECT_EQ(GetAncestor(h, GA_PARENT), GetDesktopWindow());
    EXPECT_EQ(GetWindow(h, GW_OWNER), nullptr);
    WNDCLASSA wc = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "ControlToolTip", &wc));
    EXPECT_EQ(wc.style, 0x0808u);
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_INFOBK + 1));
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    Arm(), Tick(tip);  // the pointer is over the new owner, not the old one
    EXPECT_FALSE(Shown(tip));  // an empty text never shows
    tip.SetText("a"), Tick(tip);
    ASSERT_TRUE(Shown(tip));
    tip.SetText("a much longer text");
    EXPECT_EQ(OnScreen(tip.GetSafeHwnd()).right - kDlgX - kOwnX, Extent("a much longer text").cx + 4);
    tip.SetText("");
    EXPECT_FALSE(Shown(tip));
    old = tip.GetSafeHwnd();
    EXPECT_TRUE(tip.Destroy());
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(tip.GetSafeHwnd(), nullptr);
    EXPECT_EQ(tip.GetOwner(), nullptr);
    EXPECT_TRUE(tip.Destroy()) << "a second Destroy";
    old = nullptr;
    if (CControlToolTip scoped{tp}; scoped.Create(owner)) old = scoped.GetSafeHwnd();  // ended with the object
    ASSERT_NE(old, nullptr);
    EXPECT_FALSE(IsWindow(old));
}

}  // namespace

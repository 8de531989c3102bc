// The label's off-screen text surface: image sizes per angle, the quarter-turn
// mapping on both rotation paths, cutting, and etched lines. Also home of the
// pixel helpers the label and tooltip tests share.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "ui/controls/RotatedText.h"

namespace ctltest {
SIZE Extent(const std::string& s) {  // the GUI font on a screen DC
    HDC hdc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE size = {};
    GetTextExtentPoint32A(hdc, s.data(), static_cast<int>(s.size()), &size);
    return SelectObject(hdc, old), ReleaseDC(nullptr, hdc), size;
}
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
        {"one line unturned", "Revision", 0, one.cx, one.cy},
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
            const RECT& i = rt.GetImageRect();
            EXPECT_EQ(std::vector<LONG>({i.left, i.top, i.right, i.bottom}), std::vector<LONG>({0, 0, r.w, r.h}))
                << r.what;
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

}  // namespace

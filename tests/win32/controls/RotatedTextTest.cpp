// The label's off-screen text surface: image sizes per angle, the quarter-turn
// mapping on both rotation paths, cutting, and etched lines. Pixels are read
// from memory DIBs.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "TestPlatform.h"
#include "ui/controls/RotatedText.h"

namespace {

constexpr COLORREF kBack = RGB(0, 0xFF, 0), kInk = RGB(0xFF, 0, 0);

// A 32-bit memory surface with the GUI font selected.
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

TEST(RotatedTextTest, ImageSizeFollowsLinesAndAngle) {
    Canvas c(8, 8);
    const SIZE one = c.Extent("Revision"), wide = c.Extent("Wide line");
    const struct { const char* what; const char* text; int angle; LONG w, h; } rows[] = {
        {"one line unturned", "Revision", 0, one.cx, one.cy},
        {"quarter turn swaps the sides", "Revision", 90, one.cy, one.cx},
        {"half turn keeps them", "Revision", 180, one.cx, one.cy},
        {"three quarters swaps them", "Revision", 270, one.cy, one.cx},
        {"other angles stay unturned", "Revision", 45, one.cx, one.cy},
        {"empty lines take no room", "\nab\n\nWide line\n", 0, wide.cx, 2 * wide.cy},
        {"lines as wide as the widest", "ab\nWide line", 90, 2 * wide.cy, wide.cx},
        {"empty text, empty image", "", 90, 0, 0},
        {"only line feeds, empty image", "\n\n", 0, 0, 0},
    };
    for (const auto& r : rows) {
        CRotatedText rt(c.dc, r.text, 0, 0);
        ASSERT_TRUE(rt.Render(r.angle)) << r.what;
        EXPECT_NE(rt.GetImageDC(), nullptr) << r.what;
        const RECT& image = rt.GetImageRect();
        EXPECT_EQ(std::vector<LONG>({image.left, image.top, image.right, image.bottom}),
                  std::vector<LONG>({0, 0, r.w, r.h}))
            << r.what;
    }
}

// The pixels of the image of `text` turned by `angle`, row by row.
std::vector<COLORREF> Turned(Platform& p, int angle, SIZE& size) {
    Canvas c(8, 8);
    CRotatedText rt(c.dc, "Fg\nR", 1, 0, p);
    rt.SetTextColor(kInk);
    rt.SetTextBackColor(kBack);
    EXPECT_TRUE(rt.Render(angle));
    size = {rt.GetImageRect().right, rt.GetImageRect().bottom};
    std::vector<COLORREF> px;
    for (int i = 0; i < size.cx * size.cy; ++i) px.push_back(GetPixel(rt.GetImageDC(), i % size.cx, i / size.cx));
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
        ASSERT_EQ(sNt.cx, r.angle == 180 ? w : h) << r.what;
        EXPECT_TRUE(s9x.cx == sNt.cx && by9x == byNt) << r.what;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const POINT p = r.to(x, y, w, h);
                wrong += byNt[p.y * sNt.cx + p.x] != flat[y * w + x];
            }
        EXPECT_EQ(wrong, 0) << r.what;
    }
}

TEST(RotatedTextTest, TooLargeImageLosesItsRightAndBottomParts) {
    Canvas c(10, 5);
    CRotatedText rt(c.dc, "Revision", 2, 2);
    EXPECT_FALSE(rt.Draw(RECT{0, 0, 10, 5})) << "no image yet";
    ASSERT_TRUE(rt.Render(0));
    EXPECT_TRUE(rt.Draw(RECT{0, 0, 10, 5}));
    int wrong = 0;
    for (int i = 0; i < 50; ++i) wrong += c.At(i % 10, i / 10) != GetPixel(rt.GetImageDC(), i % 10, i / 10);
    EXPECT_EQ(wrong, 0);
}

// Every pixel of the shadow colour outside `image`: the one row (or column)
// it lies on (-2: more than one) and its runs along it.
using Runs = std::vector<std::pair<int, int>>;
std::pair<int, Runs> Etched(const Canvas& c, bool horizontal, const RECT& image) {
    std::pair<int, Runs> line{-1, {}};
    const int along = horizontal ? c.w : c.h, across = horizontal ? c.h : c.w;
    for (int j = 0; j < across; ++j)
        for (int i = 0; i < along; ++i) {
            const POINT p = horizontal ? POINT{i, j} : POINT{j, i};
            if (PtInRect(&image, p) || c.At(p.x, p.y) != GetSysColor(COLOR_BTNSHADOW)) continue;
            if (line.first != -1 && line.first != j) return {-2, {}};
            line.first = j;
            if (!line.second.empty() && line.second.back().second == i)
                ++line.second.back().second;
            else
                line.second.push_back({i, i + 1});
        }
    return line;
}

TEST(RotatedTextTest, EtchedLinesKeepSixPixelsFromTextAndEdge) {
    // Expected line in a 200 x 100 client, from the image's size.
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
        Canvas c(200, 100);
        CRotatedText rt(c.dc, r.text, r.horz, r.vert);
        rt.SetEtched(TRUE);
        ASSERT_TRUE(rt.Render(r.angle)) << r.what;
        rt.Draw(RECT{0, 0, 200, 100});
        const int iw = rt.GetImageRect().right, ih = rt.GetImageRect().bottom;
        const int x = r.horz * (200 - iw) / 2, y = r.vert * (100 - ih) / 2;  // where the image went
        EXPECT_EQ(Etched(c, r.angle == 0 || r.angle == 180, RECT{x, y, x + iw, y + ih}), r.expect(iw, ih))
            << r.what;
    }
}

}  // namespace

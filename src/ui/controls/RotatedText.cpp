#include "ui/controls/RotatedText.h"

#include <algorithm>
#include <cstdint>

namespace {

// Gap between the text and an etched line, and between a line and the edge.
constexpr int kEtchGap = 6;

// Calls fn(start, length) for every non-empty piece of text between line
// feeds, in order. Consecutive, leading and trailing line feeds give no
// piece, so an empty line never takes room in the laid-out box.
template <class Fn>
void ForEachLine(const std::string& text, Fn fn) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) fn(text.data() + start, static_cast<int>(end - start));
        start = end + 1;
    }
}

UINT HorzFormat(int index) { return index == 2 ? DT_RIGHT : index == 1 ? DT_CENTER : DT_LEFT; }

// Offset of a part of size `part` inside `whole` for alignment index 0/1/2.
int AlignOffset(int index, int whole, int part) {
    if (index == 1) return (whole - part) / 2;
    if (index == 2) return whole - part;
    return 0;
}

}  // namespace

CRotatedText::CRotatedText(HDC hTarget, const std::string& text, int horzIndex, int vertIndex,
                           Platform& platform)
    : m_hTarget(hTarget),
      m_nHorz(horzIndex),
      m_nVert(vertIndex),
      m_strText(text),
      m_crTextBack(::GetSysColor(COLOR_BTNFACE)),
      m_crText(::GetSysColor(COLOR_WINDOWTEXT)),
      m_platform(platform) {}

CRotatedText::~CRotatedText() { ReleaseImage(); }

void CRotatedText::ReleaseImage() {
    if (m_hImageDC != nullptr) {
        ::SelectObject(m_hImageDC, m_hImageOld);
        ::DeleteDC(m_hImageDC);
    }
    if (m_hImageBitmap != nullptr) ::DeleteObject(m_hImageBitmap);
    m_hImageDC = nullptr;
    m_hImageBitmap = nullptr;
    m_hImageOld = nullptr;
    m_rcImage = RECT{0, 0, 0, 0};
    m_nAngle = 0;
}

BOOL CRotatedText::Render(int angle) {
    ReleaseImage();
    m_nAngle = angle;

    // Every line is as wide as the widest and as high as the highest.
    int lines = 0, lineW = 0, lineH = 0;
    ForEachLine(m_strText, [&](const char* p, int n) {
        ++lines;
        SIZE size;
        if (!::GetTextExtentPoint32A(m_hTarget, p, n, &size)) return;
        lineW = std::max(lineW, static_cast<int>(size.cx));
        lineH = std::max(lineH, static_cast<int>(size.cy));
    });
    const int w = lineW, h = lineH * lines;
    // Both surfaces are square so that every turn of the box fits; an empty
    // text still gets a 1 x 1 surface and so an (empty) image.
    const int side = std::max({w, h, 1});

    std::uint32_t* srcBits = nullptr;
    std::uint32_t* imageBits = nullptr;
    HBITMAP hSrcBitmap = CreateSurface(side, &srcBits);
    HBITMAP hImageBitmap = CreateSurface(side, &imageBits);
    HDC hSrc = ::CreateCompatibleDC(m_hTarget);
    HDC hImage = ::CreateCompatibleDC(m_hTarget);
    if (hSrcBitmap == nullptr || hImageBitmap == nullptr || hSrc == nullptr || hImage == nullptr) {
        if (hImage != nullptr) ::DeleteDC(hImage);
        if (hSrc != nullptr) ::DeleteDC(hSrc);
        if (hImageBitmap != nullptr) ::DeleteObject(hImageBitmap);
        if (hSrcBitmap != nullptr) ::DeleteObject(hSrcBitmap);
        return FALSE;
    }
    HGDIOBJ hOldSrcBitmap = ::SelectObject(hSrc, hSrcBitmap);
    HGDIOBJ hOldImageBitmap = ::SelectObject(hImage, hImageBitmap);
    HGDIOBJ hOldFont = ::SelectObject(hSrc, ::GetCurrentObject(m_hTarget, OBJ_FONT));
    ::SetBkMode(hSrc, TRANSPARENT);

    const RECT box = {0, 0, w, h};
    HBRUSH hBrush = ::CreateSolidBrush(m_crTextBack);
    if (hBrush != nullptr) {
        ::FillRect(hSrc, &box, hBrush);
        ::FillRect(hImage, &box, hBrush);
    }

    ::SetTextColor(hSrc, m_crText);
    const UINT format = HorzFormat(m_nHorz) | DT_VCENTER | DT_SINGLELINE;
    int i = 0;
    ForEachLine(m_strText, [&](const char* p, int n) {
        RECT line = {0, i * lineH, w, (i + 1) * lineH};
        ++i;
        if (m_bEmbossed) {
            // The disabled look: a highlight copy one pixel down and right
            // under the line itself in the shadow colour.
            ::SetTextColor(hSrc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
            RECT moved = line;
            ::OffsetRect(&moved, 1, 1);
            ::DrawTextA(hSrc, p, n, &moved, format);
            ::SetTextColor(hSrc, ::GetSysColor(COLOR_BTNSHADOW));
        }
        ::DrawTextA(hSrc, p, n, &line, format);
    });

    const BOOL turned = Rotate(Surface{hImage, imageBits, side}, Surface{hSrc, srcBits, side}, w, h);

    ::SelectObject(hSrc, hOldFont);
    ::SelectObject(hSrc, hOldSrcBitmap);
    ::DeleteDC(hSrc);
    ::DeleteObject(hSrcBitmap);
    if (hBrush != nullptr) ::DeleteObject(hBrush);

    m_hImageDC = hImage;
    m_hImageBitmap = hImageBitmap;
    m_hImageOld = hOldImageBitmap;
    if (!turned) {
        // A half-made image would be shown as if it were the text.
        ReleaseImage();
        return FALSE;
    }
    const bool quarter = angle == 90 || angle == 270;
    m_rcImage = RECT{0, 0, quarter ? h : w, quarter ? w : h};
    return TRUE;
}

HBITMAP CRotatedText::CreateSurface(int side, std::uint32_t** bits) const {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = side;
    bi.bmiHeader.biHeight = -side;  // top-down: row y starts at y * side
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(m_hTarget, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    *bits = static_cast<std::uint32_t*>(p);
    return hBitmap;
}

BOOL CRotatedText::Rotate(const Surface& dst, const Surface& src, int w, int h) const {
    if (w <= 0 || h <= 0) return TRUE;  // nothing to turn
    if (m_nAngle == 0) return ::BitBlt(dst.dc, 0, 0, w, h, src.dc, 0, 0, SRCCOPY);

    const bool nt = (m_platform.GetVersion() & 0x80000000u) == 0;
    // The NT family turns the box in the surfaces' memory, one read and one
    // write per pixel without a drawing call each. (A parallelogram blit
    // would do the same on Windows, but hosts that emulate it with a
    // stretched copy cannot turn by a quarter and return a distorted image.)
    // The 9x family does it through the context, pixel by pixel.
    if (nt) ::GdiFlush();  // the text drawn into the source must be in memory
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            int tx = x, ty = y;
            switch (m_nAngle) {
            case 90: tx = h - 1 - y; ty = x; break;
            case 180: tx = w - 1 - x; ty = h - 1 - y; break;
            case 270: tx = y; ty = w - 1 - x; break;
            default: break;
            }
            if (nt)
                dst.bits[ty * dst.side + tx] = src.bits[y * src.side + x];
            else
                ::SetPixel(dst.dc, tx, ty, ::GetPixel(src.dc, x, y));
        }
    }
    return TRUE;
}

BOOL CRotatedText::Draw(const RECT& client) {
    if (m_hImageDC == nullptr) return FALSE;
    const int cw = std::max(0, static_cast<int>(client.right - client.left));
    const int ch = std::max(0, static_cast<int>(client.bottom - client.top));
    // A larger image loses its right and bottom parts.
    const int iw = std::min(static_cast<int>(m_rcImage.right - m_rcImage.left), cw);
    const int ih = std::min(static_cast<int>(m_rcImage.bottom - m_rcImage.top), ch);
    const int x = AlignOffset(m_nHorz, cw, iw);
    const int y = AlignOffset(m_nVert, ch, ih);
    const BOOL copied = ::BitBlt(m_hTarget, x, y, iw, ih, m_hImageDC, 0, 0, SRCCOPY);
    if (m_bEtched) DrawEtchedLines(client, iw, ih);
    return copied;
}

void CRotatedText::DrawEtchedLines(const RECT& client, int iw, int ih) const {
    const int cw = std::max(0, static_cast<int>(client.right - client.left));
    const int ch = std::max(0, static_cast<int>(client.bottom - client.top));
    const bool horizontal = m_nAngle == 0 || m_nAngle == 180;
    // Along the text's own direction: the client's length, the image's
    // length and the alignment index on that axis.
    const int len = horizontal ? cw : ch;
    const int part = horizontal ? iw : ih;
    const int along = horizontal ? m_nHorz : m_nVert;
    // Across it: where the line lies, in the middle of the image.
    const int across = horizontal ? (m_nVert == 1 ? ch / 2 : m_nVert == 2 ? ch - ih / 2 : ih / 2)
                                  : (m_nHorz == 1 ? cw / 2 : m_nHorz == 2 ? cw - iw / 2 : iw / 2);

    int from[2], to[2], count = 1;
    if (along == 1) {
        from[0] = kEtchGap;
        to[0] = len / 2 - part / 2 - kEtchGap;
        from[1] = len / 2 + part / 2 + kEtchGap;
        to[1] = len - kEtchGap;
        count = 2;
    } else if (along == 2) {
        from[0] = kEtchGap;
        to[0] = len - part - kEtchGap;
    } else {
        from[0] = part + kEtchGap;
        to[0] = len - kEtchGap;
    }
    for (int i = 0; i < count; ++i) {
        if (to[i] <= from[i]) continue;  // no room beside the text
        RECT r = horizontal ? RECT{from[i], across, to[i], across + 2} : RECT{across, from[i], across + 2, to[i]};
        ::DrawEdge(m_hTarget, &r, EDGE_ETCHED, horizontal ? BF_TOP : BF_LEFT);
    }
}

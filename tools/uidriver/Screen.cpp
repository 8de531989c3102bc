#include "Screen.h"

#include <cstdio>
#include <memory>

namespace uidriver {

namespace {

// A top-down 32-bit DIB section selected into a memory DC, released in order.
class DibCanvas {
public:
    DibCanvas(int width, int height) : m_width(width), m_height(height) {
        m_hdc = ::CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_hBitmap = ::CreateDIBSection(m_hdc, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (m_hBitmap != nullptr) m_hOld = ::SelectObject(m_hdc, m_hBitmap);
    }
    ~DibCanvas() {
        if (m_hOld != nullptr) ::SelectObject(m_hdc, m_hOld);
        if (m_hBitmap != nullptr) ::DeleteObject(m_hBitmap);
        if (m_hdc != nullptr) ::DeleteDC(m_hdc);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    bool Ok() const { return m_bits != nullptr; }
    HDC Dc() const { return m_hdc; }
    Pixels Read() const {
        ::GdiFlush();
        Pixels p;
        p.width = m_width;
        p.height = m_height;
        const auto* src = static_cast<const std::uint32_t*>(m_bits);
        p.data.assign(src, src + static_cast<size_t>(m_width) * m_height);
        for (auto& px : p.data) px &= 0x00FFFFFF;
        return p;
    }

private:
    int m_width, m_height;
    HDC m_hdc = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOld = nullptr;
    void* m_bits = nullptr;
};

}  // namespace

Pixels CaptureScreen(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};
    DibCanvas canvas(width, height);
    if (!canvas.Ok()) return {};
    HDC screen = ::GetDC(nullptr);
    ::BitBlt(canvas.Dc(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    return canvas.Read();
}

Pixels CaptureControl(HWND dialog, int id) {
    RECT area{};
    HWND control = ::GetDlgItem(dialog, id);
    return control != nullptr && ::GetWindowRect(control, &area) ? CaptureScreen(area) : Pixels{};
}

namespace detail {

Pixels RenderWith(int width, int height, std::uint32_t background, void (*draw)(HDC, void*), void* context) {
    DibCanvas canvas(width, height);
    if (!canvas.Ok()) return {};
    const COLORREF bg = RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
    HBRUSH brush = ::CreateSolidBrush(bg);
    RECT all{0, 0, width, height};
    ::FillRect(canvas.Dc(), &all, brush);
    ::DeleteObject(brush);
    draw(canvas.Dc(), context);
    return canvas.Read();
}

}  // namespace detail

bool SaveScreenshot(const std::string& path) {
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const Pixels p = CaptureScreen(screen);
    if (p.data.empty()) return false;
    const int stride = (p.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = p.width;
    info.biHeight = p.height;  // bottom-up rows, as .bmp readers expect
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride) * p.height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!out) return false;
    std::fwrite(&file, sizeof file, 1, out.get());
    std::fwrite(&info, sizeof info, 1, out.get());
    std::vector<unsigned char> row(static_cast<size_t>(stride), 0);
    for (int y = p.height - 1; y >= 0; --y) {
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t px = p.At(x, y);
            row[x * 3 + 0] = static_cast<unsigned char>(px);
            row[x * 3 + 1] = static_cast<unsigned char>(px >> 8);
            row[x * 3 + 2] = static_cast<unsigned char>(px >> 16);
        }
        std::fwrite(row.data(), 1, row.size(), out.get());
    }
    return std::ferror(out.get()) == 0;
}

}  // namespace uidriver

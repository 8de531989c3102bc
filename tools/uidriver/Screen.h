// Pictures of the screen: whole-screen .bmp files for the record, and
// pixel reads of one window's area (Wine paints every window onto the X
// screen, so a screen copy is what a person sees; PrintWindow is blank there).
#ifndef UIDRIVER_SCREEN_H
#define UIDRIVER_SCREEN_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace uidriver {

// 0x00RRGGBB pixels, row by row from the top.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> data;
    std::uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

// Copies a rectangle of the screen (screen coordinates).
Pixels CaptureScreen(const RECT& area);
// Copies a dialog control's window area from the screen (empty if no such control).
Pixels CaptureControl(HWND dialog, int id);
// Draws into a fresh bitmap of the given size, filled with `background`.
template <class Draw>
Pixels Render(int width, int height, std::uint32_t background, Draw draw);
// Writes the whole screen as a 24-bit .bmp file.
bool SaveScreenshot(const std::string& path);

namespace detail {
Pixels RenderWith(int width, int height, std::uint32_t background, void (*draw)(HDC, void*), void* context);
}

template <class Draw>
Pixels Render(int width, int height, std::uint32_t background, Draw draw) {
    return detail::RenderWith(width, height, background,
                              [](HDC hdc, void* context) { (*static_cast<Draw*>(context))(hdc); }, &draw);
}

}  // namespace uidriver

#endif

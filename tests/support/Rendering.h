// A window's client area rendered into a memory bitmap (WM_PRINTCLIENT), for pixel checks
// that compare parts of one rendering, or two renderings, with each other.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace testsupport {

class Rendering {
public:
    // Asks `hwnd` to paint its client area (background included) into a bitmap of its size.
    static Rendering OfClient(HWND hwnd);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // The colour at (x, y); CLR_INVALID outside the bitmap.
    COLORREF At(int x, int y) const;
    // Pixels of `color` inside the rectangle.
    int Count(const RECT& area, COLORREF color) const;
    // The smallest rectangle holding every pixel inside `area` that is not `background`;
    // empty when there is none.
    RECT Ink(const RECT& area, COLORREF background) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;  // top-down rows, 0x00RRGGBB
};

}  // namespace testsupport

#include "tests/support/Rendering.h"

#include <algorithm>

namespace testsupport {

Rendering Rendering::OfClient(HWND hwnd) {
    Rendering r;
    RECT client{};
    GetClientRect(hwnd, &client);
    r.width_ = client.right;
    r.height_ = client.bottom;
    if (r.width_ <= 0 || r.height_ <= 0) return r;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = r.width_;
    info.bmiHeader.biHeight = -r.height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                 PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    r.pixels_.assign(p, p + static_cast<size_t>(r.width_) * static_cast<size_t>(r.height_));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return r;
}

COLORREF Rendering::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const uint32_t v =
        pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int Rendering::Count(const RECT& area, COLORREF color) const {
    int n = 0;
    for (int y = std::max(0L, area.top); y < std::min<long>(height_, area.bottom); ++y) {
        for (int x = std::max(0L, area.left); x < std::min<long>(width_, area.right); ++x) {
            if (At(x, y) == color) ++n;
        }
    }
    return n;
}

RECT Rendering::Ink(const RECT& area, COLORREF background) const {
    RECT ink{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (int y = std::max(0L, area.top); y < std::min<long>(height_, area.bottom); ++y) {
        for (int x = std::max(0L, area.left); x < std::min<long>(width_, area.right); ++x) {
            if (At(x, y) == background) continue;
            ink.left = std::min<LONG>(ink.left, x);
            ink.top = std::min<LONG>(ink.top, y);
            ink.right = std::max<LONG>(ink.right, x + 1);
            ink.bottom = std::max<LONG>(ink.bottom, y + 1);
        }
    }
    if (ink.left > ink.right) return RECT{};
    return ink;
}

}  // namespace testsupport

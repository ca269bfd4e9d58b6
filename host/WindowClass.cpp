#include "host/WindowClass.h"

#include "host/Program.h"

namespace Host::WindowClass {

void Register(const wchar_t* name, WNDPROC procedure, UINT style, LPCWSTR cursor) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(Program::Instance(), name, &wc)) return;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.hInstance = Program::Instance();
    wc.hCursor = cursor ? LoadCursorW(nullptr, cursor) : nullptr;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

void* OwnerOf(HWND hwnd) {
    return reinterpret_cast<void*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Release(HWND hwnd) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
}

void* Track(HWND hwnd, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (msg == WM_NCDESTROY) {
        Release(hwnd);
        return nullptr;
    }
    return OwnerOf(hwnd);
}

}  // namespace Host::WindowClass

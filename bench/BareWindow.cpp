// The baseline for the start-up benchmark: the least a Win32 program does to show a window.
#include <windows.h>

#include "tests/support/TestWindow.h"

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const wchar_t* windowClass = testsupport::WindowClass(
        L"PaylevixBareWindow", WindowProc, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
        LoadCursorW(nullptr, IDC_ARROW));
    HWND hwnd = CreateWindowExW(0, windowClass, L"Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 430, 510, nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

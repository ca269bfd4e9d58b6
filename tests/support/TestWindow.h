// Window classes of a test or benchmark program, registered once each.
#pragma once

#include <windows.h>

namespace testsupport {

// Registers window class `name` of this program with `procedure` the first time it is asked
// for (later calls find it) and returns `name`; null when it cannot be registered.
// `windowExtra` is DLGWINDOWEXTRA for a class of the system's dialog procedure.
inline const wchar_t* WindowClass(const wchar_t* name, WNDPROC procedure, int windowExtra = 0,
                                  HBRUSH background = nullptr, HCURSOR cursor = nullptr) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    if (GetClassInfoW(instance, name, &wc)) return name;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = windowExtra;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassW(&wc) ? name : nullptr;
}

}  // namespace testsupport

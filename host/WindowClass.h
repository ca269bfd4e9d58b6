// WindowClass: the host's own window classes, registered once per process, each window's
// messages passed to the C++ object that owns it.
//
// The owner is the creation parameter of CreateWindowExW. Its procedure hears the window's
// messages once CreateWindowExW has returned and the owner knows its window (`Hwnd()`), until
// it lets go (Release) or the window's last message: the messages of creation and of
// destruction after that get the default.
#pragma once

#include <windows.h>

namespace Host::WindowClass {

// Registers `name` in the program's module unless it is there already.
void Register(const wchar_t* name, WNDPROC procedure, UINT style = CS_DBLCLKS,
              LPCWSTR cursor = IDC_ARROW);

// The owner recorded for `hwnd`, or null; and letting go of it before the window goes.
void* OwnerOf(HWND hwnd);
void Release(HWND hwnd);
// Records the owner at WM_NCCREATE and forgets it at WM_NCDESTROY; the owner to call, or null.
void* Track(HWND hwnd, UINT msg, LPARAM lParam);

template <class Owner, LRESULT (Owner::*Procedure)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK Forward(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* owner = static_cast<Owner*>(Track(hwnd, msg, lParam));
    if (!owner || owner->Hwnd() != hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return (owner->*Procedure)(msg, wParam, lParam);
}

}  // namespace Host::WindowClass

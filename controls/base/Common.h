// Common: helpers shared by the setup program and every control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace Common {

// The program's title: the caption of every message box that has none of its own.
inline constexpr wchar_t kAppTitle[] = L"Paylevix";

// Shows a Unicode message box and returns the identifier of the button that closed it
// (0 when the box could not be shown). `style` goes to the system unchanged. An
// MB_SYSTEMMODAL box is owned by the foreground window, whichever program owns it;
// any other by the program's own active window, else by GetActiveWindow().
int32_t ShowMessageBox(const std::wstring& text, uint32_t style = MB_OK,
                       const std::wstring& title = {});

// The folder of the running program file, always ending in exactly one backslash.
std::wstring GetAppFolder();

// The program's own active top-level window. The host reports activation changes of its
// forms here; ShowMessageBox owns its boxes by it. A window that has since been destroyed
// or that no longer belongs to this process counts as none.
void SetOwnActiveWindow(HWND hwnd);
void ClearOwnActiveWindow(HWND hwnd);  // only if `hwnd` is the one recorded
HWND GetOwnActiveWindow();

}  // namespace Common

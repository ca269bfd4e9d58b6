// ComCtlsBase: window subclassing through the common-controls library, and the small
// common-controls start-up helpers the controls call when they create their windows.
#pragma once

#include <windows.h>

#include <string>

#include "controls/base/ISubclass.h"

namespace ComCtlsBase {

// The prefix of the two window properties when none is given: ComCtlSubclassInit (1 while
// subclassed) and ComCtlSubclassID (the receiver's ISubclass address).
inline constexpr wchar_t kDefaultPrefix[] = L"ComCtl";

// Subclasses `hWnd` so that its messages reach `receiver->Message` with `dwRefData`. A window
// is subclassed once per prefix: while prefix + "SubclassInit" is set, this does nothing. An
// empty prefix means kDefaultPrefix; other prefixes let one window carry independent
// subclasses, the latest called first, also for one receiver under two prefixes (each with its
// own reference data, each removed on its own). The window holds no reference on the receiver: the
// receiver must call RemoveSubclass before it dies. Returns whether this call subclassed the
// window (false for a 0 window or receiver, an existing subclass, or a system refusal, such as
// for a window of another thread).
bool InstallSubclass(HWND hWnd, ISubclass* receiver, DWORD_PTR dwRefData,
                     const std::wstring& prefix = {});

// Undoes InstallSubclass for that prefix and removes both properties; a window that is not
// subclassed with the prefix, or a 0 or destroyed window, is left alone.
void RemoveSubclass(HWND hWnd, const std::wstring& prefix = {});

// The next procedure of the window's subclass chain; receivers pass on through it whatever
// they do not fully handle.
LRESULT CallDefaultProc(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam);

// The one subclass procedure registered with the system for every subclassed window.
// WM_DESTROY goes to the default procedure only; at WM_NCDESTROY and 0x0090 it also removes
// its own subclass (the two properties stay). Everything else goes to the receiver.
LRESULT CALLBACK SubclassProc(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                              UINT_PTR uIdSubclass, DWORD_PTR dwRefData);

namespace Testing {
// The identifier under which the system keeps the subclass of `hWnd` for `prefix` (for
// GetWindowSubclass); 0 when there is none.
UINT_PTR SystemSubclassId(HWND hWnd, const std::wstring& prefix = {});
}  // namespace Testing

// Registers the common-control window classes named by `flags` (ICC_...); the controls ask
// for ICC_STANDARD_CLASSES when they are created. A failure is ignored.
void InitCommonControlsClass(DWORD flags);

// Shows focus rectangles and access-key underlines in `hWnd` from the start, instead of
// waiting for the first keyboard use.
void ClearFocusCues(HWND hWnd);

}  // namespace ComCtlsBase

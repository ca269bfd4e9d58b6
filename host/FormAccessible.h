// FormAccessible: the form's client area as accessibility clients see it.
//
// Windowed controls are found by the system's own accessible object for the client area;
// windowless controls have no window for it to find. This object answers for the system's
// one and adds each windowless control that names an accessible role
// (HostedControl::AccessibleRole) as a simple child after the system's children, with its
// name, role, state, keyboard shortcut and place on the screen. It holds the form's window
// only, so a client that keeps it after the form is gone gets errors, not a crash.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "controls/base/ComPtr.h"

namespace Host {

// The object for WM_GETOBJECT with OBJID_CLIENT; null when the system's own object cannot be
// had.
ComPtr<IAccessible> CreateFormAccessible(HWND form);

}  // namespace Host

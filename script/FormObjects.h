// The script objects of forms and controls.
//
// A form: Show [modal], Hide, Unload, Caption, Name, hWnd, Visible, ActiveControl,
// ScaleWidth, ScaleHeight, Controls (Count, Item by name or index, Add, Remove), SaveLayout.
// A control: the extender's members as the host gives them (Name, Tag, Left, Top, Width,
// Height, Move, Visible, TabIndex, TabStop, SetFocus, ZOrder, ToolTipText, Default, Cancel,
// CausesValidation, DragMode, Drag, Parent, Container, ...) before the control's own
// late-bound members, and hWnd (its user control window) when the control has none itself.
#pragma once

#include "controls/base/ComPtr.h"
#include "host/Form.h"
#include "script/ScriptObject.h"

namespace FormScript {

class Runner;

ComPtr<IDispatch> NewFormObject(Runner& runner, Host::Form& form);
ComPtr<IDispatch> NewControlObject(Runner& runner, Host::Form& form, Host::ControlSite& site);

// The form or control behind a script's argument; null when it is neither.
Host::Form* FormOf(const VARIANT& value);
Host::ControlSite* SiteOf(const VARIANT& value);

// Window handles as scripts hold them: 32-bit integers (all a handle's significant bits).
int32_t HandleValue(HWND hwnd);
HWND HandleOf(const VARIANT& value);

}  // namespace FormScript

// FormInput: the forms' keyboard handling and focus tracking, for whatever message loop
// dispatches.
//
// While a form is loaded, a message hook of the user-interface thread looks at every key
// message taken from the queue for a window of a form, before the loop translates and
// dispatches it; not while a loop of the system's own takes the input (menus, the system
// menu, moving and sizing, the drag-and-drop loop), whose keys stay its own. A message the
// form handles is turned into WM_NULL, so that the loop neither dispatches it nor makes
// characters of it; one the focused control took as input is translated first, so that its
// characters follow. Mouse messages are also passed to the form's tooltips. A second hook
// notes every focus change into a form, so that the form learns which control has the focus
// even when a control's inner window takes it directly (the form hears of it through a
// posted message, outside the focus change itself).
//
// Order for a key message (PreTranslate):
//  1. the focused control's in-place active object (TranslateAccelerator): S_OK ends it;
//  2. key down Tab / Shift+Tab: the focus moves in tab-index order (with validation);
//  3. key down Return / Escape: unless the focused control's GetControlInfo says it eats
//     that key, the form's default / cancel button gets IOleControl::OnMnemonic with it;
//  4. Alt+key: the first control after the focused one, in tab order, whose accelerator
//     table (IOleControl::GetControlInfo) holds the key takes the focus (when it can; with
//     validation) and gets IOleControl::OnMnemonic; a control that cannot take the focus
//     (a label) passes it to the next control that can.
#pragma once

#include <windows.h>

namespace Host {
class Form;
}

namespace FormInput {

// Posted to a form when the focus moved into it.
inline constexpr UINT kFocusChangedMessage = WM_APP + 0x2A2;

// Reference-counted: the hooks are installed with the first loaded form and removed with
// the last.
void AddForm();
void RemoveForm();

// True when the form handled the message.
bool PreTranslate(Host::Form& form, MSG& msg);

}  // namespace FormInput

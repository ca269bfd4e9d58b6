// Shared pieces of the host's tests: the test form's layout and real keyboard and mouse input.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "host/Form.h"

namespace testhost {

// A form with, in stored order (tab order in brackets): txtName [0], lblCity (windowless,
// "&City:") [1], cmdCancel [4, cancel, no validation], txtCity [2], cmdOk [3, default, "&OK"],
// cmdHidden [5, invisible], txtNoStop [6, no tab stop].
extern const char kTestLayout[];

// The test form, parsed and registered; not loaded.
std::unique_ptr<Host::Form> NewTestForm(const char* layout = kTestLayout);

// Shows the form modelessly and waits until it is the foreground window with the focus on
// one of its controls; false when that does not happen.
bool ShowInFront(Host::Form& form);

// Real input through the system's input queue, then the thread's messages are pumped.
void PressKey(WORD vk, std::initializer_list<WORD> modifiers = {});
void ClickScreen(POINT screen);
// Moves the pointer there through the input queue and waits until the system reports it
// there; false when it never is. (Under Wine a SetCursorPos is not where the pointer stays:
// the next mouse capture puts it back where the X server has it.)
bool MoveCursor(POINT screen);
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND hwnd);

// The site holding the focus window, by name; empty when none.
std::wstring FocusedName(Host::Form& form);

}  // namespace testhost

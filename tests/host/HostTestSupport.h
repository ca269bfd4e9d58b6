// Shared pieces of the host's tests: the test form's layout and real keyboard and mouse input.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "host/Form.h"
#include "tests/support/Input.h"

namespace testhost {

// A form with, in stored order (tab order in brackets): txtName [0], lblCity (windowless,
// "&City:") [1], cmdCancel [4, cancel, no validation], txtCity [2], cmdOk [3, default, "&OK"],
// cmdHidden [5, invisible], txtNoStop [6, no tab stop].
extern const std::string kTestLayout;

// The test form, parsed and registered; not loaded.
std::unique_ptr<Host::Form> NewTestForm(const std::string& layout = kTestLayout);

// Shows the form modelessly and waits until it is the foreground window with the focus on
// one of its controls; false when that does not happen.
bool ShowInFront(Host::Form& form);

// Real input, as tests/support gives it.
using testsupport::CentreOf;
using testsupport::ClickScreen;
using testsupport::MoveCursor;
using testsupport::PressKey;

// The site holding the focus window, by name; empty when none.
std::wstring FocusedName(Host::Form& form);

}  // namespace testhost

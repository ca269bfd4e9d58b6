// AllControls: every control type of the library, registered with the host under its type
// name, for programs that build forms from any layout.
#pragma once

namespace AllControls {

// Registers each control type (ControlTypes::Register); calling it again changes nothing.
void Register();

}  // namespace AllControls

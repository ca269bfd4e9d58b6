// ControlTypes: the control types a layout can name, each with its factory.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/HostedControl.h"

namespace ControlTypes {

using Factory = std::function<std::unique_ptr<Host::HostedControl>()>;

// Registers (or replaces) a type under its name (case-sensitive, as layouts write it).
void Register(std::wstring_view typeName, Factory factory);
// Convenience: Register<CommandButtonW>(L"CommandButtonW").
template <class T>
void Register(std::wstring_view typeName) {
    Register(typeName, [] { return std::make_unique<T>(); });
}
bool IsRegistered(std::wstring_view typeName);
// A new control of that type; null when the type is unknown.
std::unique_ptr<Host::HostedControl> Create(std::wstring_view typeName);
std::vector<std::wstring> Names();
// The members, events and persisted keys of a type (host/ControlDescription.h), for listing
// what it offers; null when the type is unknown.
const Host::ControlDescription* Describe(std::wstring_view typeName);

}  // namespace ControlTypes

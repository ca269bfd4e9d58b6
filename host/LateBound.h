// LateBound: reading and writing an object's properties by name through its IDispatch, as a
// property page or any other client of the host does with the controls it is handed.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string_view>

#include "host/Variant.h"

namespace Host::LateBound {

// The property's value. A failure is thrown as a ControlError (RaiseIfFailed): an error of
// the object keeps its number and description.
Variant Get(IDispatch* object, std::wstring_view name);
void Put(IDispatch* object, std::wstring_view name, const Variant& value);

}  // namespace Host::LateBound

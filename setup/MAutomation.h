// MAutomation: late-bound calls to automation servers, by member name through IDispatch, as
// the setup procedures make them. Every failure is thrown as a ControlError carrying the
// number and description of MErrors::FromHResult.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/base/Variant.h"

namespace MAutomation {

// Creates a new object of the class registered under `progId` (a server of its own when the
// class is registered for single use, as an application's is).
ComPtr<IDispatch> CreateObject(const wchar_t* progId);

// Reads property `name` (or calls it as a method: DISPATCH_PROPERTYGET | DISPATCH_METHOD) with
// `args` in the caller's order.
Variant Get(IDispatch* object, const wchar_t* name, const std::vector<Variant>& args = {});
// Sets property `name` to `value`.
void Put(IDispatch* object, const wchar_t* name, const Variant& value);
// Calls method `name` without arguments, discarding its result.
void Call(IDispatch* object, const wchar_t* name);

// The object or text a result holds (converted as automation converts); a type mismatch is
// thrown as an error.
ComPtr<IDispatch> ToObject(const Variant& value);
std::wstring ToText(const Variant& value);

}  // namespace MAutomation

// Late-bound calls as a script makes them, for tests of objects reached through IDispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

namespace testsupport {

// An omitted optional argument (VT_ERROR with DISP_E_PARAMNOTFOUND).
VARIANT Missing();
// Arguments of the plain types.
VARIANT I4(LONG value);
VARIANT R8(double value);
VARIANT Bool(bool value);

// A failure unless `object` says it is safe for scripting and for data, both supported and
// both enabled.
void ExpectSafeForScripting(IUnknown* object);

// Looks `name` up and invokes it with `flags` and the arguments in written order (they stay
// the caller's); the result, when asked for, is the caller's to clear. Returns the HRESULT
// of the look-up or of Invoke.
HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags,
                     const std::vector<VARIANT>& args = {}, VARIANT* result = nullptr);

}  // namespace testsupport

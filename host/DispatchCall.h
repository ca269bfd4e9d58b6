// DispatchCall: what every table of late-bound members in the host answers alike, so that a
// control's typed members (ControlDescription) and the host's own objects (DispatchObject)
// give callers the same errors.
//
// - Names: one name per call; members take no named arguments, so a second name is
//   DISP_E_UNKNOWNNAME (the first still gets its identifier).
// - Arguments: DISPPARAMS keeps them last first; members get them in the order written,
//   each converted to the type the member takes (DISP_E_TYPEMISMATCH with `argError`, a
//   number too large for it error 6), by-reference ones dereferenced, omitted optional ones
//   as VT_ERROR with DISP_E_PARAMNOTFOUND. Too few or too many: DISP_E_BADPARAMCOUNT; named
//   arguments to a method or a read: DISP_E_NONAMEDARGS.
// - Outputs: an argument the member writes is copied back into the caller's variable when
//   the caller passed it by reference (VT_BYREF of the variable's type, or VT_BYREF |
//   VT_VARIANT as script engines pass their variables).
// - Failures: a ControlError raised by a member becomes DISP_E_EXCEPTION with the EXCEPINFO
//   filled (scode 0x800A0000 | number, the description), or, when the caller gave no
//   EXCEPINFO, the error's own HRESULT with the thread's error information. The result is
//   left empty whenever the call fails.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "controls/base/ControlError.h"
#include "host/Variant.h"

namespace Host::DispatchCall {

// GetIDsOfNames over one table. `find` gives a name's identifier, DISPID_UNKNOWN for a
// name the table lacks (then the result is DISP_E_UNKNOWNNAME and ids[0] DISPID_UNKNOWN).
template <class Find>
HRESULT IdsOfNames(LPOLESTR* names, UINT count, DISPID* ids, Find&& find) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT n = 0; n < count; ++n)
        ids[n] = DISPID_UNKNOWN;
    ids[0] = find(std::wstring_view(names[0] ? names[0] : L""));
    if (ids[0] == DISPID_UNKNOWN || count > 1) return DISP_E_UNKNOWNNAME;
    return S_OK;
}

// What a member takes.
struct Signature {
    // The arguments' types in the order written (VT_VARIANT: any value, as given).
    std::span<const VARTYPE> types;
    // How many must be given.
    size_t required = 0;
    // Bit n: the member writes argument n back.
    uint32_t outputs = 0;
    // Any number of arguments beyond `types`, each as given.
    bool open = false;
};

// One call's arguments as the member takes them.
class Arguments {
public:
    // From `params`; an assignment's value (the first entry) is not among them. Checks the
    // count and named arguments and converts each value.
    HRESULT Take(const DISPPARAMS& params, bool assignment, const Signature& signature,
                 UINT* argError);
    std::span<Variant> Values() { return values_; }
    // Copies the member's outputs into the arguments the caller passed by reference.
    HRESULT WriteBack(const DISPPARAMS& params, uint32_t outputs, UINT* argError) const;

private:
    std::vector<Variant> values_;
    UINT first_ = 0;  // where the arguments start in DISPPARAMS
    UINT count_ = 0;
};

// The value of an assignment (the first entry of DISPPARAMS) as the member takes it.
HRESULT AssignedValue(const DISPPARAMS& params, VARTYPE type, Variant& value, UINT* argError);

// The error as the caller of Invoke gets it.
HRESULT Failure(const ControlError& error, EXCEPINFO* exception);

// Runs the body of an Invoke: the body's HRESULT, or what a failure gives the caller.
// Nothing is thrown out of it.
template <class Body>
HRESULT Run(VARIANT* result, EXCEPINFO* exception, Body&& body) noexcept {
    if (result) VariantInit(result);
    HRESULT hr;
    try {
        hr = body();
    } catch (const ControlError& error) {
        hr = Failure(error, exception);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = E_FAIL;
    }
    if (FAILED(hr) && result) VariantClear(result);
    return hr;
}

}  // namespace Host::DispatchCall

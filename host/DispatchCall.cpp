#include "host/DispatchCall.h"

#include <oleauto.h>

#include <algorithm>

namespace Host::DispatchCall {

namespace {

// A given value as the member takes it: a variant-typed one as given (dereferenced), any
// other converted by the system's rules. A number too large for the type is error 6.
HRESULT Coerce(VARIANT& out, const VARIANT& given, VARTYPE type) {
    if (type == VT_VARIANT) return VariantCopyInd(&out, const_cast<VARIANT*>(&given));
    const HRESULT hr = VariantChangeType(&out, const_cast<VARIANT*>(&given), 0, type);
    if (hr == DISP_E_OVERFLOW) ControlErrors::Raise(ControlErrors::kOverflow);
    return hr;
}

bool Omitted(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

// Stores `value` into the caller's by-reference variable, converted to the variable's type.
HRESULT Store(const VARIANT& target, const VARIANT& value) {
    if (!target.byref) return E_POINTER;
    const VARTYPE type = target.vt & ~VT_BYREF;
    if (type == VT_VARIANT) {
        Variant copy(value);
        VariantClear(target.pvarVal);
        *target.pvarVal = copy.Detach();
        return S_OK;
    }
    Variant converted;
    if (FAILED(VariantChangeType(converted.Ptr(), const_cast<VARIANT*>(&value), 0, type))) {
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT v = converted.Detach();  // owned by the variable from here on
    switch (type) {
        case VT_I1:
            *target.pcVal = v.cVal;
            break;
        case VT_UI1:
            *target.pbVal = v.bVal;
            break;
        case VT_I2:
            *target.piVal = v.iVal;
            break;
        case VT_UI2:
            *target.puiVal = v.uiVal;
            break;
        case VT_I4:
            *target.plVal = v.lVal;
            break;
        case VT_UI4:
            *target.pulVal = v.ulVal;
            break;
        case VT_INT:
            *target.pintVal = v.intVal;
            break;
        case VT_UINT:
            *target.puintVal = v.uintVal;
            break;
        case VT_I8:
            *target.pllVal = v.llVal;
            break;
        case VT_UI8:
            *target.pullVal = v.ullVal;
            break;
        case VT_R4:
            *target.pfltVal = v.fltVal;
            break;
        case VT_R8:
            *target.pdblVal = v.dblVal;
            break;
        case VT_CY:
            *target.pcyVal = v.cyVal;
            break;
        case VT_DATE:
            *target.pdate = v.date;
            break;
        case VT_BOOL:
            *target.pboolVal = v.boolVal;
            break;
        case VT_ERROR:
            *target.pscode = v.scode;
            break;
        case VT_BSTR:
            SysFreeString(*target.pbstrVal);
            *target.pbstrVal = v.bstrVal;
            break;
        case VT_DISPATCH:
            if (*target.ppdispVal) (*target.ppdispVal)->Release();
            *target.ppdispVal = v.pdispVal;
            break;
        case VT_UNKNOWN:
            if (*target.ppunkVal) (*target.ppunkVal)->Release();
            *target.ppunkVal = v.punkVal;
            break;
        default:
            VariantClear(&v);
            return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

}  // namespace

HRESULT Arguments::Take(const DISPPARAMS& params, bool assignment, const Signature& signature,
                        UINT* argError) {
    if (params.cArgs > 0 && !params.rgvarg) return E_INVALIDARG;
    // An assignment names its value DISPID_PROPERTYPUT; nothing else takes named arguments.
    const bool namedValue = assignment && params.cNamedArgs == 1 && params.rgdispidNamedArgs &&
                            params.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (params.cNamedArgs > 0 && !namedValue) return DISP_E_NONAMEDARGS;
    if (assignment && params.cArgs == 0) return DISP_E_BADPARAMCOUNT;
    const UINT count = params.cArgs - (assignment ? 1 : 0);
    const size_t declared = signature.types.size();
    if (count < signature.required || (!signature.open && count > declared)) {
        return DISP_E_BADPARAMCOUNT;
    }
    first_ = params.cArgs - count;
    count_ = count;
    values_.clear();
    values_.resize(std::max<size_t>(declared, count));
    for (size_t i = 0; i < values_.size(); ++i) {
        VARIANT& value = values_[i].Get();
        const UINT at = first_ + count - 1 - static_cast<UINT>(i);
        const VARIANT* given = i < count ? &params.rgvarg[at] : nullptr;
        if (given && Omitted(*given)) given = nullptr;
        if (!given) {
            if (i < signature.required) return DISP_E_PARAMNOTOPTIONAL;
            value.vt = VT_ERROR;
            value.scode = DISP_E_PARAMNOTFOUND;
        } else if (FAILED(Coerce(value, *given,
                                 i < declared ? signature.types[i] : VARTYPE{VT_VARIANT}))) {
            if (argError) *argError = at;
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

HRESULT Arguments::WriteBack(const DISPPARAMS& params, uint32_t outputs, UINT* argError) const {
    for (UINT i = 0; i < count_ && outputs; ++i) {
        if (!(outputs & (1u << i))) continue;
        outputs &= ~(1u << i);
        const UINT at = first_ + count_ - 1 - i;
        const VARIANT& given = params.rgvarg[at];
        if (!(given.vt & VT_BYREF)) continue;  // passed by value: the caller keeps nothing
        if (HRESULT hr = Store(given, values_[i].Get()); FAILED(hr)) {
            if (argError) *argError = at;
            return hr;
        }
    }
    return S_OK;
}

HRESULT AssignedValue(const DISPPARAMS& params, VARTYPE type, Variant& value, UINT* argError) {
    if (FAILED(Coerce(*value.Put(), params.rgvarg[0], type))) {
        if (argError) *argError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT Failure(const ControlError& error, EXCEPINFO* exception) {
    if (!exception) return ControlErrors::ErrorToHResult(error);
    *exception = EXCEPINFO{};
    exception->scode = ControlErrors::ToHResult(error.Number());
    exception->bstrDescription = SysAllocString(error.Description().c_str());
    return DISP_E_EXCEPTION;
}

}  // namespace Host::DispatchCall

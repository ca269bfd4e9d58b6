#include "host/LateBound.h"

#include <string>

#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"

namespace Host::LateBound {

namespace {

DISPID IdOf(IDispatch* object, std::wstring_view name) {
    if (!object) ControlErrors::Raise(ControlErrors::kObjectNotSet);
    std::wstring copy(name);
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    ControlErrors::RaiseIfFailed(
        object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}

// Invoke with the error information of the object, whichever way it reports it.
void Call(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) {
    OwnedExcepInfo exception;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                      &exception, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        exception.FillIn();
        const HRESULT code = exception.scode ? exception.scode : E_FAIL;
        int32_t number = ControlErrors::FromHResult(code);
        if (!number) number = static_cast<int32_t>(code);
        ControlErrors::Raise(number, exception.Description());
    }
    ControlErrors::RaiseIfFailed(hr);
}

}  // namespace

Variant Get(IDispatch* object, std::wstring_view name) {
    const DISPID id = IdOf(object, name);
    DISPPARAMS params{};
    Variant result;
    Call(object, id, DISPATCH_PROPERTYGET, params, result.Put());
    return result;
}

void Put(IDispatch* object, std::wstring_view name, const Variant& value) {
    const DISPID id = IdOf(object, name);
    Variant argument(value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{argument.Ptr(), &named, 1, 1};
    Call(object, id, DISPATCH_PROPERTYPUT, params, nullptr);
}

}  // namespace Host::LateBound

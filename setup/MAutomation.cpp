#include "setup/MAutomation.h"

#include "controls/base/Handles.h"
#include "setup/MErrors.h"

namespace MAutomation {

namespace {

// The system's declarations take sources as non-const; they only read them.
VARIANT* Source(const VARIANT& value) {
    return const_cast<VARIANT*>(&value);
}

DISPID MemberId(IDispatch* object, const wchar_t* name) {
    if (!object) throw MErrors::FromHResult(E_POINTER);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) throw MErrors::FromHResult(hr);
    return id;
}

Variant Invoke(IDispatch* object, const wchar_t* name, WORD flags,
               const std::vector<Variant>& args) {
    const DISPID id = MemberId(object, name);
    // Automation takes the arguments last first; the callee does not change them.
    std::vector<VARIANT> reversed;
    for (auto arg = args.rbegin(); arg != args.rend(); ++arg)
        reversed.push_back(arg->Get());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(reversed.size());
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    if (flags & DISPATCH_PROPERTYPUT) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &put;
    }
    Variant result;
    OwnedExcepInfo excepInfo;
    UINT argErr = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      (flags & DISPATCH_PROPERTYPUT) ? nullptr : result.Ptr(),
                                      &excepInfo, &argErr);
    if (FAILED(hr)) throw MErrors::FromHResult(hr, &excepInfo);
    return result;
}

}  // namespace

ComPtr<IDispatch> CreateObject(const wchar_t* progId) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) throw MErrors::FromHResult(hr);
    ComPtr<IDispatch> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, object.PutVoid());
    if (FAILED(hr)) throw MErrors::FromHResult(hr);
    return object;
}

Variant Get(IDispatch* object, const wchar_t* name, const std::vector<Variant>& args) {
    return Invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

void Put(IDispatch* object, const wchar_t* name, const Variant& value) {
    Invoke(object, name, DISPATCH_PROPERTYPUT, {value});
}

void Call(IDispatch* object, const wchar_t* name) {
    Invoke(object, name, DISPATCH_METHOD, {});
}

ComPtr<IDispatch> ToObject(const Variant& value) {
    Variant converted;
    HRESULT hr = VariantChangeType(converted.Ptr(), Source(value.Get()), 0, VT_DISPATCH);
    if (SUCCEEDED(hr) && !converted.Get().pdispVal) hr = DISP_E_TYPEMISMATCH;
    if (FAILED(hr)) throw MErrors::FromHResult(hr);
    return ComPtr<IDispatch>(converted.Get().pdispVal);
}

std::wstring ToText(const Variant& value) {
    Variant converted;
    const HRESULT hr = VariantChangeType(converted.Ptr(), Source(value.Get()), 0, VT_BSTR);
    if (FAILED(hr)) throw MErrors::FromHResult(hr);
    const BSTR text = converted.Get().bstrVal;
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

}  // namespace MAutomation

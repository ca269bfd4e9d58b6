#include "controls/base/Handles.h"
#include "tests/support/Dispatch.h"

#include <objsafe.h>

#include <gtest/gtest.h>

#include <string>

#include "controls/base/ComPtr.h"

namespace testsupport {

namespace {

VARIANT Typed(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    return v;
}

}  // namespace

VARIANT Missing() {
    VARIANT v = Typed(VT_ERROR);
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

VARIANT I4(LONG value) {
    VARIANT v = Typed(VT_I4);
    v.lVal = value;
    return v;
}

VARIANT R8(double value) {
    VARIANT v = Typed(VT_R8);
    v.dblVal = value;
    return v;
}

VARIANT Bool(bool value) {
    VARIANT v = Typed(VT_BOOL);
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

void ExpectSafeForScripting(IUnknown* object) {
    ComPtr<IObjectSafety> safety;
    ASSERT_HRESULT_SUCCEEDED(object->QueryInterface(IID_IObjectSafety, safety.PutVoid()));
    DWORD supported = 0, enabled = 0;
    EXPECT_HRESULT_SUCCEEDED(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 0));
    EXPECT_HRESULT_SUCCEEDED(
        safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 3u);
}

HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags,
                     const std::vector<VARIANT>& args, VARIANT* result) {
    if (!object) return E_POINTER;
    std::wstring text(name);
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    // DISPPARAMS keeps the last argument first.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    if (result) VariantInit(result);
    OwnedExcepInfo exception;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception,
                        nullptr);
    if (hr == DISP_E_EXCEPTION) hr = exception.scode;
    return hr;
}

}  // namespace testsupport

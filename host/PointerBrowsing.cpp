#include "host/PointerBrowsing.h"

#include <string>
#include <vector>

#include "controls/base/Common.h"

namespace Host {

HRESULT PointerBrowsing::GetDisplayString(VARIANT_BOOL* handled, DISPID id, BSTR* name) {
    if (handled) *handled = VARIANT_FALSE;
    if (!Browses(id) || !name) return S_OK;
    *name = SysAllocString(Common::PointerDisplayString(BrowsedPointer()).c_str());
    if (!*name) return E_OUTOFMEMORY;
    if (handled) *handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT PointerBrowsing::GetPredefinedStrings(VARIANT_BOOL* handled, DISPID id, SAFEARRAY** strings,
                                              SAFEARRAY** cookies) {
    if (handled) *handled = VARIANT_FALSE;
    if (!Browses(id) || !strings || !cookies) return S_OK;
    std::vector<std::wstring> names;
    std::vector<int32_t> values;
    Common::PointerPredefinedStrings(names, values);
    SAFEARRAY* newStrings = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(names.size()));
    SAFEARRAY* newCookies = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(values.size()));
    if (!newStrings || !newCookies) {
        if (newStrings) SafeArrayDestroy(newStrings);
        if (newCookies) SafeArrayDestroy(newCookies);
        return E_OUTOFMEMORY;
    }
    for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
        BSTR text = SysAllocString(names[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(newStrings, &i, text);  // copies the string
        SysFreeString(text);
        LONG cookie = values[static_cast<size_t>(i)];
        SafeArrayPutElement(newCookies, &i, &cookie);
    }
    if (*strings) SafeArrayDestroy(*strings);
    if (*cookies) SafeArrayDestroy(*cookies);
    *strings = newStrings;
    *cookies = newCookies;
    if (handled) *handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT PointerBrowsing::GetPredefinedValue(VARIANT_BOOL* handled, DISPID id, LONG cookie,
                                            VARIANT* value) {
    if (handled) *handled = VARIANT_FALSE;
    if (!Browses(id) || !value) return S_OK;
    VariantInit(value);
    value->vt = VT_I4;
    value->lVal = cookie;
    if (handled) *handled = VARIANT_TRUE;
    return S_OK;
}

}  // namespace Host

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
    if (const HRESULT hr = Common::PutPredefinedStrings(names, values, *strings, *cookies);
        FAILED(hr)) {
        return hr;
    }
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

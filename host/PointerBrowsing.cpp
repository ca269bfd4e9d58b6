#include "host/PointerBrowsing.h"

#include <algorithm>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"

namespace Host {

bool PointerBrowsing::OfferOf(DISPID id, Offer& offer) {
    if (id == DISPID_UNKNOWN) return false;
    if (id != BrowsedPointerDispId()) return OfferFor(id, offer);
    offer.display = Common::PointerDisplayString(BrowsedPointer());
    Common::PointerPredefinedStrings(offer.names, offer.cookies);
    return true;
}

HRESULT PointerBrowsing::GetDisplayString(VARIANT_BOOL* handled, DISPID id, BSTR* name) {
    if (handled) *handled = VARIANT_FALSE;
    if (!name) return S_OK;
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        Offer offer;
        if (!OfferOf(id, offer)) return S_OK;
        *name = SysAllocString(offer.display.c_str());
        if (!*name) return E_OUTOFMEMORY;
        if (handled) *handled = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT PointerBrowsing::GetPredefinedStrings(VARIANT_BOOL* handled, DISPID id, SAFEARRAY** strings,
                                              SAFEARRAY** cookies) {
    if (handled) *handled = VARIANT_FALSE;
    if (!strings || !cookies) return S_OK;
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        Offer offer;
        if (!OfferOf(id, offer)) return S_OK;
        const HRESULT hr =
            Common::PutPredefinedStrings(offer.names, offer.cookies, *strings, *cookies);
        if (FAILED(hr)) return hr;
        offeredId_ = id;
        offered_ = std::move(offer);
        if (handled) *handled = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT PointerBrowsing::GetPredefinedValue(VARIANT_BOOL* handled, DISPID id, LONG cookie,
                                            VARIANT* value) {
    if (handled) *handled = VARIANT_FALSE;
    if (!value) return S_OK;
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        Offer fresh;
        const bool known = id == offeredId_ && id != DISPID_UNKNOWN;
        if (!known && !OfferOf(id, fresh)) return S_OK;
        const Offer& offer = known ? offered_ : fresh;
        if (offer.chooseName) {
            // Every offered name can be chosen, the last one included.
            const auto at = std::find(offer.cookies.begin(), offer.cookies.end(), cookie);
            if (at == offer.cookies.end()) return S_OK;
            const std::wstring& chosen =
                offer.names[static_cast<size_t>(at - offer.cookies.begin())];
            BSTR text = SysAllocString(chosen.c_str());
            if (!text) return E_OUTOFMEMORY;
            VariantInit(value);
            value->vt = VT_BSTR;
            value->bstrVal = text;
        } else {
            VariantInit(value);
            value->vt = VT_I4;
            value->lVal = cookie;
        }
        if (handled) *handled = VARIANT_TRUE;
        return S_OK;
    });
}

}  // namespace Host

// Property browsing: the names a property browser shows for a control's MousePointer, and for
// any other property the control offers names for (OfferFor): the present value's name, the
// names to choose from with their cookies, and the value a chosen cookie stands for.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controls/base/VTableHandle.h"

namespace Host {

class PointerBrowsing : public IPerPropertyBrowsingVB {
public:
    using Interface = IPerPropertyBrowsingVB;

    HRESULT STDMETHODCALLTYPE GetDisplayString(VARIANT_BOOL* handled, DISPID id,
                                               BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(VARIANT_BOOL* handled, DISPID id,
                                                   SAFEARRAY** strings,
                                                   SAFEARRAY** cookies) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(VARIANT_BOOL* handled, DISPID id, LONG cookie,
                                                 VARIANT* value) override;

protected:
    ~PointerBrowsing() = default;
    // The control's MousePointer identifier (DISPID_UNKNOWN while it is not known) and value.
    virtual DISPID BrowsedPointerDispId() const = 0;
    virtual int16_t BrowsedPointer() const = 0;

    // What the browser is offered for another property.
    struct Offer {
        std::wstring display;             // the present value's name
        std::vector<std::wstring> names;  // the names to choose from ...
        std::vector<int32_t> cookies;     // ... and their cookies, in the same order
        bool chooseName = false;          // a choice is the name itself, not its cookie
    };
    // Fills `offer` for a property the control offers names for; false for any other.
    virtual bool OfferFor(DISPID id, Offer& offer) {
        (void)id, (void)offer;
        return false;
    }

private:
    // The offer for `id` (MousePointer's or the control's); false when there is none.
    bool OfferOf(DISPID id, Offer& offer);

    // The names last offered, which a choice by cookie refers to.
    DISPID offeredId_ = DISPID_UNKNOWN;
    Offer offered_;
};

}  // namespace Host

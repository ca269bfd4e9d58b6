// Property browsing of a control's MousePointer: the pointer's name, and the pointer list as
// predefined strings whose values are their cookies. Other properties are not handled.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

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

private:
    bool Browses(DISPID id) const { return id != DISPID_UNKNOWN && id == BrowsedPointerDispId(); }
};

}  // namespace Host

// FontWatch: hears a font object's own changes (Font.Bold = True, Font.Size = 14).
//
// A control holds its font as an OLE font object that scripts and code change in place; the
// object says so through its IPropertyNotifySink connection point. The watch connects a sink
// to the font it is given and calls back on each change until it watches another font, is
// stopped or goes. The sink is a COM object the font holds while connected: it is cut loose
// from the callback first, so a late notification never reaches a control that is gone.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>

#include "controls/base/ComPtr.h"

class FontWatch {
public:
    explicit FontWatch(std::function<void()> changed);
    ~FontWatch();
    FontWatch(const FontWatch&) = delete;
    FontWatch& operator=(const FontWatch&) = delete;

    // Follows `font` (the same object again changes nothing); none stops.
    void Watch(IUnknown* font);
    void Stop();

private:
    class Sink;
    ComPtr<Sink> sink_;
};

// StoredValue: property values between a layout's text form and the property store.
#pragma once

#include <string>
#include <string_view>

#include "host/Layout.h"
#include "host/Variant.h"

namespace StoredValue {

// A layout value as the property store holds it: fonts become font objects (IFontDisp),
// pictures picture objects (IPictureDisp). ControlError 380 for picture data the system
// cannot load.
Host::Variant ToVariant(const Layout::Value& value);

// A stored value in its layout form; ControlError 13 for a value that a layout cannot hold,
// 380 for a picture that cannot be saved.
Layout::Value FromVariant(const VARIANT& value);

// A layout font as a font object, and back.
Host::Variant FontObject(const Layout::Font& font);
Layout::Font FontOf(IUnknown* font);

inline std::wstring Wide(std::u16string_view s) {
    return std::wstring(s.begin(), s.end());
}
inline std::u16string Utf16(std::wstring_view s) {
    return std::u16string(s.begin(), s.end());
}
std::wstring WideFromUtf8(std::string_view s);
std::string Utf8FromWide(std::wstring_view s);

}  // namespace StoredValue

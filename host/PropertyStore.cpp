#include "host/PropertyStore.h"

#include <olectl.h>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"

namespace Host {

bool PropertyStore::Storable(const VARIANT& value) {
    switch (value.vt) {
        case VT_EMPTY:
        case VT_BOOL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_BSTR:
            return true;
        case VT_ARRAY | VT_UI1:
            return !value.parray || SafeArrayGetDim(value.parray) == 1;
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            if (!value.punkVal) return true;
            ComPtr<IUnknown> probe;
            return SUCCEEDED(value.punkVal->QueryInterface(IID_IFont, probe.PutVoid())) ||
                   SUCCEEDED(value.punkVal->QueryInterface(IID_IPicture, probe.PutVoid()));
        }
        default:
            return false;
    }
}

std::vector<std::pair<std::wstring, Variant>>::const_iterator PropertyStore::Find(
    std::wstring_view key) const {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) return it;
    }
    return entries_.end();
}

Variant PropertyStore::Read(std::wstring_view key, const Variant& defaultValue) const {
    auto it = Find(key);
    return it == entries_.end() ? defaultValue : it->second;
}

bool PropertyStore::ReadBool(std::wstring_view key, bool defaultValue) const {
    auto it = Find(key);
    return it == entries_.end() ? defaultValue : it->second.ToBool();
}

int16_t PropertyStore::ReadInt16(std::wstring_view key, int16_t defaultValue) const {
    auto it = Find(key);
    return it == entries_.end() ? defaultValue : it->second.ToInt16();
}

int32_t PropertyStore::ReadInt32(std::wstring_view key, int32_t defaultValue) const {
    auto it = Find(key);
    return it == entries_.end() ? defaultValue : it->second.ToInt32();
}

std::wstring PropertyStore::ReadString(std::wstring_view key,
                                       std::wstring_view defaultValue) const {
    auto it = Find(key);
    return it == entries_.end() ? std::wstring(defaultValue) : it->second.ToString();
}

void PropertyStore::Write(std::wstring_view key, const Variant& value0,
                          const Variant& defaultValue) {
    const Variant value(value0.Get());  // by-reference values dereferenced
    if (!Storable(value.Get())) {
        throw ControlError(ControlErrors::kTypeMismatch,
                           L"Type mismatch: property " + std::wstring(key) +
                               L" holds a value that cannot be stored");
    }
    const bool omit = VariantsEqual(value.Get(), defaultValue.Get());
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first != key) continue;
        if (omit) {
            entries_.erase(it);
        } else {
            it->second = value;
        }
        return;
    }
    if (!omit) entries_.emplace_back(std::wstring(key), value);
}

bool PropertyStore::Contains(std::wstring_view key) const {
    return Find(key) != entries_.end();
}

void PropertyStore::Put(std::wstring key, Variant value) {
    for (auto& entry : entries_) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

void PropertyStore::PropertyChanged(std::wstring_view name) {
    dirty_ = true;
    if (listener_) listener_(name);
}

}  // namespace Host

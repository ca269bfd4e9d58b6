// PropertyStore: the stored properties of one control instance.
//
// Keys keep the order in which they were first written (the order the layout shows them
// in). A value equal to its default is not kept (VariantsEqual decides), so a saved layout
// holds only what differs. Values are of the kinds a layout can hold: empty, booleans,
// 16- and 32-bit integers, single and double numbers, strings, byte arrays, and objects
// (fonts, pictures, or none).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/Variant.h"

namespace Host {

class PropertyStore {
public:
    // The stored value of `key`, or a copy of `defaultValue` when there is none.
    Variant Read(std::wstring_view key, const Variant& defaultValue = {}) const;
    bool ReadBool(std::wstring_view key, bool defaultValue) const;
    int16_t ReadInt16(std::wstring_view key, int16_t defaultValue) const;
    int32_t ReadInt32(std::wstring_view key, int32_t defaultValue) const;
    std::wstring ReadString(std::wstring_view key, std::wstring_view defaultValue) const;

    // Stores `value` under `key`, or removes the key when the value equals `defaultValue`.
    // ControlError 13 for a value of a kind that cannot be stored (the key is then left as
    // it was).
    void Write(std::wstring_view key, const Variant& value, const Variant& defaultValue = {});

    bool Contains(std::wstring_view key) const;
    const std::vector<std::pair<std::wstring, Variant>>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

    // Stores without comparing with a default (loading a layout).
    void Put(std::wstring key, Variant value);

    // A control's change notification: the store becomes dirty and the listener hears the
    // property's name.
    void PropertyChanged(std::wstring_view name);
    bool Dirty() const { return dirty_; }
    void SetDirty(bool dirty) { dirty_ = dirty; }
    void SetChangeListener(std::function<void(std::wstring_view)> listener) {
        listener_ = std::move(listener);
    }

    // Whether a value can be kept (and so saved in a layout).
    static bool Storable(const VARIANT& value);

private:
    std::vector<std::pair<std::wstring, Variant>>::const_iterator Find(std::wstring_view key) const;

    std::vector<std::pair<std::wstring, Variant>> entries_;
    bool dirty_ = false;
    std::function<void(std::wstring_view)> listener_;
};

}  // namespace Host

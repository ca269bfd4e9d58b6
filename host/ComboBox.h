// ComboBox: the host's own drop-down list over the system "ComboBox" window
// (CBS_DROPDOWNLIST), each item with a 32-bit item data.
//
// A host control, not one of the library's: the forms and property pages the host builds
// itself need a plain list to choose from, which the control library does not offer.
// Registered as "ComboBox" (RegisterHostControls).
//   AddItem(text [, index]), Clear, ListCount, ListIndex (-1: no item chosen), List(index),
//   ItemData(index), SetItemData(index, value), Text (the chosen item's); nothing persisted.
//   Event: Click (-600) after the chosen item changed, by the user or by code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "host/SystemWindowControl.h"

namespace Host {

class ComboBox : public SystemWindowControl<OleControlVBDefaults> {
public:
    static constexpr wchar_t kTypeName[] = L"ComboBox";

    // Appends the item, or inserts it at `index` (0 to ListCount; error 5 beyond).
    void AddItem(const std::wstring& text, std::optional<int32_t> index = {});
    void Clear();
    int32_t ListCount() const;
    int32_t ListIndex() const;
    // -1 chooses none; error 380 beyond the last item.
    void SetListIndex(int32_t index);
    // Error 381 for an index that is no item.
    std::wstring List(int32_t index) const;
    int32_t ItemData(int32_t index) const;
    void SetItemData(int32_t index, int32_t value);
    std::wstring Text() const;

    const ControlDescription& Describe() const override;
    void InitProperties() override { CreateSystemWindow(); }
    void ReadProperties(PropertyStore&) override { CreateSystemWindow(); }
    void Resize() override;
    bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    WindowShape DescribeWindow() override;
    void WindowCreated() override { Resize(); }
    void CheckIndex(int32_t index) const;
};

}  // namespace Host

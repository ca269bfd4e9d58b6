#include "host/ComboBox.h"

#include <olectl.h>

#include "controls/base/ControlError.h"

namespace Host {

namespace {

constexpr int32_t kInvalidPropertyArrayIndex = 381;
// The dropped list shows this many pixels of items below the field.
constexpr int kListHeight = 200;

const std::wstring_view kAddItemArgs[] = {L"Item", L"Index"};
const std::wstring_view kIndexArgs[] = {L"Index"};
const std::wstring_view kSetItemDataArgs[] = {L"Index", L"Value"};
const Member kMembers[] = {
    Method<&ComboBox::AddItem>(L"AddItem", 1, kAddItemArgs),
    Method<&ComboBox::Clear>(L"Clear", 2),
    ReadOnly<&ComboBox::ListCount>(L"ListCount", 3),
    Property<&ComboBox::ListIndex, &ComboBox::SetListIndex>(L"ListIndex", 4),
    Method<&ComboBox::List>(L"List", 5, kIndexArgs),
    Method<&ComboBox::ItemData>(L"ItemData", 6, kIndexArgs),
    Method<&ComboBox::SetItemData>(L"SetItemData", 7, kSetItemDataArgs),
    ReadOnly<&ComboBox::Text>(L"Text", DISPID_TEXT),
};
const EventInfo kClick{L"Click", kDispIdClick, {}};
const EventInfo kEvents[] = {kClick};

}  // namespace

const ControlDescription& ComboBox::Describe() const {
    static const ControlDescription description{kTypeName, kMembers, kEvents, {}};
    return description;
}

WindowShape ComboBox::DescribeWindow() {
    return {L"ComboBox", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, {}};
}

void ComboBox::Resize() {
    // The window's height is that of the field and its dropped list together; the field
    // keeps its own height, which the font decides.
    if (hWnd()) {
        MoveWindow(hWnd(), 0, 0, Site().ScaleWidth(), Site().ScaleHeight() + kListHeight, TRUE);
    }
}

void ComboBox::CheckIndex(int32_t index) const {
    if (index < 0 || index >= ListCount()) ControlErrors::Raise(kInvalidPropertyArrayIndex);
}

void ComboBox::AddItem(const std::wstring& text, std::optional<int32_t> index) {
    if (!hWnd()) return;
    const int32_t at = index.value_or(ListCount());
    if (at < 0 || at > ListCount()) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    const LRESULT r = SendMessageW(hWnd(), CB_INSERTSTRING, static_cast<WPARAM>(at),
                                   reinterpret_cast<LPARAM>(text.c_str()));
    if (r < 0) ControlErrors::Raise(ControlErrors::kOutOfMemory);
}

void ComboBox::Clear() {
    if (hWnd()) SendMessageW(hWnd(), CB_RESETCONTENT, 0, 0);
}

int32_t ComboBox::ListCount() const {
    return hWnd() ? static_cast<int32_t>(SendMessageW(hWnd(), CB_GETCOUNT, 0, 0)) : 0;
}

int32_t ComboBox::ListIndex() const {
    return hWnd() ? static_cast<int32_t>(SendMessageW(hWnd(), CB_GETCURSEL, 0, 0)) : -1;
}

void ComboBox::SetListIndex(int32_t index) {
    if (index < -1 || index >= ListCount()) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    if (index == ListIndex()) return;
    SendMessageW(hWnd(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // The window reports only the user's choices; code's choice is a change as well.
    Raise(kClick);
}

std::wstring ComboBox::List(int32_t index) const {
    CheckIndex(index);
    const LRESULT length = SendMessageW(hWnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const LRESULT n = SendMessageW(hWnd(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(text.data()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

int32_t ComboBox::ItemData(int32_t index) const {
    CheckIndex(index);
    return static_cast<int32_t>(
        SendMessageW(hWnd(), CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void ComboBox::SetItemData(int32_t index, int32_t value) {
    CheckIndex(index);
    SendMessageW(hWnd(), CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(value));
}

std::wstring ComboBox::Text() const {
    const int32_t index = ListIndex();
    return index < 0 ? std::wstring() : List(index);
}

bool ComboBox::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return RaiseOnNotification(msg, wParam, lParam, CBN_SELCHANGE, kClick, result);
}

}  // namespace Host

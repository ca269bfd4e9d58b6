#include "host/TextBox.h"

#include <olectl.h>

#include <algorithm>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/ControlError.h"

namespace Host {

namespace {

const Member kMembers[] = {
    Property<&TextBox::Text, &TextBox::SetText>(L"Text", DISPID_TEXT),
    Property<&TextBox::SelStart, &TextBox::SetSelStart>(L"SelStart", 1),
    Property<&TextBox::SelLength, &TextBox::SetSelLength>(L"SelLength", 2),
};
const EventParameter kKeyPressArgs[] = {{L"KeyAscii", VT_I2, true}};
const EventInfo kChange{L"Change", 1, {}};
const EventInfo kKeyPress{L"KeyPress", kDispIdKeyPress, kKeyPressArgs};
const EventInfo kEvents[] = {kChange, kKeyPress};
constexpr StoredKey kTextKey = TextKey(L"Text");
const StoredKey kKeys[] = {kTextKey};

}  // namespace

const ControlDescription& TextBox::Describe() const {
    static const ControlDescription description{kTypeName, kMembers, kEvents, kKeys};
    return description;
}

void TextBox::InitProperties() {
    PropText = Site().GetAmbient().DisplayName();
    CreateSystemWindow();
}

void TextBox::ReadProperties(PropertyStore& store) {
    PropText = kTextKey.ReadString(store);
    CreateSystemWindow();
}

void TextBox::WriteProperties(PropertyStore& store) {
    kTextKey.WriteString(store, Text());
}

WindowShape TextBox::DescribeWindow() {
    return {L"Edit", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, PropText};
}

std::wstring TextBox::Text() const {
    if (!hWnd()) return PropText;
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hWnd())) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hWnd(), text.data(), static_cast<int>(text.size()))));
    return text;
}

void TextBox::SetText(const std::wstring& text) {
    PropText = text;
    // The window answers with EN_CHANGE, which raises Change.
    if (hWnd()) SetWindowTextW(hWnd(), text.c_str());
    Site().PropertyChanged(L"Text");
}

int32_t TextBox::SelStart() const {
    DWORD start = 0, end = 0;
    if (hWnd())
        SendMessageW(hWnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
    return static_cast<int32_t>(start);
}

void TextBox::SetSelStart(int32_t start) {
    if (start < 0) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    if (hWnd()) SendMessageW(hWnd(), EM_SETSEL, static_cast<WPARAM>(start), start);
}

int32_t TextBox::SelLength() const {
    DWORD start = 0, end = 0;
    if (hWnd())
        SendMessageW(hWnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
    return static_cast<int32_t>(end - start);
}

void TextBox::SetSelLength(int32_t length) {
    if (length < 0) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    const int32_t start = SelStart();
    if (hWnd()) SendMessageW(hWnd(), EM_SETSEL, static_cast<WPARAM>(start), start + length);
}

bool TextBox::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return RaiseOnNotification(msg, wParam, lParam, EN_CHANGE, kChange, result);
}

LRESULT TextBox::SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CHAR) {
        int16_t key = static_cast<int16_t>(wParam);
        try {
            Raise(kKeyPress, EventArg::ByRef(key));
        } catch (const ControlError&) {
        }
        if (key == 0) return 0;
        wParam = static_cast<WPARAM>(static_cast<uint16_t>(key));
    }
    return SystemWindowControl::SystemWindowMessage(hWnd, msg, wParam, lParam);
}

}  // namespace Host

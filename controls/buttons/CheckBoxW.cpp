#include "controls/buttons/CheckBoxW.h"

#include <olectl.h>

#include "controls/base/ControlError.h"
#include "controls/buttons/ButtonBase.h"

namespace {

const Host::Member kMembers[] = {
    Host::Property<&CheckBoxW::Caption, &CheckBoxW::SetCaption>(L"Caption", DISPID_CAPTION),
    Host::Property<&CheckBoxW::Value, &CheckBoxW::SetValue>(L"Value", DISPID_VALUE),
};
const Host::EventInfo kEvents[] = {ButtonBase::kClick};
constexpr Host::StoredKey kValueKey = Host::Int16Key(L"Value", CheckBoxW::kUnchecked);
const Host::StoredKey kKeys[] = {ButtonBase::kCaptionKey, kValueKey};

void CheckValue(int16_t value) {
    if (value < CheckBoxW::kUnchecked || value > CheckBoxW::kGrayed) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
}

}  // namespace

const Host::ControlDescription& CheckBoxW::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, kEvents, kKeys};
    return description;
}

void CheckBoxW::InitProperties() {
    PropCaption = Site().GetAmbient().DisplayName();
    CreateSystemWindow();
}

void CheckBoxW::ReadProperties(Host::PropertyStore& store) {
    PropCaption = ButtonBase::kCaptionKey.ReadString(store);
    const int16_t value = kValueKey.ReadInt16(store);
    CheckValue(value);
    PropValue = value;  // loading is not a change: no Click
    CreateSystemWindow();
}

void CheckBoxW::WriteProperties(Host::PropertyStore& store) {
    ButtonBase::kCaptionKey.WriteString(store, PropCaption);
    kValueKey.Write(store, Host::Variant::Int16(PropValue));
}

Host::WindowShape CheckBoxW::DescribeWindow() {
    // Not an automatic style: the control decides the next value itself, so that the grayed
    // state goes to unchecked on a click and every change raises Click once.
    return {L"Button", WS_TABSTOP | BS_3STATE | BS_MULTILINE | BS_NOTIFY, 0, PropCaption};
}

void CheckBoxW::WindowCreated() {
    SendMessageW(hWnd(), BM_SETCHECK, static_cast<WPARAM>(PropValue), 0);
    ButtonBase::ApplyCaption(Site(), nullptr, PropCaption);
}

void CheckBoxW::SetCaption(const std::wstring& caption) {
    PropCaption = caption;
    ButtonBase::ApplyCaption(Site(), hWnd(), PropCaption);
    Site().PropertyChanged(L"Caption");
}

void CheckBoxW::SetValue(int16_t value) {
    CheckValue(value);
    if (value == PropValue) return;
    PropValue = value;
    if (hWnd()) SendMessageW(hWnd(), BM_SETCHECK, static_cast<WPARAM>(value), 0);
    Site().PropertyChanged(L"Value");
    // A handler that sets Value again is heard once: the outer raise is still running.
    if (inClick_) return;
    inClick_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inClick_};  // also when a handler's error comes through
    Raise(ButtonBase::kClick);
}

void CheckBoxW::UserToggle() {
    SetValue(PropValue == kUnchecked ? kChecked : kUnchecked);
}

void CheckBoxW::AccessKeyPress(int16_t keyAscii) {
    if (!hWnd() || !IsWindowEnabled(hWnd()) || keyAscii == 13 || keyAscii == 27) return;
    SetFocus(hWnd());
    UserToggle();
}

bool CheckBoxW::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!ButtonBase::IsClick(hWnd(), msg, wParam, lParam)) return false;
    result = 0;
    if (!IsWindowEnabled(hWnd())) return true;
    try {
        UserToggle();
    } catch (const ControlError&) {
        // A Click handler's error has nowhere to go from a window procedure.
    }
    return true;
}

#include "controls/buttons/CommandButtonW.h"

#include <olectl.h>

#include "controls/buttons/ButtonBase.h"

namespace {

const Host::Member kMembers[] = {
    Host::Property<&CommandButtonW::Caption, &CommandButtonW::SetCaption>(L"Caption",
                                                                          DISPID_CAPTION),
};
const Host::EventInfo kEvents[] = {ButtonBase::kClick};
const Host::StoredKey kKeys[] = {ButtonBase::kCaptionKey};

}  // namespace

const Host::ControlDescription& CommandButtonW::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, kEvents, kKeys};
    return description;
}

void CommandButtonW::InitProperties() {
    PropCaption = Site().GetAmbient().DisplayName();
    CreateSystemWindow();
}

void CommandButtonW::ReadProperties(Host::PropertyStore& store) {
    PropCaption = ButtonBase::kCaptionKey.ReadString(store);
    CreateSystemWindow();
}

void CommandButtonW::WriteProperties(Host::PropertyStore& store) {
    ButtonBase::kCaptionKey.WriteString(store, PropCaption);
}

Host::WindowShape CommandButtonW::DescribeWindow() {
    DWORD style = WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_NOTIFY;
    if (Site().GetAmbient().DisplayAsDefault()) style |= BS_DEFPUSHBUTTON;
    return {L"Button", style, 0, PropCaption};
}

void CommandButtonW::WindowCreated() {
    ButtonBase::ApplyCaption(Site(), nullptr, PropCaption);
}

void CommandButtonW::SetCaption(const std::wstring& caption) {
    PropCaption = caption;
    ButtonBase::ApplyCaption(Site(), hWnd(), PropCaption);
    Site().PropertyChanged(L"Caption");
}

void CommandButtonW::AmbientChanged(std::wstring_view name) {
    if (hWnd() && (name.empty() || name == L"DisplayAsDefault")) {
        const bool isDefault = Site().GetAmbient().DisplayAsDefault();
        SendMessageW(hWnd(), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
    SystemWindowControl::AmbientChanged(name);
}

void CommandButtonW::AccessKeyPress(int16_t keyAscii) {
    if (!hWnd() || !IsWindowEnabled(hWnd())) return;
    // Return and Escape come as the form's default or cancel button: no focus change.
    if (keyAscii != 13 && keyAscii != 27) SetFocus(hWnd());
    Raise(ButtonBase::kClick);
}

bool CommandButtonW::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!ButtonBase::IsClick(hWnd(), msg, wParam, lParam)) return false;
    // A disabled button takes no input, whoever sent the click.
    if (IsWindowEnabled(hWnd())) Raise(ButtonBase::kClick);
    result = 0;
    return true;
}

#include "controls/buttons/CommandButtonW.h"

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "host/Events.h"
#include "host/LateBound.h"

#include <olectl.h>

namespace {

constexpr DWORD_PTR kRefButton = 1;
constexpr DWORD_PTR kRefUserControl = 2;

}  // namespace

void CommandButtonW::InitProperties() {
    PropCaption = Site().GetAmbient().DisplayName();
    CreateButton();
}

void CommandButtonW::ReadProperties(Host::PropertyStore& store) {
    PropCaption = Common::VarToStr(store.Read(L"Caption").Get());
    CreateButton();
}

void CommandButtonW::WriteProperties(Host::PropertyStore& store) {
    store.Write(L"Caption", Host::Variant(Common::StrToVar(PropCaption).Get()), {});
}

void CommandButtonW::Terminate() {
    DestroyButton();
}

void CommandButtonW::CreateButton() {
    ComCtlsBase::InitCommonControlsClass(ICC_STANDARD_CLASSES);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_NOTIFY;
    if (Site().GetAmbient().DisplayAsDefault()) style |= BS_DEFPUSHBUTTON;
    hwndButton_ = CreateWindowExW(0, L"Button", PropCaption.c_str(), style, 0, 0,
                                  Site().ScaleWidth(), Site().ScaleHeight(), Site().Hwnd(), nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!hwndButton_) return;
    ApplyFont();
    EnableWindow(hwndButton_, Site().Enabled());
    ComCtlsBase::InstallSubclass(hwndButton_, this, kRefButton);
    ComCtlsBase::InstallSubclass(Site().Hwnd(), this, kRefUserControl);
    UpdateAccessKeys();
}

void CommandButtonW::DestroyButton() {
    if (Sited() && Site().Hwnd()) ComCtlsBase::RemoveSubclass(Site().Hwnd());
    if (hwndButton_) {
        ComCtlsBase::RemoveSubclass(hwndButton_);
        DestroyWindow(hwndButton_);
        hwndButton_ = nullptr;
    }
    font_.Reset();  // only once no window uses it
}

void CommandButtonW::ApplyFont() {
    ComPtr<IFontDisp> disp = Site().Font();
    if (!disp) disp = Site().GetAmbient().Font();
    ComPtr<IFont> font;
    if (disp) disp->QueryInterface(IID_IFont, reinterpret_cast<void**>(font.Put()));
    UniqueFont made = Common::CreateGDIFont(font.Get());
    SendMessageW(hwndButton_, WM_SETFONT, reinterpret_cast<WPARAM>(made.Get()), TRUE);
    font_ = std::move(made);
}

void CommandButtonW::UpdateAccessKeys() {
    const wchar_t key = CommandButtonW::AccessKeyOf(PropCaption);
    Site().SetAccessKeys(key ? std::wstring(1, key) : std::wstring());
}

wchar_t CommandButtonW::AccessKeyOf(const std::wstring& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(caption[i + 1])))));
    }
    return 0;
}

void CommandButtonW::SetCaption(const std::wstring& caption) {
    PropCaption = caption;
    if (hwndButton_) SetWindowTextW(hwndButton_, PropCaption.c_str());
    UpdateAccessKeys();
    Site().PropertyChanged(L"Caption");
}

bool CommandButtonW::Enabled() const {
    return !Sited() || Site().Enabled();
}

void CommandButtonW::SetEnabled(bool enabled) {
    Site().SetEnabled(enabled);
    if (hwndButton_) EnableWindow(hwndButton_, enabled);
    Site().PropertyChanged(L"Enabled");
}

void CommandButtonW::Resize() {
    if (hwndButton_) MoveWindow(hwndButton_, 0, 0, Site().ScaleWidth(), Site().ScaleHeight(), TRUE);
}

void CommandButtonW::AmbientChanged(std::wstring_view name) {
    if (!hwndButton_) return;
    if (name.empty() || name == L"DisplayAsDefault") {
        const bool isDefault = Site().GetAmbient().DisplayAsDefault();
        SendMessageW(hwndButton_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
    if (name.empty() || name == L"Font") ApplyFont();
}

void CommandButtonW::AccessKeyPress(int16_t keyAscii) {
    if (!hwndButton_ || !IsWindowEnabled(hwndButton_)) return;
    // Return and Escape come as the form's default or cancel button: no focus change.
    if (keyAscii != 13 && keyAscii != 27) SetFocus(hwndButton_);
    Site().RaiseEvent(L"Click", Host::kDispIdClick);
}

bool CommandButtonW::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_COMMAND && reinterpret_cast<HWND>(lParam) == hwndButton_ &&
        HIWORD(wParam) == BN_CLICKED) {
        // A disabled button takes no input, whoever sent the click.
        if (IsWindowEnabled(hwndButton_)) Site().RaiseEvent(L"Click", Host::kDispIdClick);
        result = 0;
        return true;
    }
    return false;
}

LRESULT CommandButtonW::Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                DWORD_PTR dwRefData) {
    switch (dwRefData) {
        case kRefUserControl:
            // The user control passes the focus on to the button it holds.
            if (wMsg == WM_SETFOCUS && hwndButton_) {
                SetFocus(hwndButton_);
                return 0;
            }
            break;
        case kRefButton:
        default:
            break;
    }
    return ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
}

HRESULT CommandButtonW::DispIdOfName(std::wstring_view name, DISPID& id) {
    if (!Host::MemberNameIs(name, L"Caption")) return DISP_E_UNKNOWNNAME;
    id = DISPID_CAPTION;
    return S_OK;
}

HRESULT CommandButtonW::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    if (id != DISPID_CAPTION) return DISP_E_MEMBERNOTFOUND;
    if (flags & DISPATCH_PROPERTYGET) {
        if (!result) return E_POINTER;
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(PropCaption.c_str());
        return S_OK;
    }
    ::Variant value;
    if (HRESULT hr = Host::PutArgument(params, VT_BSTR, value); FAILED(hr)) return hr;
    SetCaption(value.Get().bstrVal ? value.Get().bstrVal : L"");
    return S_OK;
}

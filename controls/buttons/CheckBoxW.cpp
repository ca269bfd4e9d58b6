#include "controls/buttons/CheckBoxW.h"

#include "controls/buttons/CommandButtonW.h"

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/Events.h"
#include "host/LateBound.h"

#include <olectl.h>

namespace {

constexpr DWORD_PTR kRefCheck = 1;
constexpr DWORD_PTR kRefUserControl = 2;

}  // namespace

void CheckBoxW::InitProperties() {
    PropCaption = Site().GetAmbient().DisplayName();
    CreateCheck();
}

void CheckBoxW::ReadProperties(Host::PropertyStore& store) {
    PropCaption = Common::VarToStr(store.Read(L"Caption").Get());
    const int16_t value = store.ReadInt16(L"Value", kUnchecked);
    if (value < kUnchecked || value > kGrayed) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    PropValue = value;  // loading is not a change: no Click
    CreateCheck();
}

void CheckBoxW::WriteProperties(Host::PropertyStore& store) {
    store.Write(L"Caption", Host::Variant(Common::StrToVar(PropCaption).Get()), {});
    store.Write(L"Value", Host::Variant::Int16(PropValue), Host::Variant::Int16(kUnchecked));
}

void CheckBoxW::Terminate() {
    DestroyCheck();
}

void CheckBoxW::CreateCheck() {
    ComCtlsBase::InitCommonControlsClass(ICC_STANDARD_CLASSES);
    // Not an automatic style: the control decides the next value itself, so that the grayed
    // state goes to unchecked on a click and every change raises Click once.
    hwndCheck_ =
        CreateWindowExW(0, L"Button", PropCaption.c_str(),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_3STATE | BS_MULTILINE | BS_NOTIFY,
                        0, 0, Site().ScaleWidth(), Site().ScaleHeight(), Site().Hwnd(), nullptr,
                        GetModuleHandleW(nullptr), nullptr);
    if (!hwndCheck_) return;
    ApplyFont();
    SendMessageW(hwndCheck_, BM_SETCHECK, static_cast<WPARAM>(PropValue), 0);
    EnableWindow(hwndCheck_, Site().Enabled());
    ComCtlsBase::InstallSubclass(hwndCheck_, this, kRefCheck);
    ComCtlsBase::InstallSubclass(Site().Hwnd(), this, kRefUserControl);
    UpdateAccessKeys();
}

void CheckBoxW::DestroyCheck() {
    if (Sited() && Site().Hwnd()) ComCtlsBase::RemoveSubclass(Site().Hwnd());
    if (hwndCheck_) {
        ComCtlsBase::RemoveSubclass(hwndCheck_);
        DestroyWindow(hwndCheck_);
        hwndCheck_ = nullptr;
    }
    font_.Reset();
}

void CheckBoxW::ApplyFont() {
    ComPtr<IFontDisp> disp = Site().Font();
    if (!disp) disp = Site().GetAmbient().Font();
    ComPtr<IFont> font;
    if (disp) disp->QueryInterface(IID_IFont, reinterpret_cast<void**>(font.Put()));
    UniqueFont made = Common::CreateGDIFont(font.Get());
    SendMessageW(hwndCheck_, WM_SETFONT, reinterpret_cast<WPARAM>(made.Get()), TRUE);
    font_ = std::move(made);
}

void CheckBoxW::UpdateAccessKeys() {
    const wchar_t key = CommandButtonW::AccessKeyOf(PropCaption);
    Site().SetAccessKeys(key ? std::wstring(1, key) : std::wstring());
}

void CheckBoxW::SetCaption(const std::wstring& caption) {
    PropCaption = caption;
    if (hwndCheck_) SetWindowTextW(hwndCheck_, PropCaption.c_str());
    UpdateAccessKeys();
    Site().PropertyChanged(L"Caption");
}

void CheckBoxW::SetValue(int16_t value) {
    if (value < kUnchecked || value > kGrayed) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    if (value == PropValue) return;
    PropValue = value;
    if (hwndCheck_) SendMessageW(hwndCheck_, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    Site().PropertyChanged(L"Value");
    // A handler that sets Value again is heard once: the outer raise is still running.
    if (inClick_) return;
    inClick_ = true;
    Site().RaiseEvent(L"Click", Host::kDispIdClick);
    inClick_ = false;
}

void CheckBoxW::UserToggle() {
    SetValue(PropValue == kUnchecked ? kChecked : kUnchecked);
}

bool CheckBoxW::Enabled() const {
    return !Sited() || Site().Enabled();
}

void CheckBoxW::SetEnabled(bool enabled) {
    Site().SetEnabled(enabled);
    if (hwndCheck_) EnableWindow(hwndCheck_, enabled);
    Site().PropertyChanged(L"Enabled");
}

void CheckBoxW::Resize() {
    if (hwndCheck_) MoveWindow(hwndCheck_, 0, 0, Site().ScaleWidth(), Site().ScaleHeight(), TRUE);
}

void CheckBoxW::AmbientChanged(std::wstring_view name) {
    if (hwndCheck_ && (name.empty() || name == L"Font")) ApplyFont();
}

void CheckBoxW::AccessKeyPress(int16_t keyAscii) {
    if (!hwndCheck_ || !IsWindowEnabled(hwndCheck_) || keyAscii == 13 || keyAscii == 27) return;
    SetFocus(hwndCheck_);
    UserToggle();
}

bool CheckBoxW::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_COMMAND && reinterpret_cast<HWND>(lParam) == hwndCheck_ &&
        HIWORD(wParam) == BN_CLICKED) {
        result = 0;
        if (!IsWindowEnabled(hwndCheck_)) return true;
        try {
            UserToggle();
        } catch (const ControlError&) {
            // A Click handler's error has nowhere to go from a window procedure.
        }
        result = 0;
        return true;
    }
    return false;
}

LRESULT CheckBoxW::Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                           DWORD_PTR dwRefData) {
    if (dwRefData == kRefUserControl && wMsg == WM_SETFOCUS && hwndCheck_) {
        SetFocus(hwndCheck_);
        return 0;
    }
    return ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
}

HRESULT CheckBoxW::DispIdOfName(std::wstring_view name, DISPID& id) {
    if (Host::MemberNameIs(name, L"Caption")) {
        id = DISPID_CAPTION;
    } else if (Host::MemberNameIs(name, L"Value")) {
        id = DISPID_VALUE;
    } else {
        return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
}

HRESULT CheckBoxW::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    if (id != DISPID_CAPTION && id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    if (flags & DISPATCH_PROPERTYGET) {
        if (!result) return E_POINTER;
        VariantInit(result);
        if (id == DISPID_CAPTION) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(PropCaption.c_str());
        } else {
            result->vt = VT_I2;
            result->iVal = PropValue;
        }
        return S_OK;
    }
    ::Variant value;
    if (HRESULT hr = Host::PutArgument(params, id == DISPID_CAPTION ? VT_BSTR : VT_I2, value);
        FAILED(hr)) {
        return hr;
    }
    if (id == DISPID_CAPTION) {
        SetCaption(value.Get().bstrVal ? value.Get().bstrVal : L"");
    } else {
        SetValue(value.Get().iVal);
    }
    return S_OK;
}

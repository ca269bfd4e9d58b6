#include "tests/host/TestControls.h"

#include <algorithm>
#include <cwctype>
#include <new>
#include <stdexcept>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VTableHandle.h"
#include "host/ControlTypes.h"
#include "host/Variant.h"

namespace testhost {

bool Journal::Has(const std::wstring& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Journal& TheJournal() {
    static Journal journal;
    return journal;
}

void RegisterTestControls() {
    ControlTypes::Register<TestButton>(L"TestButton");
    ControlTypes::Register<TestEdit>(L"TestEdit");
    ControlTypes::Register<TestLabel>(L"TestLabel");
}

CLIPFORMAT TestFormat() {
    static const CLIPFORMAT format =
        static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Paylevix test format"));
    return format;
}

void RaiseDropEvent(Host::ControlSite& site, IDataObject* data, int32_t& effect, float x, float y,
                    int16_t state, bool drop) {
    const std::wstring text = Host::DataObject::TextOf(data).value_or(L"");
    if (!drop) {
        site.RaiseEvent(L"OLEDragOver", 6, Host::EventArg::ByVal(text),
                        Host::EventArg::ByRef(effect), Host::EventArg::ByVal(x),
                        Host::EventArg::ByVal(y), Host::EventArg::ByVal(state));
        return;
    }
    std::wstring extra;
    FORMATETC format{TestFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data && SUCCEEDED(data->GetData(&format, &medium))) {
        const auto* bytes = static_cast<const char*>(GlobalLock(medium.hGlobal));
        extra.assign(bytes, bytes + GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
    }
    site.RaiseEvent(L"OLEDragDrop", 5, Host::EventArg::ByVal(text), Host::EventArg::ByVal(extra),
                    Host::EventArg::ByRef(effect), Host::EventArg::ByVal(x),
                    Host::EventArg::ByVal(y));
}

// --- TestButton ---------------------------------------------------------------------------------

void TestButton::Initialize() {
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kOleInPlaceActiveObject);
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kOleControl);
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
}

void TestButton::InitProperties() {
    caption_ = Site().GetAmbient().DisplayName();
    CreateButton();
}

void TestButton::ReadProperties(Host::PropertyStore& store) {
    caption_ = Common::VarToStr(store.Read(L"Caption").Get());
    counter_ = store.ReadInt32(L"Counter", 0);
    ratio_ = store.Read(L"Ratio", Host::Variant::Float(1.5f)).ToFloat();
    CreateButton();
}

void TestButton::WriteProperties(Host::PropertyStore& store) {
    store.Write(L"Caption", Common::StrToVar(caption_), {});
    store.Write(L"Counter", Host::Variant::Int32(counter_), Host::Variant::Int32(0));
    store.Write(L"Ratio", Host::Variant::Float(ratio_), Host::Variant::Float(1.5f));
}

void TestButton::Terminate() {
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kOleInPlaceActiveObject);
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kOleControl);
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
    if (button_) {
        ComCtlsBase::RemoveSubclass(button_);
        DestroyWindow(button_);
    }
    button_ = nullptr;
    accel_.reset();
}

void TestButton::CreateButton() {
    button_ = CreateWindowExW(0, L"Button", caption_.c_str(),
                              WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_NOTIFY, 0, 0,
                              Site().ScaleWidth(), Site().ScaleHeight(), Site().Hwnd(), nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    EnableWindow(button_, Site().Enabled());
    ComCtlsBase::InstallSubclass(button_, this, 1);
}

LRESULT TestButton::Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                            DWORD_PTR dwRefData) {
    if (dwRefData == 1 && (wMsg == WM_KEYDOWN || wMsg == WM_CHAR)) {
        TheJournal().Add(Site().Name() +
                         (wMsg == WM_KEYDOWN ? L" button WM_KEYDOWN " : L" button WM_CHAR ") +
                         std::to_wstring(wParam));
    }
    return ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
}

const Host::ControlDescription& TestButton::Describe() const {
    static const Host::Member members[] = {Host::Method<&TestButton::Fail>(L"Fail", 0x68030001)};
    static const Host::ControlDescription description{L"TestButton", members, {}, {}};
    return description;
}

void TestButton::Fail(int32_t kind) {
    switch (kind) {
        case 1:
            throw std::bad_alloc();
        case 2:
            throw std::runtime_error("failed");
        default:
            ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
}

void TestButton::Resize() {
    if (button_) MoveWindow(button_, 0, 0, Site().ScaleWidth(), Site().ScaleHeight(), TRUE);
}

void TestButton::SetCaption(const std::wstring& caption) {
    caption_ = caption;
    if (button_) SetWindowTextW(button_, caption.c_str());
    Site().PropertyChanged(L"Caption");
    VTableHandle::NotifyControlInfoChanged(Object(), false);
}

void TestButton::SetCounter(int32_t value) {
    counter_ = value;
    Site().PropertyChanged(L"Counter");
}

void TestButton::SetEnabled(bool enabled) {
    Site().SetEnabled(enabled);
    if (button_) EnableWindow(button_, enabled);
}

wchar_t TestButton::AccessKey() const {
    return Common::AccessKey(caption_);
}

void TestButton::AmbientChanged(std::wstring_view name) {
    if (name != L"DisplayAsDefault") return;
    displayAsDefault_ = Site().GetAmbient().DisplayAsDefault();
    TheJournal().Add(Site().Name() + L" DisplayAsDefault " + (displayAsDefault_ ? L"1" : L"0"));
    if (button_) {
        SendMessageW(button_, BM_SETSTYLE, displayAsDefault_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                     TRUE);
    }
}

void TestButton::AccessKeyPress(int16_t keyAscii) {
    TheJournal().Add(Site().Name() + L" AccessKeyPress " + std::to_wstring(keyAscii));
    if (keyAscii == 13 || keyAscii == 27) Site().RaiseEvent(L"Click", Host::kDispIdClick);
}

bool TestButton::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_COMMAND && reinterpret_cast<HWND>(lParam) == button_ &&
        HIWORD(wParam) == BN_CLICKED) {
        Site().RaiseEvent(L"Click", Host::kDispIdClick);
        result = 0;
        return true;
    }
    return false;
}

HRESULT TestButton::TranslateAccelerator(VARIANT_BOOL* Handled, LONG* RetVal, LONG wMsg,
                                         LONG_PTR wParam, LONG_PTR lParam, LONG Shift) {
    ++translateCalls_;
    *Handled = VARIANT_FALSE;
    if (wMsg != WM_KEYDOWN) return S_OK;
    TheJournal().Add(Site().Name() + L" TranslateAccelerator " + std::to_wstring(wParam & 0xFF) +
                     L" shift " + std::to_wstring(Shift));
    bool isInputKey = false;
    Site().RaiseEvent(L"PreviewKeyDown", 4,
                      Host::EventArg::ByVal(static_cast<int16_t>(wParam & 0xFF)),
                      Host::EventArg::ByRef(isInputKey));
    if (isInputKey) {
        SendMessageW(button_, static_cast<UINT>(wMsg), static_cast<WPARAM>(wParam),
                     static_cast<LPARAM>(lParam));
        *Handled = VARIANT_TRUE;
        *RetVal = S_OK;
    }
    return S_OK;
}

HRESULT TestButton::GetControlInfo(VARIANT_BOOL* Handled, USHORT* AccelCount, HACCEL* AccelTable,
                                   DWORD* Flags) {
    accel_.reset();
    *Handled = VARIANT_FALSE;
    const wchar_t key = AccessKey();
    if (!button_ || !key) return S_OK;
    ACCEL entry{FALT | FVIRTKEY, static_cast<WORD>(VkKeyScanW(key) & 0xFF), 1000};
    accel_.reset(CreateAcceleratorTableW(&entry, 1));
    *AccelTable = accel_.get();
    *AccelCount = 1;
    *Flags = 0;
    *Handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT TestButton::OnMnemonic(VARIANT_BOOL* Handled, LONG wMsg, LONG_PTR wParam, LONG_PTR,
                               LONG Shift) {
    *Handled = VARIANT_FALSE;
    const wchar_t key = AccessKey();
    if (wMsg == WM_SYSKEYDOWN && key && (VkKeyScanW(key) & 0xFF) == (wParam & 0xFF)) {
        TheJournal().Add(Site().Name() + L" OnMnemonic shift " + std::to_wstring(Shift));
        Site().RaiseEvent(L"Click", Host::kDispIdClick);
        *Handled = VARIANT_TRUE;
    }
    return S_OK;
}

HRESULT TestButton::GetDisplayString(VARIANT_BOOL* Handled, DISPID DispID, BSTR* DisplayName) {
    *Handled = VARIANT_FALSE;
    if (DispID == 7) {
        *DisplayName = SysAllocString((std::to_wstring(counter_) + L" - Counter").c_str());
        *Handled = VARIANT_TRUE;
    }
    return S_OK;
}

void TestButton::OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) {
    data.SetText(caption_);
    data.Announce(TestFormat());
    Site().RaiseEvent(L"OLEStartDrag", 13, Host::EventArg::ByRef(allowedEffects));
}

void TestButton::OLESetData(Host::DataObject& data, int16_t& format) {
    TheJournal().Add(Site().Name() + L" OLESetData");
    if (static_cast<CLIPFORMAT>(format) == TestFormat()) data.SetData(TestFormat(), "rendered", 8);
}

void TestButton::OLECompleteDrag(int32_t& effect) {
    Site().RaiseEvent(L"OLECompleteDrag", 8, Host::EventArg::ByVal(effect));
}

// --- TestEdit -----------------------------------------------------------------------------------

void TestEdit::Initialize() {
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kOleControl);
}

void TestEdit::InitProperties() {
    CreateEdit(L"");
}

void TestEdit::ReadProperties(Host::PropertyStore& store) {
    wantReturn_ = store.ReadBool(L"WantReturn", false);
    CreateEdit(store.ReadString(L"Text", L""));
}

void TestEdit::WriteProperties(Host::PropertyStore& store) {
    store.Write(L"Text", Host::Variant::String(Text()), Host::Variant::String(L""));
    store.Write(L"WantReturn", Host::Variant::Bool(wantReturn_), Host::Variant::Bool(false));
}

void TestEdit::Terminate() {
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kOleControl);
    if (edit_) DestroyWindow(edit_);
    edit_ = nullptr;
}

void TestEdit::CreateEdit(const std::wstring& text) {
    edit_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", text.c_str(),
                        WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | (wantReturn_ ? ES_MULTILINE : 0),
                        0, 0, Site().ScaleWidth(), Site().ScaleHeight(), Site().Hwnd(), nullptr,
                        GetModuleHandleW(nullptr), nullptr);
}

void TestEdit::Resize() {
    if (edit_) MoveWindow(edit_, 0, 0, Site().ScaleWidth(), Site().ScaleHeight(), TRUE);
}

std::wstring TestEdit::Text() const {
    if (!edit_) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void TestEdit::SetText(const std::wstring& text) {
    if (edit_) SetWindowTextW(edit_, text.c_str());
    Site().PropertyChanged(L"Text");
}

HRESULT TestEdit::GetControlInfo(VARIANT_BOOL* Handled, USHORT* AccelCount, HACCEL* AccelTable,
                                 DWORD* Flags) {
    *Handled = VARIANT_FALSE;
    if (!wantReturn_) return S_OK;
    *AccelCount = 0;
    *AccelTable = nullptr;
    *Flags = CTRLINFO_EATS_RETURN;
    *Handled = VARIANT_TRUE;
    return S_OK;
}

void TestEdit::OLEDragOver(IDataObject* data, int32_t& effect, int16_t, int16_t, float x, float y,
                           int16_t state) {
    RaiseDropEvent(Site(), data, effect, x, y, state, false);
}

void TestEdit::OLEDragDrop(IDataObject* data, int32_t& effect, int16_t, int16_t, float x, float y) {
    RaiseDropEvent(Site(), data, effect, x, y, 0, true);
}

// --- TestLabel ----------------------------------------------------------------------------------

void TestLabel::InitProperties() {
    SetCaption(Site().GetAmbient().DisplayName());
}

void TestLabel::ReadProperties(Host::PropertyStore& store) {
    SetCaption(store.ReadString(L"Caption", L""));
}

void TestLabel::WriteProperties(Host::PropertyStore& store) {
    store.Write(L"Caption", Host::Variant::String(caption_), Host::Variant::String(L""));
}

void TestLabel::SetCaption(const std::wstring& caption) {
    caption_ = caption;
    const wchar_t key = Common::AccessKey(caption);
    Site().SetAccessKeys(key ? std::wstring(1, key) : std::wstring());
    Site().PropertyChanged(L"Caption");
    Site().Refresh();
}

void TestLabel::Paint(const Host::PaintSurface& surface) {
    ++paints_;
    RECT r{0, 0, surface.width, surface.height};
    DrawTextW(surface.hdc, caption_.c_str(), -1, &r, DT_LEFT | DT_TOP);
}

void TestLabel::MouseDown(int16_t button, int16_t shift, int x, int y) {
    float tx = static_cast<float>(Site().ScaleX(x, Units::Unit::Pixels, Units::Unit::Twips));
    float ty = static_cast<float>(Site().ScaleY(y, Units::Unit::Pixels, Units::Unit::Twips));
    Site().RaiseEvent(L"MouseDown", Host::kDispIdMouseDown, Host::EventArg::ByRef(button),
                      Host::EventArg::ByRef(shift), Host::EventArg::ByRef(tx),
                      Host::EventArg::ByRef(ty));
}

void TestLabel::Click() {
    Site().RaiseEvent(L"Click", Host::kDispIdClick);
}

void TestLabel::AccessKeyPress(int16_t keyAscii) {
    TheJournal().Add(Site().Name() + L" AccessKeyPress " + std::to_wstring(keyAscii));
}

}  // namespace testhost

namespace testhost {

void TestLabel::OLEDragOver(IDataObject* data, int32_t& effect, int16_t, int16_t, float x, float y,
                            int16_t state) {
    RaiseDropEvent(Site(), data, effect, x, y, state, false);
}

void TestLabel::OLEDragDrop(IDataObject* data, int32_t& effect, int16_t, int16_t, float x,
                            float y) {
    RaiseDropEvent(Site(), data, effect, x, y, 0, true);
}

}  // namespace testhost

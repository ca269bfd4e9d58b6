#include "controls/richtext/RichTextBox.h"

#include <richedit.h>

#include <cstring>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/richtext/RichTextBoxBase.h"
#include "host/LateBound.h"

#include <olectl.h>

namespace {

constexpr DWORD_PTR kRefRichEdit = 1;
constexpr DWORD_PTR kRefUserControl = 2;

struct StreamBuffer {
    std::string bytes;
    size_t offset = 0;
};

DWORD CALLBACK StreamInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* stream = reinterpret_cast<StreamBuffer*>(cookie);
    const size_t left = stream->bytes.size() - stream->offset;
    const size_t n = left < static_cast<size_t>(count) ? left : static_cast<size_t>(count);
    if (n) std::memcpy(buffer, stream->bytes.data() + stream->offset, n);
    stream->offset += n;
    *done = static_cast<LONG>(n);
    return 0;
}

DWORD CALLBACK StreamOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* stream = reinterpret_cast<StreamBuffer*>(cookie);
    stream->bytes.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
    *done = count;
    return 0;
}

// Rich Text Format is 7-bit: a character beyond ASCII in the string becomes its \u keyword
// with "?" as the fallback for readers that skip it, so no code page can garble it.
std::string RtfBytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t c : text) {
        if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
        } else {
            bytes += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
        }
    }
    return bytes;
}

std::wstring WideOf(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

}  // namespace

void RichTextBox::InitProperties() {
    CreateRichEdit();
}

void RichTextBox::ReadProperties(Host::PropertyStore& store) {
    PropMultiLine = store.ReadBool(L"MultiLine", false);
    const int32_t bars = store.ReadInt32(L"ScrollBars", 0);
    if (bars < 0 || bars > 3) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropScrollBars = bars;
    PropLocked = store.ReadBool(L"Locked", false);
    PropTextRTF = Common::VarToStr(store.Read(L"TextRTF").Get());
    CreateRichEdit();
}

void RichTextBox::WriteProperties(Host::PropertyStore& store) {
    store.Write(L"MultiLine", Host::Variant::Bool(PropMultiLine), Host::Variant::Bool(false));
    store.Write(L"ScrollBars", Host::Variant::Int32(PropScrollBars), Host::Variant::Int32(0));
    store.Write(L"Locked", Host::Variant::Bool(PropLocked), Host::Variant::Bool(false));
    store.Write(L"TextRTF", Host::Variant(Common::StrToVar(TextRTF()).Get()), {});
}

void RichTextBox::Terminate() {
    DestroyRichEdit();
}

void RichTextBox::CreateRichEdit() {
    if (!libraryHeld_) libraryHeld_ = RichTextBoxBase::InitRichTextBox();
    if (!libraryHeld_) return;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NOHIDESEL | ES_SAVESEL;
    if (PropMultiLine) style |= ES_MULTILINE | ES_WANTRETURN;
    if (PropScrollBars & 1) style |= WS_HSCROLL | ES_AUTOHSCROLL;
    if (PropScrollBars & 2) style |= WS_VSCROLL | ES_AUTOVSCROLL;
    if (!PropMultiLine) style |= ES_AUTOHSCROLL;
    if (PropLocked) style |= ES_READONLY;
    hwndRichEdit_ = CreateWindowExW(WS_EX_CLIENTEDGE, RichTextBoxBase::RichEditClass(), L"", style,
                                    0, 0, Site().ScaleWidth(), Site().ScaleHeight(), Site().Hwnd(),
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwndRichEdit_) return;
    // No limit beyond memory: the default of 32767 characters would cut a long document.
    SendMessageW(hwndRichEdit_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    ApplyFont();
    ApplyWrap();
    ComCtlsBase::InstallSubclass(hwndRichEdit_, this, kRefRichEdit);
    ComCtlsBase::InstallSubclass(Site().Hwnd(), this, kRefUserControl);
    if (!PropTextRTF.empty()) {
        StreamIn(RtfBytes(PropTextRTF));
        PropTextRTF.clear();
    }
}

void RichTextBox::DestroyRichEdit() {
    if (Sited() && Site().Hwnd()) ComCtlsBase::RemoveSubclass(Site().Hwnd());
    if (hwndRichEdit_) {
        ComCtlsBase::RemoveSubclass(hwndRichEdit_);
        DestroyWindow(hwndRichEdit_);
        hwndRichEdit_ = nullptr;
    }
    font_.Reset();
    // The window is gone first: the library may go with the last box.
    if (libraryHeld_) {
        RichTextBoxBase::ReleaseRichTextBox();
        libraryHeld_ = false;
    }
}

void RichTextBox::ReCreateRichEdit() {
    if (!hwndRichEdit_) return;
    const std::string content = StreamOut();
    CHARRANGE selection{};
    SendMessageW(hwndRichEdit_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    POINT scroll{};
    SendMessageW(hwndRichEdit_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    const bool hadFocus = GetFocus() == hwndRichEdit_;

    // Keep the library loaded across the swap of windows.
    const bool held = RichTextBoxBase::InitRichTextBox();
    DestroyRichEdit();
    CreateRichEdit();
    if (held) RichTextBoxBase::ReleaseRichTextBox();
    if (!hwndRichEdit_) return;

    StreamIn(content);
    SendMessageW(hwndRichEdit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    if (!(PropScrollBars & 1)) scroll.x = 0;
    if (!(PropScrollBars & 2)) scroll.y = 0;
    SendMessageW(hwndRichEdit_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    if (hadFocus) SetFocus(hwndRichEdit_);
}

void RichTextBox::ApplyFont() {
    ComPtr<IFontDisp> disp = Site().Font();
    if (!disp) disp = Site().GetAmbient().Font();
    ComPtr<IFont> font;
    if (disp) disp->QueryInterface(IID_IFont, reinterpret_cast<void**>(font.Put()));
    UniqueFont made = Common::CreateGDIFont(font.Get());
    SendMessageW(hwndRichEdit_, WM_SETFONT, reinterpret_cast<WPARAM>(made.Get()), TRUE);
    font_ = std::move(made);
}

void RichTextBox::ApplyWrap() {
    // A multi-line box wraps at its right edge unless it scrolls horizontally.
    const bool wrap = PropMultiLine && !(PropScrollBars & 1);
    SendMessageW(hwndRichEdit_, EM_SETTARGETDEVICE, 0, wrap ? 0 : 1);
}

std::string RichTextBox::StreamOut() const {
    StreamBuffer stream;
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, StreamOutCallback};
    SendMessageW(hwndRichEdit_, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&es));
    return stream.bytes;
}

void RichTextBox::StreamIn(const std::string& rtf) {
    StreamBuffer stream{rtf, 0};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, StreamInCallback};
    SendMessageW(hwndRichEdit_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
    // A new document starts at its top, caret first.
    CHARRANGE start{0, 0};
    SendMessageW(hwndRichEdit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    POINT top{0, 0};
    SendMessageW(hwndRichEdit_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&top));
}

void RichTextBox::SetMultiLine(bool value) {
    // Kept in the window style: fixed once the program runs.
    if (Site().GetAmbient().UserMode()) ControlErrors::RaiseReadOnlyAtRunTime(L"MultiLine");
    PropMultiLine = value;
    ReCreateRichEdit();
    Site().PropertyChanged(L"MultiLine");
}

std::wstring RichTextBox::TextRTF() const {
    if (!hwndRichEdit_) return PropTextRTF;
    return WideOf(StreamOut());
}

void RichTextBox::SetTextRTF(const std::wstring& rtf) {
    if (!hwndRichEdit_) {
        PropTextRTF = rtf;
    } else {
        StreamIn(RtfBytes(rtf));
    }
    Site().PropertyChanged(L"TextRTF");
}

void RichTextBox::SetScrollBars(int32_t value) {
    if (value < 0 || value > 3) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    if (value == PropScrollBars) return;
    PropScrollBars = value;
    ReCreateRichEdit();
    Site().PropertyChanged(L"ScrollBars");
}

void RichTextBox::SetLocked(bool value) {
    PropLocked = value;
    if (hwndRichEdit_) SendMessageW(hwndRichEdit_, EM_SETREADONLY, value ? TRUE : FALSE, 0);
    Site().PropertyChanged(L"Locked");
}

void RichTextBox::Resize() {
    if (hwndRichEdit_) {
        MoveWindow(hwndRichEdit_, 0, 0, Site().ScaleWidth(), Site().ScaleHeight(), TRUE);
    }
}

void RichTextBox::AmbientChanged(std::wstring_view name) {
    if (hwndRichEdit_ && (name.empty() || name == L"Font")) ApplyFont();
}

LRESULT RichTextBox::Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                             DWORD_PTR dwRefData) {
    if (dwRefData == kRefUserControl && wMsg == WM_SETFOCUS && hwndRichEdit_) {
        SetFocus(hwndRichEdit_);
        return 0;
    }
    return ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
}

HRESULT RichTextBox::DispIdOfName(std::wstring_view name, DISPID& id) {
    if (Host::MemberNameIs(name, L"TextRTF")) {
        id = kDispIdTextRTF;
    } else if (Host::MemberNameIs(name, L"ScrollBars")) {
        id = kDispIdScrollBars;
    } else if (Host::MemberNameIs(name, L"Locked")) {
        id = kDispIdLocked;
    } else {
        return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
}

HRESULT RichTextBox::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    VARTYPE type = VT_EMPTY;
    switch (id) {
        case kDispIdTextRTF:
            type = VT_BSTR;
            break;
        case kDispIdScrollBars:
            type = VT_I4;
            break;
        case kDispIdLocked:
            type = VT_BOOL;
            break;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (!result) return E_POINTER;
        VariantInit(result);
        result->vt = type;
        if (id == kDispIdTextRTF) result->bstrVal = SysAllocString(TextRTF().c_str());
        if (id == kDispIdScrollBars) result->lVal = PropScrollBars;
        if (id == kDispIdLocked) result->boolVal = PropLocked ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    ::Variant value;
    if (HRESULT hr = Host::PutArgument(params, type, value); FAILED(hr)) return hr;
    if (id == kDispIdTextRTF) SetTextRTF(value.Get().bstrVal ? value.Get().bstrVal : L"");
    if (id == kDispIdScrollBars) SetScrollBars(value.Get().lVal);
    if (id == kDispIdLocked) SetLocked(value.Get().boolVal != VARIANT_FALSE);
    return S_OK;
}

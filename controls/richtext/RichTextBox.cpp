#include "controls/richtext/RichTextBox.h"

#include <richedit.h>

#include <cstring>

#include "controls/base/ControlError.h"
#include "controls/richtext/RichTextBoxBase.h"

namespace {

const Host::Member kMembers[] = {
    Host::Property<&RichTextBox::TextRTF, &RichTextBox::SetTextRTF>(L"TextRTF",
                                                                    RichTextBox::kDispIdTextRTF),
    Host::Property<&RichTextBox::ScrollBars, &RichTextBox::SetScrollBars>(
        L"ScrollBars", RichTextBox::kDispIdScrollBars),
    Host::Property<&RichTextBox::Locked, &RichTextBox::SetLocked>(L"Locked",
                                                                  RichTextBox::kDispIdLocked),
};
constexpr Host::StoredKey kMultiLineKey = Host::BoolKey(L"MultiLine", false);
constexpr Host::StoredKey kScrollBarsKey = Host::Int32Key(L"ScrollBars", 0);
constexpr Host::StoredKey kLockedKey = Host::BoolKey(L"Locked", false);
constexpr Host::StoredKey kTextRTFKey = Host::TextKey(L"TextRTF");
const Host::StoredKey kKeys[] = {kMultiLineKey, kScrollBarsKey, kLockedKey, kTextRTFKey};

void CheckScrollBars(int32_t value) {
    if (value < 0 || value > 3) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
}

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

const Host::ControlDescription& RichTextBox::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, {}, kKeys};
    return description;
}

void RichTextBox::InitProperties() {
    CreateSystemWindow();
}

void RichTextBox::ReadProperties(Host::PropertyStore& store) {
    PropMultiLine = kMultiLineKey.ReadBool(store);
    const int32_t bars = kScrollBarsKey.ReadInt32(store);
    CheckScrollBars(bars);
    PropScrollBars = bars;
    PropLocked = kLockedKey.ReadBool(store);
    PropTextRTF = kTextRTFKey.ReadString(store);
    CreateSystemWindow();
}

void RichTextBox::WriteProperties(Host::PropertyStore& store) {
    kMultiLineKey.Write(store, Host::Variant::Bool(PropMultiLine));
    kScrollBarsKey.Write(store, Host::Variant::Int32(PropScrollBars));
    kLockedKey.Write(store, Host::Variant::Bool(PropLocked));
    kTextRTFKey.WriteString(store, TextRTF());
}

Host::WindowSpec RichTextBox::DescribeWindow() {
    if (!libraryHeld_) libraryHeld_ = RichTextBoxBase::InitRichTextBox();
    if (!libraryHeld_) return {};
    DWORD style = WS_TABSTOP | ES_NOHIDESEL | ES_SAVESEL;
    if (PropMultiLine) style |= ES_MULTILINE | ES_WANTRETURN;
    if (PropScrollBars & 1) style |= WS_HSCROLL | ES_AUTOHSCROLL;
    if (PropScrollBars & 2) style |= WS_VSCROLL | ES_AUTOVSCROLL;
    if (!PropMultiLine) style |= ES_AUTOHSCROLL;
    if (PropLocked) style |= ES_READONLY;
    return {RichTextBoxBase::RichEditClass(), style, WS_EX_CLIENTEDGE, {}};
}

void RichTextBox::WindowCreated() {
    // No limit beyond memory: the default of 32767 characters would cut a long document.
    SendMessageW(hWnd(), EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    ApplyWrap();
    if (!PropTextRTF.empty()) {
        StreamIn(RtfBytes(PropTextRTF));
        PropTextRTF.clear();
    }
}

void RichTextBox::WindowDestroyed() {
    // The window is gone first: the library may go with the last box.
    if (libraryHeld_) {
        RichTextBoxBase::ReleaseRichTextBox();
        libraryHeld_ = false;
    }
}

std::function<void()> RichTextBox::KeepWindowState() {
    std::string content = StreamOut();
    CHARRANGE selection{};
    SendMessageW(hWnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    POINT scroll{};
    SendMessageW(hWnd(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    // Keep the library loaded across the swap of windows.
    const bool held = RichTextBoxBase::InitRichTextBox();
    return [this, content = std::move(content), selection, scroll, held]() mutable {
        if (held) RichTextBoxBase::ReleaseRichTextBox();
        if (!hWnd()) return;
        StreamIn(content);
        SendMessageW(hWnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        if (!(PropScrollBars & 1)) scroll.x = 0;
        if (!(PropScrollBars & 2)) scroll.y = 0;
        SendMessageW(hWnd(), EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    };
}

void RichTextBox::ApplyWrap() {
    // A multi-line box wraps at its right edge unless it scrolls horizontally.
    const bool wrap = PropMultiLine && !(PropScrollBars & 1);
    SendMessageW(hWnd(), EM_SETTARGETDEVICE, 0, wrap ? 0 : 1);
}

std::string RichTextBox::StreamOut() const {
    StreamBuffer stream;
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, StreamOutCallback};
    SendMessageW(hWnd(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&es));
    return stream.bytes;
}

void RichTextBox::StreamIn(const std::string& rtf) {
    StreamBuffer stream{rtf, 0};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, StreamInCallback};
    SendMessageW(hWnd(), EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
    // A new document starts at its top, caret first.
    CHARRANGE start{0, 0};
    SendMessageW(hWnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    POINT top{0, 0};
    SendMessageW(hWnd(), EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&top));
}

void RichTextBox::SetMultiLine(bool value) {
    // Kept in the window style: fixed once the program runs.
    Host::RequireDesignTime(*this, L"MultiLine");
    PropMultiLine = value;
    ReCreateSystemWindow();
    Site().PropertyChanged(L"MultiLine");
}

std::wstring RichTextBox::TextRTF() const {
    if (!hWnd()) return PropTextRTF;
    return WideOf(StreamOut());
}

void RichTextBox::SetTextRTF(const std::wstring& rtf) {
    if (!hWnd()) {
        PropTextRTF = rtf;
    } else {
        StreamIn(RtfBytes(rtf));
    }
    Site().PropertyChanged(L"TextRTF");
}

void RichTextBox::SetScrollBars(int32_t value) {
    CheckScrollBars(value);
    if (value == PropScrollBars) return;
    PropScrollBars = value;
    ReCreateSystemWindow();
    Site().PropertyChanged(L"ScrollBars");
}

void RichTextBox::SetLocked(bool value) {
    PropLocked = value;
    if (hWnd()) SendMessageW(hWnd(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
    Site().PropertyChanged(L"Locked");
}

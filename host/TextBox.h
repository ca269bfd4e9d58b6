// TextBox: the host's own single-line text box over the system "Edit" window.
//
// A host control, not one of the library's: the forms and property pages the host builds
// itself need a plain text box, which the control library does not offer. Registered as
// "TextBox" (RegisterHostControls).
//   Text (default member), SelStart, SelLength; persisted key "Text".
//   Events: Change (1) after every change of the text, by the user or by code;
//   KeyPress(KeyAscii by reference) (-603) for every typed character: a handler that sets
//   KeyAscii to 0 drops the character, another value types that one instead.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "host/SystemWindowControl.h"

namespace Host {

class TextBox : public SystemWindowControl<OleControlVBDefaults> {
public:
    static constexpr wchar_t kTypeName[] = L"TextBox";

    std::wstring Text() const;
    void SetText(const std::wstring& text);
    // The caret (the selection's start) and the selection's length, in characters.
    int32_t SelStart() const;
    void SetSelStart(int32_t start);
    int32_t SelLength() const;
    void SetSelLength(int32_t length);

    const ControlDescription& Describe() const override;
    void InitProperties() override;
    void ReadProperties(PropertyStore& store) override;
    void WriteProperties(PropertyStore& store) override;
    bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    WindowShape DescribeWindow() override;
    LRESULT SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    std::wstring PropText;  // until the window exists
};

}  // namespace Host

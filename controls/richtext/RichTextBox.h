// RichTextBox: a rich text box over the system rich edit window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "host/SystemWindowControl.h"

class RichTextBox : public Host::SystemWindowControl<> {
public:
    static constexpr wchar_t kTypeName[] = L"RichTextBox";
    static constexpr DISPID kDispIdTextRTF = 0x6803001A;
    static constexpr DISPID kDispIdScrollBars = 0x68030029;
    static constexpr DISPID kDispIdLocked = 0x6803002F;

    // Several lines, wrapping at the right edge without a horizontal scroll bar. Stored with
    // the layout; error 382 when set at run time.
    bool MultiLine() const { return PropMultiLine; }
    void SetMultiLine(bool value);
    // The whole content as Rich Text Format; assigning replaces it.
    std::wstring TextRTF() const;
    void SetTextRTF(const std::wstring& rtf);
    // 0 none, 1 horizontal, 2 vertical, 3 both; error 380 otherwise. Changing it re-creates
    // the window, keeping content, selection and the scroll position of each axis that
    // keeps its bar.
    int32_t ScrollBars() const { return PropScrollBars; }
    void SetScrollBars(int32_t value);
    // The user may scroll, select and copy, but not change the text.
    bool Locked() const { return PropLocked; }
    void SetLocked(bool value);

    // --- host ----------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;

private:
    Host::WindowSpec DescribeWindow() override;
    void WindowCreated() override;
    void WindowDestroyed() override;
    std::function<void()> KeepWindowState() override;
    void ApplyWrap();
    std::string StreamOut() const;
    void StreamIn(const std::string& rtf);

    bool PropMultiLine = false;
    int32_t PropScrollBars = 0;
    bool PropLocked = false;
    std::wstring PropTextRTF;  // what the layout carries, until the window takes it
    bool libraryHeld_ = false;
};

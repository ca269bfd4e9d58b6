// CheckBoxW: a check box over the system "Button" window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "host/SystemWindowControl.h"

class CheckBoxW : public Host::SystemWindowControl<> {
public:
    static constexpr wchar_t kTypeName[] = L"CheckBoxW";
    static constexpr int16_t kUnchecked = 0;
    static constexpr int16_t kChecked = 1;
    static constexpr int16_t kGrayed = 2;

    // Events: Click (-600), raised after every change of Value, by the user or by code.
    std::wstring Caption() const { return PropCaption; }
    void SetCaption(const std::wstring& caption);
    // 0 unchecked, 1 checked, 2 grayed; error 380 otherwise.
    int16_t Value() const { return PropValue; }
    void SetValue(int16_t value);

    // --- host ----------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void AccessKeyPress(int16_t keyAscii) override;
    bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    Host::WindowShape DescribeWindow() override;
    void WindowCreated() override;
    void UserToggle();

    std::wstring PropCaption;
    int16_t PropValue = kUnchecked;
    bool inClick_ = false;
};

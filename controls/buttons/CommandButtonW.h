// CommandButtonW: a command button over the system "Button" window.
#pragma once

#include <windows.h>

#include <string>

#include "host/SystemWindowControl.h"

class CommandButtonW : public Host::SystemWindowControl<> {
public:
    static constexpr wchar_t kTypeName[] = L"CommandButtonW";

    // Events: Click (-600), raised once per press (mouse, Space, access key, Return or
    // Escape routed to it as the form's default or cancel button).
    std::wstring Caption() const { return PropCaption; }
    void SetCaption(const std::wstring& caption);

    // --- host ----------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    bool DefaultCancel() const override { return true; }
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void AmbientChanged(std::wstring_view name) override;
    void AccessKeyPress(int16_t keyAscii) override;
    bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    Host::WindowShape DescribeWindow() override;
    void WindowCreated() override;

    std::wstring PropCaption;
};

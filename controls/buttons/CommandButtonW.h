// CommandButtonW: a command button over the system "Button" window.
#pragma once

#include <windows.h>

#include <string>

#include "controls/base/Handles.h"
#include "controls/base/ISubclass.h"
#include "host/ControlSite.h"
#include "host/HostedControl.h"

class CommandButtonW : public Host::ControlWithPartners<ISubclass> {
public:
    static constexpr wchar_t kTypeName[] = L"CommandButtonW";

    // Events: Click (-600), raised once per press (mouse, Space, access key, Return or
    // Escape routed to it as the form's default or cancel button).
    std::wstring Caption() const { return PropCaption; }
    void SetCaption(const std::wstring& caption);
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    HWND hWnd() const { return hwndButton_; }
    // The access key a caption marks, upper case: the character after the first single "&"
    // ("&&" shows one ampersand); 0 when there is none. The check box uses the same rule.
    static wchar_t AccessKeyOf(const std::wstring& caption);

    // --- host ----------------------------------------------------------------------------
    bool DefaultCancel() const override { return true; }
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Terminate() override;
    void Resize() override;
    void AmbientChanged(std::wstring_view name) override;
    void AccessKeyPress(int16_t keyAscii) override;
    bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    HRESULT DispIdOfName(std::wstring_view name, DISPID& id) override;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override;
    LRESULT STDMETHODCALLTYPE Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                      DWORD_PTR dwRefData) override;

private:
    void CreateButton();
    void DestroyButton();
    void ApplyFont();
    void UpdateAccessKeys();

    std::wstring PropCaption;
    HWND hwndButton_ = nullptr;
    UniqueFont font_;  // outlives the window that uses it
};

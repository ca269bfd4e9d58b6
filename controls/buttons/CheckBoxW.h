// CheckBoxW: a check box over the system "Button" window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "controls/base/Handles.h"
#include "controls/base/ISubclass.h"
#include "host/ControlSite.h"
#include "host/HostedControl.h"

class CheckBoxW : public Host::ControlWithPartners<ISubclass> {
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
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    HWND hWnd() const { return hwndCheck_; }

    // --- host ----------------------------------------------------------------------------
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
    void CreateCheck();
    void DestroyCheck();
    void ApplyFont();
    void UpdateAccessKeys();
    void UserToggle();

    std::wstring PropCaption;
    int16_t PropValue = kUnchecked;
    HWND hwndCheck_ = nullptr;
    UniqueFont font_;
    bool inClick_ = false;
};

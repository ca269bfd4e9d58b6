// Small controls for the host's tests: a push button that answers every partner interface,
// an edit box that answers only control information, and a windowless label that answers
// none (the framework's own answers serve it).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/base/ISubclass.h"
#include "host/ControlDescription.h"
#include "host/ControlSite.h"
#include "host/DataObject.h"
#include "host/HostedControl.h"
#include "host/PropertyStore.h"

namespace testhost {

// Registers TestButton, TestEdit and TestLabel (once).
void RegisterTestControls();

// A private clipboard format that the button announces and renders only when asked.
CLIPFORMAT TestFormat();

// Raises OLEDragOver(Text, Effect byref, X, Y, State) and OLEDragDrop(Text, Extra, Effect
// byref, X, Y) for a drop target; Extra is the data of TestFormat.
void RaiseDropEvent(Host::ControlSite& site, IDataObject* data, int32_t& effect, float x, float y,
                    int16_t state, bool drop);

// What the tests look at across all instances.
struct Journal {
    std::vector<std::wstring> lines;
    void Add(std::wstring line) { lines.push_back(std::move(line)); }
    bool Has(const std::wstring& line) const;
    void Clear() { lines.clear(); }
};
Journal& TheJournal();

struct AccelDeleter {
    void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
};
using UniqueAccel = std::unique_ptr<std::remove_pointer_t<HACCEL>, AccelDeleter>;

// Properties: "Caption" (UTF-16 bytes, default empty), "Counter" (32-bit, default 0),
// "Ratio" (single, default 1.5). Events: Click, PreviewKeyDown(KeyCode, IsInputKey byref).
// Its button window is subclassed through ComCtlsBase (reference value 1).
class TestButton
    : public Host::ControlWithPartners<Host::OleInPlaceActiveObjectVBDefaults,
                                       Host::OleControlVBDefaults,
                                       Host::PerPropertyBrowsingVBDefaults, ISubclass> {
public:
    bool DefaultCancel() const override { return true; }
    void Initialize() override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Terminate() override;
    void Resize() override;
    void AmbientChanged(std::wstring_view name) override;
    void AccessKeyPress(int16_t keyAscii) override;
    bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void SetEnabled(bool enabled) override;

    HRESULT STDMETHODCALLTYPE TranslateAccelerator(VARIANT_BOOL* Handled, LONG* RetVal, LONG wMsg,
                                                   LONG_PTR wParam, LONG_PTR lParam,
                                                   LONG Shift) override;
    HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* Handled, USHORT* AccelCount,
                                             HACCEL* AccelTable, DWORD* Flags) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(VARIANT_BOOL* Handled, LONG wMsg, LONG_PTR wParam,
                                         LONG_PTR lParam, LONG Shift) override;
    HRESULT STDMETHODCALLTYPE GetDisplayString(VARIANT_BOOL* Handled, DISPID DispID,
                                               BSTR* DisplayName) override;
    // As a drag source: the caption as text, and kTestFormat rendered on request.
    void OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) override;
    void OLESetData(Host::DataObject& data, int16_t& format) override;
    void OLECompleteDrag(int32_t& effect) override;
    LRESULT STDMETHODCALLTYPE Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                      DWORD_PTR dwRefData) override;
    // Late bound: Fail(kind) throws std::bad_alloc (1), std::runtime_error (2) or
    // ControlError 380 (3).
    const Host::ControlDescription& Describe() const override;
    void Fail(int32_t kind);

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);
    int32_t Counter() const { return counter_; }
    void SetCounter(int32_t value);
    HWND ButtonHwnd() const { return button_; }
    int TranslateCalls() const { return translateCalls_; }
    bool DisplayAsDefault() const { return displayAsDefault_; }

private:
    void CreateButton();
    wchar_t AccessKey() const;

    HWND button_ = nullptr;
    std::wstring caption_;
    int32_t counter_ = 0;
    float ratio_ = 1.5f;
    bool displayAsDefault_ = false;
    int translateCalls_ = 0;
    UniqueAccel accel_;
};

// An edit box. Properties: "Text" (string, default empty), "WantReturn" (Boolean, default
// false: with it the control's information says that it eats Return).
class TestEdit : public Host::ControlWithPartners<Host::OleControlVBDefaults> {
public:
    void Initialize() override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Terminate() override;
    void Resize() override;
    HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* Handled, USHORT* AccelCount,
                                             HACCEL* AccelTable, DWORD* Flags) override;
    void OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y, int16_t state) override;
    void OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y) override;

    HWND EditHwnd() const { return edit_; }
    std::wstring Text() const;
    void SetText(const std::wstring& text);

private:
    void CreateEdit(const std::wstring& text);
    HWND edit_ = nullptr;
    bool wantReturn_ = false;
};

// A windowless label: paints its caption; its access key reaches it through the host-kept
// access keys and the framework's own mnemonic handling. Properties: "Caption" (string,
// default empty). Events: Click, MouseDown(Button, Shift, X, Y) with X, Y in twips.
class TestLabel : public Host::HostedControl {
public:
    Host::SiteKind Kind() const override { return Host::SiteKind::Windowless; }
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Paint(const Host::PaintSurface& surface) override;
    void MouseDown(int16_t button, int16_t shift, int x, int y) override;
    void Click() override;
    void AccessKeyPress(int16_t keyAscii) override;
    void OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y, int16_t state) override;
    void OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y) override;

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);
    int Paints() const { return paints_; }

private:
    std::wstring caption_;
    int paints_ = 0;
};

}  // namespace testhost

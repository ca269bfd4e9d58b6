// HostedControl: what a control implements to live on a form of the host.
//
// The host creates a control through its registered factory (ControlTypes), gives it a site
// (ControlSite: window, ambient values, extender, host-kept settings, property store, scale
// conversions, events) and then calls, in this order:
//   Initialize          the site exists; install in-place hooks here (SetVTableHandling)
//   InitProperties      a new instance (Form::AddControl), or
//   ReadProperties      an instance from a stored layout (always, with an empty store when
//                       the layout holds no properties for it)
//   Resize              once after loading, then whenever the site's size changes
//   ...                 painting (windowless), focus, access keys, ambient changes
//   WriteProperties     when the form saves its layout
//   Terminate           before the site goes; remove the hooks and destroy windows here
// Errors are thrown as ControlError (controls/base/ControlError.h).
//
// COM: the host's framework object (IOleObject, IOleControl, IOleInPlaceActiveObject,
// IPerPropertyBrowsing, IDispatch) is the control's identity (Object()). A control that
// answers the partner interfaces of controls/base/VTableHandle.h derives from
// ControlWithPartners below, whose IUnknown is the framework object's.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <objidl.h>
#include <objsafe.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "controls/base/ComObject.h"
#include "controls/base/VTableHandle.h"

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0,
                0x64)
#endif

namespace Host {

class ControlSite;
struct ControlDescription;

enum class SiteKind {
    Windowed,    // the host creates a user control window the control sizes its child into
    Windowless,  // the control paints on the form and gets the form's mouse input
};

// The drawing surface a windowless control paints on: the form's device context with the
// origin at the control's top-left corner, clipped to it, the control's font selected, its
// ForeColor as text colour and a transparent text background. Pixels.
struct PaintSurface {
    HDC hdc = nullptr;
    int width = 0;
    int height = 0;
    // An outline (or a filled box) from (left, top) to (right, bottom), exclusive.
    void DrawBox(int left, int top, int right, int bottom, COLORREF color,
                 bool filled = false) const;
};

class HostedControl {
public:
    HostedControl() = default;
    virtual ~HostedControl() = default;
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    // The site, from Initialize until Terminate has returned; ControlError 91 outside.
    ControlSite& Site() const;
    bool Sited() const { return site_ != nullptr; }
    // The control's COM identity (the host's framework object); null before it is created.
    IUnknown* Object() const { return object_; }

    // --- what the control is -----------------------------------------------------------
    virtual SiteKind Kind() const { return SiteKind::Windowed; }
    // Whether the control takes the focus (windowless controls never do).
    virtual bool CanGetFocus() const { return Kind() == SiteKind::Windowed; }
    // Whether the form may route Return and Escape to it as its default or cancel button
    // (AccessKeyPress with 13 or 27).
    virtual bool DefaultCancel() const { return false; }

    // --- life cycle ----------------------------------------------------------------------
    virtual void Initialize() {}
    virtual void InitProperties() {}
    virtual void ReadProperties(class PropertyStore& store) { (void)store; }
    virtual void WriteProperties(class PropertyStore& store) { (void)store; }
    virtual void Terminate() {}
    virtual void Resize() {}

    // --- host notifications ---------------------------------------------------------------
    // An ambient value changed: "DisplayAsDefault", "Font", "UserMode", "RightToLeft",
    // "DisplayName", "BackColor", "ForeColor"; empty when all may have.
    virtual void AmbientChanged(std::wstring_view name) { (void)name; }
    // The framework's own mnemonic handling: one of the host-kept access keys, or 13 / 27
    // when the form routes Return / Escape to its default / cancel button.
    virtual void AccessKeyPress(int16_t keyAscii) { (void)keyAscii; }
    // The focus entered or left the control (its window or one of its children).
    virtual void EnterFocus() {}
    virtual void ExitFocus() {}

    // The extender's Enabled reaches the control here; by default it is the host-kept flag.
    virtual bool Enabled() const;
    virtual void SetEnabled(bool enabled);

    // --- windowed controls ---------------------------------------------------------------
    // Every message of the user control window before the host handles it (notifications
    // of the control's child windows arrive here). Return true with `result` to answer it.
    virtual bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        (void)msg, (void)wParam, (void)lParam, (void)result;
        return false;
    }

    // --- windowless controls -------------------------------------------------------------
    virtual void Paint(const PaintSurface& surface) { (void)surface; }
    // Whether a point (pixels from the control's top-left corner) belongs to the control.
    virtual bool HitTest(int x, int y) {
        (void)x, (void)y;
        return true;
    }
    // Mouse input routed from the form: `button` 1 left, 2 right, 4 middle; `shift` 1 Shift,
    // 2 Ctrl, 4 Alt; pixels from the control's top-left corner.
    virtual void MouseDown(int16_t button, int16_t shift, int x, int y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void MouseMove(int16_t button, int16_t shift, int x, int y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void MouseUp(int16_t button, int16_t shift, int x, int y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void Click() {}
    virtual void DblClick() {}
    // How the control shows itself to accessibility clients through the form: a role
    // (ROLE_SYSTEM_...; 0 keeps it hidden from them) and a name.
    virtual long AccessibleRole() const { return 0; }
    virtual std::wstring AccessibleName() const { return {}; }

    // --- OLE drag and drop ----------------------------------------------------------------
    // As a drop target (the site's OLEDropMode is 1): `state` 0 entering, 1 leaving, 2 moving
    // over; x, y in pixels from the control's top-left corner; `effect` comes in as what the
    // source allows (DROPEFFECT_...) and goes back as what a drop here would do.
    virtual void OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                             float x, float y, int16_t state) {
        (void)data, (void)effect, (void)button, (void)shift, (void)x, (void)y, (void)state;
    }
    virtual void OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                             float x, float y) {
        (void)data, (void)effect, (void)button, (void)shift, (void)x, (void)y;
    }
    // As the source of a drag it started (ControlSite::OLEDrag): fill the data object and say
    // which effects are allowed (0 calls the drag off); render an announced format on
    // request; choose the cursors; learn what the drop did.
    virtual void OLEStartDrag(class DataObject& data, int32_t& allowedEffects) {
        (void)data, (void)allowedEffects;
    }
    virtual void OLESetData(class DataObject& data, int16_t& format) { (void)data, (void)format; }
    virtual void OLEGiveFeedback(int32_t& effect, bool& defaultCursors) {
        (void)effect, (void)defaultCursors;
    }
    virtual void OLECompleteDrag(int32_t& effect) { (void)effect; }

    // --- COM -----------------------------------------------------------------------------
    // The partner interfaces the control answers (ControlWithPartners does this).
    virtual HRESULT QueryPartner(REFIID iid, void** object) {
        (void)iid;
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The class identifiers of the control's property pages (host/PropertyPage.h), in the
    // order a property frame shows them; the framework object answers
    // ISpecifyPropertyPages only for a control that has some. Static data.
    virtual std::span<const CLSID> PropertyPages() const { return {}; }
    // The control's members, events and persisted keys (host/ControlDescription.h); the
    // framework object's IDispatch reaches the members through it. Static data: the
    // description outlives the instance. None by default.
    virtual const ControlDescription& Describe() const;

protected:
    // The framework object's IUnknown, for partner interfaces.
    HRESULT OuterQueryInterface(REFIID iid, void** object) const;
    ULONG OuterAddRef() const;
    ULONG OuterRelease() const;

private:
    friend class ControlSite;
    friend class ControlObject;
    ControlSite* site_ = nullptr;
    IUnknown* object_ = nullptr;  // not owned: the framework object owns the control
};

// Partner interfaces with the "not handled" answer for every method; a control overrides
// what it handles.
class OleInPlaceActiveObjectVBDefaults : public IOleInPlaceActiveObjectVB {
public:
    using Interface = IOleInPlaceActiveObjectVB;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(VARIANT_BOOL* Handled, LONG*, LONG, LONG_PTR,
                                                   LONG_PTR, LONG) override {
        if (Handled) *Handled = VARIANT_FALSE;
        return S_OK;
    }
};

class OleControlVBDefaults : public IOleControlVB {
public:
    using Interface = IOleControlVB;
    HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* Handled, USHORT*, HACCEL*,
                                             DWORD*) override {
        if (Handled) *Handled = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnMnemonic(VARIANT_BOOL* Handled, LONG, LONG_PTR, LONG_PTR,
                                         LONG) override {
        if (Handled) *Handled = VARIANT_FALSE;
        return S_OK;
    }
};

class PerPropertyBrowsingVBDefaults : public IPerPropertyBrowsingVB {
public:
    using Interface = IPerPropertyBrowsingVB;
    HRESULT STDMETHODCALLTYPE GetDisplayString(VARIANT_BOOL* Handled, DISPID, BSTR*) override {
        if (Handled) *Handled = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(VARIANT_BOOL* Handled, DISPID, SAFEARRAY**,
                                                   SAFEARRAY**) override {
        if (Handled) *Handled = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(VARIANT_BOOL* Handled, DISPID, LONG,
                                                 VARIANT*) override {
        if (Handled) *Handled = VARIANT_FALSE;
        return S_OK;
    }
};

// Safe for untrusted callers and for untrusted data, whatever the interface; a container's
// request for other options is accepted and changes nothing.
class ObjectSafetyReportsSafe : public IObjectSafety {
public:
    using Interface = IObjectSafety;
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID, DWORD* supported,
                                                        DWORD* enabled) override {
        if (!supported || !enabled) return E_POINTER;
        *supported = *enabled =
            INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID, DWORD, DWORD) override {
        return S_OK;
    }
};

// The interface a ControlWithPartners argument stands for: a defaults class names it, any
// other argument is the interface itself.
template <class P, class = void>
struct InterfaceOf {
    using type = P;
};
template <class P>
struct InterfaceOf<P, std::void_t<typename P::Interface>> {
    using type = typename P::Interface;
};

// A control answering the given partners, and any other COM interfaces it implements (such
// as ISubclass for the windows it subclasses), e.g.
//   class MyButton : public ControlWithPartners<OleInPlaceActiveObjectVBDefaults,
//                                               OleControlVBDefaults, ISubclass> { ... };
// Their IUnknown is the framework object's; their IDispatch has no type information (they are
// called through their function tables). Each interface needs an identifier for __uuidof.
template <class... Partners>
class ControlWithPartners : public HostedControl, public Partners... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return OuterQueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return ComObjects::NoTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        return ComObjects::NoTypeInfo(info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT QueryPartner(REFIID iid, void** object) override {
        *object = ComObjects::FindInterface<typename InterfaceOf<Partners>::type...>(this, iid);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
};

}  // namespace Host

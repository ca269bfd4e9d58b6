// ControlObject: the host's framework object for one control, its COM identity.
//
// It answers IOleObject, IOleControl, IOleInPlaceActiveObject, IPerPropertyBrowsing and
// IDispatch with the framework's own answers, and hands out the partner interfaces the
// control implements. It owns the control: the control goes with the last reference.
// These are the answers the hooks of VTableHandle fall back to:
//   GetControlInfo   an accelerator table of the site's access keys (Alt+key each), no flags
//   OnMnemonic       the control's AccessKeyPress with the key's character (13 for Return,
//                    27 for Escape)
//   TranslateAccelerator  S_FALSE: nothing translated, the container goes on
//   property browsing     E_NOTIMPL; no property page for a single property
//   ISpecifyPropertyPages the control's PropertyPages(), answered only when it has some
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <type_traits>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "host/HostedControl.h"

namespace Host {

class ControlSite;

class ControlObject final
    : public WithoutTypeInfo<
          ComObject<IOleObject, IOleControl, Also<IOleInPlaceActiveObject, IOleWindow>,
                    IPerPropertyBrowsing, IDispatch, IProvideClassInfo, ISpecifyPropertyPages>> {
public:
    static ComPtr<ControlObject> Create(std::unique_ptr<HostedControl> control);

    HostedControl* Control() const { return control_.get(); }
    IUnknown* Identity() { return static_cast<IOleObject*>(this); }
    void AttachSite(ControlSite* site);
    void DetachSite();

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND,
                                     LPCRECT) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* name) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return OLE_E_NOCONNECTION; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // IOleWindow, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IPerPropertyBrowsing
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID, CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID, CALPOLESTR* strings,
                                                   CADWORD* cookies) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID, DWORD, VARIANT* value) override;

    // IDispatch: the control's members (HostedControl::Describe), and the host-kept ones
    // (HostMembers: Enabled, 0x8001000D, which reaches the control through the extender).
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // IProvideClassInfo: a type named as the control's registered type ("ImageList", ...);
    // see host/TypeInfo.h.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    int32_t FreezeCount() const { return freeze_; }

private:
    explicit ControlObject(std::unique_ptr<HostedControl> control);
    ~ControlObject() override;
    // The control's partner interfaces (host/HostedControl.h).
    HRESULT QueryOther(REFIID iid, void** object) override;

public:
    // Property pages are offered only by a control that has pages of its own.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

private:
    std::unique_ptr<HostedControl> control_;
    ControlSite* site_ = nullptr;
    ComPtr<IOleClientSite> clientSite_;
    // The framework's own table, rebuilt on each request.
    UniqueAccel accessKeyTable_;
    int32_t freeze_ = 0;
};

}  // namespace Host

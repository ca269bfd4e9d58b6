#include "host/ClientSite.h"

#include "controls/base/ControlError.h"

#include "host/ControlSite.h"
#include "host/Form.h"
#include "host/Units.h"

namespace Host {

ComPtr<ClientSite> ClientSite::Create(ControlSite& site) {
    return ComPtr<ClientSite>::Attach(new ClientSite(site));
}

HRESULT ClientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT ClientSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT ClientSite::OnControlInfoChanged() {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!site_) return E_UNEXPECTED;
        site_->Parent().OnControlInfoChanged(*site_);
        return S_OK;
    });
}

HRESULT ClientSite::GetExtendedControl(IDispatch** extended) {
    if (!extended) return E_POINTER;
    *extended = nullptr;
    if (!site_) return E_UNEXPECTED;
    return ControlErrors::AtComBoundary([&] { *extended = site_->ExtenderObject().Detach(); });
}

HRESULT ClientSite::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!himetric || !container) return E_POINTER;
        if (!site_) return E_UNEXPECTED;
        const Units::Unit to = (flags & XFORMCOORDS_SIZE) ? Units::Unit::ContainerSize
                                                          : Units::Unit::ContainerPosition;
        if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
            container->x = static_cast<float>(
                Units::Convert(himetric->x, Units::Unit::Himetric, to, Units::Axis::X));
            container->y = static_cast<float>(
                Units::Convert(himetric->y, Units::Unit::Himetric, to, Units::Axis::Y));
        } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
            himetric->x = static_cast<LONG>(
                Units::Convert(container->x, to, Units::Unit::Himetric, Units::Axis::X) + 0.5);
            himetric->y = static_cast<LONG>(
                Units::Convert(container->y, to, Units::Unit::Himetric, Units::Axis::Y) + 0.5);
        } else {
            return E_INVALIDARG;
        }
        return S_OK;
    });
}

HRESULT ClientSite::TranslateAccelerator(MSG* msg, DWORD) {
    // The form does its own keyboard handling after the control has had the key.
    return msg ? S_FALSE : E_INVALIDARG;
}

HRESULT ClientSite::OnFocus(BOOL gotFocus) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!site_) return E_UNEXPECTED;
        if (gotFocus) site_->Parent().OnSiteFocus(*site_);
        return S_OK;
    });
}

HRESULT ClientSite::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = site_ ? site_->ContainerHwnd() : nullptr;
    return *hwnd ? S_OK : E_FAIL;
}

HRESULT ClientSite::CanInPlaceActivate() {
    return site_ ? S_OK : S_FALSE;
}

HRESULT ClientSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                     LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!frame || !document || !position || !clip || !info) return E_POINTER;
        *frame = nullptr;
        *document = nullptr;  // a form is its own document
        if (!site_) return E_UNEXPECTED;
        *frame = site_->Parent().Frame();
        if (*frame) (*frame)->AddRef();
        *position = site_->Bounds();
        GetClientRect(site_->ContainerHwnd(), clip);
        info->fMDIApp = FALSE;
        info->hwndFrame = site_->ContainerHwnd();
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return *frame ? S_OK : E_FAIL;
    });
}

HRESULT ClientSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

HRESULT ClientSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                           EXCEPINFO*, UINT*) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (!result) return E_POINTER;
        if (!site_) return E_UNEXPECTED;
        VariantInit(result);
        const Ambient ambient = site_->GetAmbient();
        auto boolean = [&](bool value) {
            result->vt = VT_BOOL;
            result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        };
        switch (id) {
            case DISPID_AMBIENT_USERMODE:
                return boolean(ambient.UserMode());
            case DISPID_AMBIENT_RIGHTTOLEFT:
                return boolean(ambient.RightToLeft());
            case DISPID_AMBIENT_DISPLAYASDEFAULT:
                return boolean(ambient.DisplayAsDefault());
            case DISPID_AMBIENT_SUPPORTSMNEMONICS:
                return boolean(true);
            case DISPID_AMBIENT_MESSAGEREFLECT:
            case DISPID_AMBIENT_UIDEAD:
            case DISPID_AMBIENT_SHOWGRABHANDLES:
            case DISPID_AMBIENT_SHOWHATCHING:
                return boolean(false);
            case DISPID_AMBIENT_DISPLAYNAME:
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocString(ambient.DisplayName().c_str());
                return S_OK;
            case DISPID_AMBIENT_SCALEUNITS:
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocString(L"Twip");
                return S_OK;
            case DISPID_AMBIENT_FONT:
                result->vt = VT_DISPATCH;
                result->pdispVal = ambient.Font().Detach();
                return S_OK;
            case DISPID_AMBIENT_BACKCOLOR:
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(ambient.BackColor());
                return S_OK;
            case DISPID_AMBIENT_FORECOLOR:
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(ambient.ForeColor());
                return S_OK;
            case DISPID_AMBIENT_LOCALEID:
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(GetUserDefaultLCID());
                return S_OK;
            case DISPID_AMBIENT_TEXTALIGN:
                result->vt = VT_I2;
                result->iVal = 0;  // general: numbers right, text left
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    });
}

}  // namespace Host

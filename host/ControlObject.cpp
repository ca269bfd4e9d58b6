#include "host/ControlObject.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "controls/base/ControlError.h"
#include "host/ControlDescription.h"
#include "host/ControlSite.h"
#include "host/Form.h"
#include "host/TypeInfo.h"
#include "host/Units.h"

namespace Host {

namespace {

std::wstring_view AmbientName(DISPID id) {
    switch (id) {
        case DISPID_AMBIENT_DISPLAYASDEFAULT:
            return L"DisplayAsDefault";
        case DISPID_AMBIENT_FONT:
            return L"Font";
        case DISPID_AMBIENT_USERMODE:
            return L"UserMode";
        case DISPID_AMBIENT_RIGHTTOLEFT:
            return L"RightToLeft";
        case DISPID_AMBIENT_DISPLAYNAME:
            return L"DisplayName";
        case DISPID_AMBIENT_BACKCOLOR:
            return L"BackColor";
        case DISPID_AMBIENT_FORECOLOR:
            return L"ForeColor";
        default:
            return L"";
    }
}

}  // namespace

ComPtr<ControlObject> ControlObject::Create(std::unique_ptr<HostedControl> control) {
    return ComPtr<ControlObject>::Attach(new ControlObject(std::move(control)));
}

ControlObject::ControlObject(std::unique_ptr<HostedControl> control)
    : control_(std::move(control)) {
    control_->object_ = Identity();
}

ControlObject::~ControlObject() {
    // The control may still hold its windows if it was never sited; it goes first, while
    // the framework object it refers to is intact.
    control_.reset();
}

void ControlObject::AttachSite(ControlSite* site) {
    site_ = site;
    control_->site_ = site;
}

void ControlObject::DetachSite() {
    site_ = nullptr;
    if (control_) control_->site_ = nullptr;
    clientSite_.Reset();
}

HRESULT ControlObject::QueryInterface(REFIID iid, void** object) {
    if (IsEqualIID(iid, IID_ISpecifyPropertyPages) &&
        (!control_ || control_->PropertyPages().empty())) {
        if (!object) return E_POINTER;
        *object = nullptr;
        return QueryOther(iid, object);
    }
    return ComObject::QueryInterface(iid, object);
}

HRESULT ControlObject::QueryOther(REFIID iid, void** object) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        return control_ ? control_->QueryPartner(iid, object) : E_NOINTERFACE;
    });
}

// --- IOleObject ------------------------------------------------------------------------------

HRESULT ControlObject::SetClientSite(IOleClientSite* site) {
    clientSite_ = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT ControlObject::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = clientSite_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

HRESULT ControlObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE:
                if (site_ && site_->Hwnd() && verb == OLEIVERB_UIACTIVATE) {
                    SetFocus(site_->Hwnd());
                }
                return S_OK;
            case OLEIVERB_HIDE:
                return S_OK;
            default:
                return OLEOBJ_S_INVALIDVERB;
        }
    });
}

HRESULT ControlObject::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs) *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
}

HRESULT ControlObject::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_NULL;
    return E_NOTIMPL;
}

HRESULT ControlObject::GetUserType(DWORD, LPOLESTR* name) {
    if (name) *name = nullptr;
    return OLE_S_USEREG;
}

HRESULT ControlObject::SetExtent(DWORD aspect, SIZEL* size) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!size) return E_POINTER;
        if (aspect != DVASPECT_CONTENT || !site_) return E_FAIL;
        Extender extender = site_->GetExtender();
        extender.Move(
            extender.Left(), extender.Top(),
            Units::Convert(size->cx, Units::Unit::Himetric, Units::Unit::Twips, Units::Axis::X),
            Units::Convert(size->cy, Units::Unit::Himetric, Units::Unit::Twips, Units::Axis::Y));
        return S_OK;
    });
}

HRESULT ControlObject::GetExtent(DWORD aspect, SIZEL* size) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!size) return E_POINTER;
        if (aspect != DVASPECT_CONTENT || !site_) return E_FAIL;
        const RECT r = site_->Bounds();
        size->cx = static_cast<LONG>(Units::Convert(r.right - r.left, Units::Unit::Pixels,
                                                    Units::Unit::Himetric, Units::Axis::X) +
                                     0.5);
        size->cy = static_cast<LONG>(Units::Convert(r.bottom - r.top, Units::Unit::Pixels,
                                                    Units::Unit::Himetric, Units::Axis::Y) +
                                     0.5);
        return S_OK;
    });
}

HRESULT ControlObject::Advise(IAdviseSink*, DWORD* connection) {
    if (connection) *connection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT ControlObject::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT ControlObject::GetMiscStatus(DWORD, DWORD* status) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!status) return E_POINTER;
        *status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
                  OLEMISC_RECOMPOSEONRESIZE;
        if (control_ && control_->Kind() == SiteKind::Windowless) *status |= OLEMISC_NOUIACTIVATE;
        return S_OK;
    });
}

// --- IOleControl -----------------------------------------------------------------------------

HRESULT ControlObject::GetControlInfo(CONTROLINFO* info) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!info) return E_POINTER;
        accessKeyTable_.Reset();
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        if (!site_ || site_->AccessKeys().empty()) return S_OK;
        std::vector<ACCEL> entries;
        WORD command = 1;
        for (wchar_t key : site_->AccessKeys()) {
            const SHORT scan = VkKeyScanW(key);
            if (scan == -1) continue;
            entries.push_back(ACCEL{FALT | FVIRTKEY, static_cast<WORD>(scan & 0xFF), command++});
        }
        if (entries.empty()) return S_OK;
        accessKeyTable_.Reset(
            CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size())));
        if (!accessKeyTable_) return E_OUTOFMEMORY;
        info->hAccel = accessKeyTable_.Get();
        info->cAccel = static_cast<USHORT>(entries.size());
        return S_OK;
    });
}

HRESULT ControlObject::OnMnemonic(MSG* msg) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!msg) return E_INVALIDARG;
        if (!control_ || !site_) return E_UNEXPECTED;
        int16_t key = 0;
        switch (msg->message) {
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
                if (msg->wParam == VK_RETURN) {
                    key = 13;
                } else if (msg->wParam == VK_ESCAPE) {
                    key = 27;
                } else {
                    const UINT ch =
                        MapVirtualKeyW(static_cast<UINT>(msg->wParam), MAPVK_VK_TO_CHAR);
                    key = static_cast<int16_t>(std::towupper(static_cast<wchar_t>(ch & 0xFFFF)));
                }
                break;
            case WM_CHAR:
            case WM_SYSCHAR:
                key = static_cast<int16_t>(msg->wParam);
                break;
            default:
                return S_FALSE;
        }
        if (key == 0) return S_FALSE;
        control_->AccessKeyPress(key);
        return S_OK;
    });
}

HRESULT ControlObject::OnAmbientPropertyChange(DISPID id) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!control_ || !site_) return S_OK;
        control_->AmbientChanged(AmbientName(id));
        return S_OK;
    });
}

HRESULT ControlObject::FreezeEvents(BOOL freeze) {
    if (freeze) {
        ++freeze_;
    } else if (freeze_ > 0) {
        --freeze_;
    }
    return S_OK;
}

// --- IOleInPlaceActiveObject -----------------------------------------------------------------

HRESULT ControlObject::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = site_ ? site_->Hwnd() : nullptr;
    return *hwnd ? S_OK : E_FAIL;
}

HRESULT ControlObject::TranslateAccelerator(MSG* msg) {
    if (!msg) return E_INVALIDARG;
    return S_FALSE;
}

// --- IPerPropertyBrowsing ------------------------------------------------------------------

HRESULT ControlObject::GetDisplayString(DISPID, BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::MapPropertyToPage(DISPID, CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_NULL;
    return PERPROP_E_NOPAGEAVAILABLE;
}

HRESULT ControlObject::GetPredefinedStrings(DISPID, CALPOLESTR* strings, CADWORD* cookies) {
    if (!strings || !cookies) return E_POINTER;
    strings->cElems = 0;
    strings->pElems = nullptr;
    cookies->cElems = 0;
    cookies->pElems = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::GetPredefinedValue(DISPID, DWORD, VARIANT* value) {
    if (!value) return E_POINTER;
    return E_NOTIMPL;
}

// --- ISpecifyPropertyPages --------------------------------------------------------------------

HRESULT ControlObject::GetPages(CAUUID* pages) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!pages) return E_POINTER;
        pages->cElems = 0;
        pages->pElems = nullptr;
        if (!control_) return E_UNEXPECTED;
        const std::span<const CLSID> list = control_->PropertyPages();
        if (list.empty()) return S_OK;
        auto* elems = static_cast<GUID*>(CoTaskMemAlloc(list.size() * sizeof(GUID)));
        if (!elems) return E_OUTOFMEMORY;
        std::copy(list.begin(), list.end(), elems);
        pages->cElems = static_cast<ULONG>(list.size());
        pages->pElems = elems;
        return S_OK;
    });
}

// --- IDispatch -------------------------------------------------------------------------------

HRESULT ControlObject::GetClassInfo(ITypeInfo** info) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!info) return E_POINTER;
        *info = NamedTypeInfo(site_ ? site_->TypeName() : std::wstring()).Detach();
        return S_OK;
    });
}

HRESULT ControlObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!control_) return DISP_E_UNKNOWNNAME;
        return DispatchIdsOfNames(*control_, names, count, ids);
    });
}

HRESULT ControlObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!control_) return E_UNEXPECTED;
        return DispatchInvoke(*control_, id, flags, params, result, exception, argError);
    });
}

}  // namespace Host

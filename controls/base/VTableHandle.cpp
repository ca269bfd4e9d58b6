#include "controls/base/VTableHandle.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "controls/base/Common.h"
#include "controls/base/Handles.h"
#include "controls/base/VTableSubclass.h"
#include "controls/base/Variant.h"

namespace VTableHandle {

namespace {

// Entries of the framework's tables (numbered from 1, after QueryInterface, AddRef, Release).
constexpr int32_t kGetControlInfo = 4;
constexpr int32_t kOnMnemonic = 5;
constexpr int32_t kGetDisplayString = 4;
constexpr int32_t kGetPredefinedStrings = 6;
constexpr int32_t kGetPredefinedValue = 7;

// One patch per kind for the whole process, each counting the controls that use it.
struct SharedPatch {
    std::unique_ptr<VTableSubclass> table;
    bool markerSet = false;  // this module set the marker (and so patched)
};
SharedPatch g_oleControl;
SharedPatch g_perPropertyBrowsing;

// ---------------------------------------------------------------------------------------
// The process marker on the host's hidden main window.

BOOL CALLBACK FindMainWindowProc(HWND hwnd, LPARAM lParam) {
    if (GetWindowLongPtrW(hwnd, GWLP_HWNDPARENT) != 0) return TRUE;
    wchar_t name[256];
    const int n = GetClassNameW(hwnd, name, 256);
    const std::wstring_view cls(name, n > 0 ? n : 0);
    if (cls.size() >= 11 && cls.substr(0, 7) == L"Thunder" &&
        cls.substr(cls.size() - 4) == L"Main") {
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindMainWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindMainWindowProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Calls the framework's own function of `entry`: the entry is put back for the call and
// patched again afterwards (the replacement stays in place even if the call throws).
class FrameworkCall {
public:
    FrameworkCall(VTableSubclass& table, int32_t entry) : table_(table), entry_(entry) {
        table_.SubclassEntry(entry_, false);
    }
    ~FrameworkCall() { table_.SubclassEntry(entry_, true); }
    FrameworkCall(const FrameworkCall&) = delete;
    FrameworkCall& operator=(const FrameworkCall&) = delete;

private:
    VTableSubclass& table_;
    int32_t entry_;
};

template <class T>
ComPtr<T> Query(IUnknown* object, REFIID iid) {
    ComPtr<T> result;
    if (object) object->QueryInterface(iid, result.PutVoid());
    return result;
}

// ---------------------------------------------------------------------------------------
// Replacement IOleControl entries.

HRESULT STDMETHODCALLTYPE ReplacementGetControlInfo(IOleControl* self, CONTROLINFO* pCI) {
    if (!pCI) return E_POINTER;
    bool handled = false;
    try {
        // The record's size as the platform defines it (16 bytes on 32-bit Windows).
        pCI->cb = sizeof(CONTROLINFO);
        if (ComPtr<IOleControlVB> partner = Query<IOleControlVB>(self, IID_IOleControlVB)) {
            VARIANT_BOOL h = VARIANT_FALSE;
            const HRESULT hr =
                partner->GetControlInfo(&h, &pCI->cAccel, &pCI->hAccel, &pCI->dwFlags);
            handled = SUCCEEDED(hr) && h != VARIANT_FALSE;
        }
    } catch (...) {
        handled = false;
    }
    if (!handled) {
        FrameworkCall call(*g_oleControl.table, kGetControlInfo);
        return self->GetControlInfo(pCI);
    }
    return (pCI->cAccel > 0 && !pCI->hAccel) ? E_OUTOFMEMORY : S_OK;
}

HRESULT STDMETHODCALLTYPE ReplacementOnMnemonic(IOleControl* self, MSG* pMsg) {
    if (!pMsg) return E_INVALIDARG;
    bool handled = false;
    try {
        if (ComPtr<IOleControlVB> partner = Query<IOleControlVB>(self, IID_IOleControlVB)) {
            VARIANT_BOOL h = VARIANT_FALSE;
            const HRESULT hr = partner->OnMnemonic(
                &h, static_cast<LONG>(pMsg->message), static_cast<LONG_PTR>(pMsg->wParam),
                static_cast<LONG_PTR>(pMsg->lParam), Common::GetShiftState());
            handled = SUCCEEDED(hr) && h != VARIANT_FALSE;
        }
    } catch (...) {
        handled = false;
    }
    if (handled) return S_OK;
    FrameworkCall call(*g_oleControl.table, kOnMnemonic);
    return self->OnMnemonic(pMsg);
}

// ---------------------------------------------------------------------------------------
// Replacement IPerPropertyBrowsing entries. Property browsing has no framework answer worth
// keeping: what the control does not answer is E_NOTIMPL.

HRESULT STDMETHODCALLTYPE ReplacementGetDisplayString(IPerPropertyBrowsing* self, DISPID dispID,
                                                      BSTR* pBstr) {
    if (!pBstr) return E_POINTER;
    try {
        ComPtr<IPerPropertyBrowsingVB> partner =
            Query<IPerPropertyBrowsingVB>(self, IID_IPerPropertyBrowsingVB);
        if (!partner) return E_NOTIMPL;
        VARIANT_BOOL h = VARIANT_FALSE;
        UniqueBstr name;
        const HRESULT hr = partner->GetDisplayString(&h, dispID, name.Put());
        if (FAILED(hr) || h == VARIANT_FALSE) return E_NOTIMPL;
        // A new string of the caller's own.
        *pBstr = SysAllocStringLen(name.Get(), SysStringLen(name.Get()));
        return *pBstr ? S_OK : E_OUTOFMEMORY;
    } catch (...) {
        return E_NOTIMPL;
    }
}

struct SafeArrayOwner {
    SAFEARRAY* p = nullptr;
    ~SafeArrayOwner() {
        if (p) SafeArrayDestroy(p);
    }
};

HRESULT STDMETHODCALLTYPE ReplacementGetPredefinedStrings(IPerPropertyBrowsing* self, DISPID dispID,
                                                          CALPOLESTR* pCaStringsOut,
                                                          CADWORD* pCaCookiesOut) {
    if (!pCaStringsOut || !pCaCookiesOut) return E_POINTER;
    try {
        ComPtr<IPerPropertyBrowsingVB> partner =
            Query<IPerPropertyBrowsingVB>(self, IID_IPerPropertyBrowsingVB);
        if (!partner) return E_NOTIMPL;
        SafeArrayOwner strings{SafeArrayCreateVector(VT_BSTR, 0, 1)};
        SafeArrayOwner cookies{SafeArrayCreateVector(VT_I4, 0, 1)};
        if (!strings.p || !cookies.p) return E_OUTOFMEMORY;
        VARIANT_BOOL h = VARIANT_FALSE;
        const HRESULT hr = partner->GetPredefinedStrings(&h, dispID, &strings.p, &cookies.p);
        if (FAILED(hr) || h == VARIANT_FALSE) return E_NOTIMPL;

        VARTYPE type = VT_EMPTY;
        const LONG count = static_cast<LONG>(ArrayLength(strings.p));
        if (count > 0 && (FAILED(SafeArrayGetVartype(strings.p, &type)) || type != VT_BSTR)) {
            return E_NOTIMPL;
        }
        if (cookies.p && SafeArrayGetDim(cookies.p) == 1 &&
            (FAILED(SafeArrayGetVartype(cookies.p, &type)) ||
             (type != VT_I4 && type != VT_UI4 && type != VT_INT && type != VT_UINT))) {
            return E_NOTIMPL;
        }
        // A cookie array shorter than the strings counts as extended with 0 cookies.
        const LONG cookieCount = static_cast<LONG>(ArrayLength(cookies.p));

        pCaStringsOut->cElems = 0;
        pCaStringsOut->pElems = nullptr;
        pCaCookiesOut->cElems = 0;
        pCaCookiesOut->pElems = nullptr;
        if (count == 0) return S_OK;

        UniqueTaskMem<LPOLESTR> texts(
            static_cast<LPOLESTR*>(CoTaskMemAlloc(sizeof(LPOLESTR) * count)));
        UniqueTaskMem<DWORD> values(static_cast<DWORD*>(CoTaskMemAlloc(sizeof(DWORD) * count)));
        if (!texts || !values) return E_OUTOFMEMORY;
        LONG stringsLo = 0, cookiesLo = 0;
        SafeArrayGetLBound(strings.p, 1, &stringsLo);
        if (cookieCount > 0) SafeArrayGetLBound(cookies.p, 1, &cookiesLo);
        for (LONG i = 0; i < count; ++i) {
            UniqueBstr s;
            LONG at = stringsLo + i;
            SafeArrayGetElement(strings.p, &at, s.Put());
            const UINT n = SysStringLen(s.Get());
            LPOLESTR& text = texts.Get()[i];
            text = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof(OLECHAR) * (n + 1)));
            if (!text) {
                for (LONG j = 0; j < i; ++j)
                    CoTaskMemFree(texts.Get()[j]);
                return E_OUTOFMEMORY;
            }
            if (n) std::memcpy(text, s.Get(), sizeof(OLECHAR) * n);
            text[n] = L'\0';
            LONG cookie = 0;
            if (i < cookieCount) {
                at = cookiesLo + i;
                SafeArrayGetElement(cookies.p, &at, &cookie);
            }
            values.Get()[i] = static_cast<DWORD>(cookie);
        }
        pCaStringsOut->cElems = static_cast<ULONG>(count);
        pCaStringsOut->pElems = texts.Release();
        pCaCookiesOut->cElems = static_cast<ULONG>(count);
        pCaCookiesOut->pElems = values.Release();
        return S_OK;
    } catch (...) {
        return E_NOTIMPL;
    }
}

HRESULT STDMETHODCALLTYPE ReplacementGetPredefinedValue(IPerPropertyBrowsing* self, DISPID dispID,
                                                        DWORD dwCookie, VARIANT* pVarOut) {
    if (!pVarOut) return E_POINTER;
    try {
        ComPtr<IPerPropertyBrowsingVB> partner =
            Query<IPerPropertyBrowsingVB>(self, IID_IPerPropertyBrowsingVB);
        if (!partner) return E_NOTIMPL;
        VARIANT value;
        VariantInit(&value);
        VARIANT_BOOL h = VARIANT_FALSE;
        const HRESULT hr =
            partner->GetPredefinedValue(&h, dispID, static_cast<LONG>(dwCookie), &value);
        if (FAILED(hr) || h == VARIANT_FALSE) {
            VariantClear(&value);
            return E_NOTIMPL;
        }
        VariantInit(pVarOut);
        const HRESULT copied = VariantCopy(pVarOut, &value);
        VariantClear(&value);
        return copied;
    } catch (...) {
        return E_NOTIMPL;
    }
}

// ---------------------------------------------------------------------------------------
// The active-object wrapper: one object for the process that stands for the active
// control's IOleInPlaceActiveObject. Laid out as a COM object: its function table first.

struct ActiveObjectWrapper {
    const void* const* table;
    LONG users;                          // controls that installed kind 2
    LONG holders;                        // references callers hold on the wrapper itself
    IOleInPlaceActiveObject* own;        // the active control's own object
    IOleInPlaceActiveObjectVB* partner;  // and its partner
};

ActiveObjectWrapper g_wrapper{};

ActiveObjectWrapper* Wrapper(IOleInPlaceActiveObject* self) {
    return reinterpret_cast<ActiveObjectWrapper*>(self);
}

HRESULT STDMETHODCALLTYPE WrapperQueryInterface(IOleInPlaceActiveObject* self, REFIID riid,
                                                void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ActiveObjectWrapper* w = Wrapper(self);
    if (!w->own) return E_UNEXPECTED;
    if (IsEqualIID(riid, IID_IOleInPlaceActiveObject)) {
        self->AddRef();
        *ppv = self;
        return S_OK;
    }
    return w->own->QueryInterface(riid, ppv);
}

// Callers' references are the wrapper's own, never the control's: a holder (another form's
// frame, say) may still hold it when it is pointed at another control, and its release must
// not fall on that one. The wrapper itself holds the control it points at.
ULONG STDMETHODCALLTYPE WrapperAddRef(IOleInPlaceActiveObject* self) {
    return static_cast<ULONG>(InterlockedIncrement(&Wrapper(self)->holders)) + 1;
}

ULONG STDMETHODCALLTYPE WrapperRelease(IOleInPlaceActiveObject* self) {
    return static_cast<ULONG>(InterlockedDecrement(&Wrapper(self)->holders)) + 1;
}

HRESULT STDMETHODCALLTYPE WrapperGetWindow(IOleInPlaceActiveObject* self, HWND* phwnd) {
    ActiveObjectWrapper* w = Wrapper(self);
    return w->own ? w->own->GetWindow(phwnd) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE WrapperContextSensitiveHelp(IOleInPlaceActiveObject* self,
                                                      BOOL fEnterMode) {
    ActiveObjectWrapper* w = Wrapper(self);
    return w->own ? w->own->ContextSensitiveHelp(fEnterMode) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE WrapperTranslateAccelerator(IOleInPlaceActiveObject* self, MSG* pMsg) {
    if (!pMsg) return E_INVALIDARG;
    ActiveObjectWrapper* w = Wrapper(self);
    if (!w->own) return E_UNEXPECTED;
    // What the control does with the key may move the focus and so point the wrapper at
    // another control: the call keeps to the control it started with, and keeps it alive.
    const ComPtr<IOleInPlaceActiveObject> own(w->own);
    const ComPtr<IOleInPlaceActiveObjectVB> partner(w->partner);
    try {
        if (partner) {
            VARIANT_BOOL h = VARIANT_FALSE;
            LONG retVal = S_OK;
            const HRESULT hr = partner->TranslateAccelerator(
                &h, &retVal, static_cast<LONG>(pMsg->message), static_cast<LONG_PTR>(pMsg->wParam),
                static_cast<LONG_PTR>(pMsg->lParam), Common::GetShiftState());
            if (SUCCEEDED(hr) && h != VARIANT_FALSE) return static_cast<HRESULT>(retVal);
        }
    } catch (...) {
    }
    return own->TranslateAccelerator(pMsg);
}

HRESULT STDMETHODCALLTYPE WrapperOnFrameWindowActivate(IOleInPlaceActiveObject* self,
                                                       BOOL fActivate) {
    ActiveObjectWrapper* w = Wrapper(self);
    return w->own ? w->own->OnFrameWindowActivate(fActivate) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE WrapperOnDocWindowActivate(IOleInPlaceActiveObject* self,
                                                     BOOL fActivate) {
    ActiveObjectWrapper* w = Wrapper(self);
    return w->own ? w->own->OnDocWindowActivate(fActivate) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE WrapperResizeBorder(IOleInPlaceActiveObject* self, LPCRECT prcBorder,
                                              IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) {
    ActiveObjectWrapper* w = Wrapper(self);
    return w->own ? w->own->ResizeBorder(prcBorder, pUIWindow, fFrameWindow) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE WrapperEnableModeless(IOleInPlaceActiveObject* self, BOOL fEnable) {
    ActiveObjectWrapper* w = Wrapper(self);
    return w->own ? w->own->EnableModeless(fEnable) : E_UNEXPECTED;
}

template <class F>
const void* Entry(F f) {
    return reinterpret_cast<const void*>(f);
}

const void* const* WrapperTable() {
    // Built once, in slot order.
    static const void* const table[10] = {
        Entry(WrapperQueryInterface),
        Entry(WrapperAddRef),
        Entry(WrapperRelease),
        Entry(WrapperGetWindow),
        Entry(WrapperContextSensitiveHelp),
        Entry(WrapperTranslateAccelerator),
        Entry(WrapperOnFrameWindowActivate),
        Entry(WrapperOnDocWindowActivate),
        Entry(WrapperResizeBorder),
        Entry(WrapperEnableModeless),
    };
    return table;
}

void ClearWrapper() {
    // Fields first, so that a release that re-enters finds the wrapper empty.
    IOleInPlaceActiveObject* own = std::exchange(g_wrapper.own, nullptr);
    IOleInPlaceActiveObjectVB* partner = std::exchange(g_wrapper.partner, nullptr);
    if (partner) partner->Release();
    if (own) own->Release();
}

bool IsSameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> ia = Query<IUnknown>(a, IID_IUnknown);
    ComPtr<IUnknown> ib = Query<IUnknown>(b, IID_IUnknown);
    return ia && ia.Get() == ib.Get();
}

// ---------------------------------------------------------------------------------------

void Install(SharedPatch& patch, IUnknown* control, REFIID iid, const wchar_t* marker,
             int32_t firstEntry, int32_t lastEntry, std::initializer_list<uintptr_t> entries) {
    if (!patch.table) patch.table = std::make_unique<VTableSubclass>();
    if (patch.table->RefCount() == 0) {
        HWND mainWindow = FindMainWindow();
        if (!mainWindow || !GetPropW(mainWindow, marker)) {
            ComPtr<IUnknown> object = Query<IUnknown>(control, iid);
            patch.table->Subclass(object.Get(), firstEntry, lastEntry,
                                  std::span<const uintptr_t>(entries.begin(), entries.size()));
            if (mainWindow) {
                SetPropW(mainWindow, marker, reinterpret_cast<HANDLE>(1));
                patch.markerSet = true;
            }
        }
    }
    patch.table->AddRef();
}

void Remove(SharedPatch& patch, const wchar_t* marker) {
    if (!patch.table || patch.table->RefCount() <= 0) return;
    if (patch.table->Release() > 0) return;
    // Only a marker this module set is taken away: one left by another copy of the module
    // still guards that copy's patch.
    if (patch.markerSet) {
        if (HWND mainWindow = FindMainWindow()) RemovePropW(mainWindow, marker);
        patch.markerSet = false;
    }
    patch.table->UnSubclass();
}

}  // namespace

bool VTableHandlingSupported(IUnknown* control, int32_t kind) {
    if (!control) return false;
    switch (kind) {
        case kOleControl:
            return Query<IOleControl>(control, IID_IOleControl) &&
                   Query<IOleControlVB>(control, IID_IOleControlVB);
        case kOleInPlaceActiveObject:
            return Query<IOleInPlaceActiveObject>(control, IID_IOleInPlaceActiveObject) &&
                   Query<IOleInPlaceActiveObjectVB>(control, IID_IOleInPlaceActiveObjectVB);
        case kPerPropertyBrowsing:
            return Query<IPerPropertyBrowsing>(control, IID_IPerPropertyBrowsing) &&
                   Query<IPerPropertyBrowsingVB>(control, IID_IPerPropertyBrowsingVB);
        default:
            return false;
    }
}

void SetVTableHandling(IUnknown* control, int32_t kind) {
    if (!VTableHandlingSupported(control, kind)) return;
    switch (kind) {
        case kOleControl:
            Install(g_oleControl, control, IID_IOleControl, kControlMarker, kGetControlInfo,
                    kOnMnemonic,
                    {reinterpret_cast<uintptr_t>(&ReplacementGetControlInfo),
                     reinterpret_cast<uintptr_t>(&ReplacementOnMnemonic)});
            break;
        case kOleInPlaceActiveObject:
            ++g_wrapper.users;
            break;
        case kPerPropertyBrowsing:
            // Entry 5 (MapPropertyToPage) keeps the framework's function.
            Install(g_perPropertyBrowsing, control, IID_IPerPropertyBrowsing,
                    kPropertyBrowsingMarker, kGetDisplayString, kGetPredefinedValue,
                    {reinterpret_cast<uintptr_t>(&ReplacementGetDisplayString), 0,
                     reinterpret_cast<uintptr_t>(&ReplacementGetPredefinedStrings),
                     reinterpret_cast<uintptr_t>(&ReplacementGetPredefinedValue)});
            break;
        default:
            break;
    }
}

void RemoveVTableHandling(IUnknown* control, int32_t kind) {
    // A control that could not install the kind counted nothing, and must take nothing away
    // from the controls that did.
    if (!VTableHandlingSupported(control, kind)) return;
    switch (kind) {
        case kOleControl:
            Remove(g_oleControl, kControlMarker);
            break;
        case kOleInPlaceActiveObject:
            if (g_wrapper.users > 0) --g_wrapper.users;
            // The wrapper must not keep a control that is going away.
            if (g_wrapper.own && (g_wrapper.users == 0 || IsSameObject(g_wrapper.own, control))) {
                ClearWrapper();
            }
            break;
        case kPerPropertyBrowsing:
            Remove(g_perPropertyBrowsing, kPropertyBrowsingMarker);
            break;
        default:
            break;
    }
}

void NotifyControlInfoChanged(IUnknown* control, bool setFocus) {
    ComPtr<IOleObject> object = Query<IOleObject>(control, IID_IOleObject);
    if (!object) return;
    ComPtr<IOleClientSite> clientSite;
    if (FAILED(object->GetClientSite(clientSite.Put())) || !clientSite) return;
    ComPtr<IOleControlSite> site = clientSite.As<IOleControlSite>(IID_IOleControlSite);
    if (!site) return;
    site->OnControlInfoChanged();
    if (setFocus) site->OnFocus(TRUE);
}

ComPtr<IOleInPlaceActiveObject> ActiveObjectFor(IUnknown* control) {
    ComPtr<IOleInPlaceActiveObject> own =
        Query<IOleInPlaceActiveObject>(control, IID_IOleInPlaceActiveObject);
    if (!own || g_wrapper.users <= 0) return own;
    ComPtr<IOleInPlaceActiveObjectVB> partner =
        Query<IOleInPlaceActiveObjectVB>(control, IID_IOleInPlaceActiveObjectVB);
    if (!partner) return own;
    g_wrapper.table = WrapperTable();
    if (g_wrapper.own != own.Get()) {
        ClearWrapper();
        g_wrapper.own = own.Detach();
        g_wrapper.partner = partner.Detach();
    }
    return ComPtr<IOleInPlaceActiveObject>(reinterpret_cast<IOleInPlaceActiveObject*>(&g_wrapper));
}

bool IsActiveObjectWrapper(const IUnknown* object) {
    return object && object == reinterpret_cast<const IUnknown*>(&g_wrapper);
}

int32_t ActiveObjectUsers() {
    return g_wrapper.users;
}

}  // namespace VTableHandle

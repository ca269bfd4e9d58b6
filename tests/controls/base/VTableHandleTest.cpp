// The in-place activation hooks on the real function tables of a COM class that stands for
// the framework: it records what reaches its own functions, and answers the partner
// interfaces as each test tells it.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/VTableHandle.h"
#include "tests/support/TestWindow.h"
#include "tests/support/WithoutTypeInfo.h"

namespace {

constexpr HRESULT kFrameworkControlInfo = MAKE_HRESULT(0, FACILITY_ITF, 0x201);
constexpr HRESULT kFrameworkMnemonic = MAKE_HRESULT(0, FACILITY_ITF, 0x202);
constexpr HRESULT kFrameworkTranslate = MAKE_HRESULT(0, FACILITY_ITF, 0x203);
constexpr HRESULT kFrameworkPage = MAKE_HRESULT(0, FACILITY_ITF, 0x204);

// A framework object and, when `partners` is set, its control's partner interfaces.
class FakeControl : public IOleObject,
                    public IOleControl,
                    public IOleInPlaceActiveObject,
                    public IPerPropertyBrowsing,
                    public testsupport::WithoutTypeInfo<IOleControlVB>,
                    public testsupport::WithoutTypeInfo<IOleInPlaceActiveObjectVB>,
                    public testsupport::WithoutTypeInfo<IPerPropertyBrowsingVB> {
public:
    explicit FakeControl(bool partners) : partners_(partners) {}

    // What the framework's own functions saw.
    int frameworkControlInfo = 0;
    const MSG* frameworkMnemonic = nullptr;
    const MSG* frameworkTranslate = nullptr;
    int frameworkPage = 0;
    // What the partner does.
    std::function<HRESULT(VARIANT_BOOL*, USHORT*, HACCEL*, DWORD*)> controlInfo;
    std::function<HRESULT(VARIANT_BOOL*, LONG, LONG_PTR, LONG_PTR, LONG)> mnemonic;
    std::function<HRESULT(VARIANT_BOOL*, LONG*, LONG, LONG_PTR, LONG_PTR, LONG)> translate;
    std::function<HRESULT(VARIANT_BOOL*, DISPID, SAFEARRAY**, SAFEARRAY**)> strings;
    bool handleDisplayAndValue = false;
    IOleClientSite* clientSite = nullptr;
    LONG refs = 1;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) {
            *out = static_cast<IOleObject*>(this);
        } else if (IsEqualIID(iid, IID_IOleControl)) {
            *out = static_cast<IOleControl*>(this);
        } else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject) ||
                   IsEqualIID(iid, IID_IOleWindow)) {
            *out = static_cast<IOleInPlaceActiveObject*>(this);
        } else if (IsEqualIID(iid, IID_IPerPropertyBrowsing)) {
            *out = static_cast<IPerPropertyBrowsing*>(this);
        } else if (partners_ && IsEqualIID(iid, IID_IOleControlVB)) {
            *out = static_cast<IOleControlVB*>(this);
        } else if (partners_ && IsEqualIID(iid, IID_IOleInPlaceActiveObjectVB)) {
            *out = static_cast<IOleInPlaceActiveObjectVB*>(this);
        } else if (partners_ && IsEqualIID(iid, IID_IPerPropertyBrowsingVB)) {
            *out = static_cast<IPerPropertyBrowsingVB*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the stack

    // IOleObject: only the client site matters here.
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
        *site = clientSite;
        if (clientSite) clientSite->AddRef();
        return clientSite ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleControl: the framework's own answers.
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override {
        ++frameworkControlInfo;
        info->cAccel = 0;
        info->hAccel = nullptr;
        info->dwFlags = 0x77;
        return kFrameworkControlInfo;
    }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override {
        frameworkMnemonic = msg;
        return kFrameworkMnemonic;
    }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        *hwnd = reinterpret_cast<HWND>(0x1234);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override {
        frameworkTranslate = msg;
        return kFrameworkTranslate;
    }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IPerPropertyBrowsing
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID, BSTR*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID, CLSID*) override {
        ++frameworkPage;
        return kFrameworkPage;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID, CALPOLESTR*, CADWORD*) override {
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID, DWORD, VARIANT*) override {
        return E_FAIL;
    }

    // The partners
    HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* h, USHORT* n, HACCEL* t,
                                             DWORD* f) override {
        if (controlInfo) return controlInfo(h, n, t, f);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnMnemonic(VARIANT_BOOL* h, LONG m, LONG_PTR w, LONG_PTR l,
                                         LONG s) override {
        if (mnemonic) return mnemonic(h, m, w, l, s);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(VARIANT_BOOL* h, LONG* r, LONG m, LONG_PTR w,
                                                   LONG_PTR l, LONG s) override {
        if (translate) return translate(h, r, m, w, l, s);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayString(VARIANT_BOOL* h, DISPID id, BSTR* name) override {
        if (handleDisplayAndValue) {
            *name = SysAllocString((std::to_wstring(id) + L" - One").c_str());
            *h = VARIANT_TRUE;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(VARIANT_BOOL* h, DISPID id, SAFEARRAY** s,
                                                   SAFEARRAY** c) override {
        if (strings) return strings(h, id, s, c);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(VARIANT_BOOL* h, DISPID, LONG cookie,
                                                 VARIANT* value) override {
        if (handleDisplayAndValue) {
            value->vt = VT_BSTR;
            value->bstrVal = SysAllocString((L"value " + std::to_wstring(cookie)).c_str());
            *h = VARIANT_TRUE;
        }
        return S_OK;
    }

    // Interface pointers as a container holds them: the compiler must not know what they
    // point to, or it would call the functions directly instead of through the tables.
    template <class T>
    static T* Opaque(T* p) {
        T* volatile hidden = p;
        return hidden;
    }
    IUnknown* Unknown() { return Opaque<IUnknown>(static_cast<IOleObject*>(this)); }
    IOleControl* Control() { return Opaque<IOleControl>(this); }
    IPerPropertyBrowsing* Browsing() { return Opaque<IPerPropertyBrowsing>(this); }
    IOleInPlaceActiveObject* Active() { return Opaque<IOleInPlaceActiveObject>(this); }

private:
    bool partners_;
};

// The function table slot (0-based) of an interface pointer.
void* Slot(void* object, int slot) {
    return (*static_cast<void***>(object))[slot];
}

// A hidden unowned top-level window of the thread that looks like the host's main window.
class MainWindow {
public:
    MainWindow() {
        hwnd_ = CreateWindowExW(0, testsupport::WindowClass(L"ThunderTestMain", DefWindowProcW),
                                L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    ~MainWindow() { DestroyWindow(hwnd_); }
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

// Records the task-memory blocks allocated and freed while it is registered.
class MallocSpy final : public IMallocSpy {
public:
    std::set<void*> live;
    std::set<void*> allocated;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* p) override {
        if (p) {
            live.insert(p);
            allocated.insert(p);
        }
        return p;
    }
    void* STDMETHODCALLTYPE PreFree(void* p, BOOL) override {
        live.erase(p);
        return p;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* p, SIZE_T size, void** out, BOOL) override {
        live.erase(p);
        *out = p;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* p, BOOL) override {
        if (p) {
            live.insert(p);
            allocated.insert(p);
        }
        return p;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* p, BOOL) override { return p; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* p, BOOL) override { return p; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

class KeyState {
public:
    explicit KeyState(std::initializer_list<int> down) {
        GetKeyboardState(saved_);
        BYTE state[256];
        memcpy(state, saved_, 256);
        for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU})
            state[vk] = 0;
        for (int vk : down)
            state[vk] = 0x80;
        SetKeyboardState(state);
    }
    ~KeyState() { SetKeyboardState(saved_); }

private:
    BYTE saved_[256];
};

using namespace VTableHandle;

}  // namespace

TEST(VTableHandle, TheSharedTableStaysPatchedUntilTheLastControlRemovesIt) {
    MainWindow main;
    FakeControl a(true), b(true);
    void* const getControlInfo = Slot(a.Control(), 3);
    void* const onMnemonic = Slot(a.Control(), 4);
    void* const ambient = Slot(a.Control(), 5);
    EXPECT_TRUE(VTableHandlingSupported(a.Unknown(), kOleControl));

    SetVTableHandling(a.Unknown(), kOleControl);
    EXPECT_NE(Slot(a.Control(), 3), getControlInfo);
    EXPECT_NE(Slot(a.Control(), 4), onMnemonic);
    EXPECT_EQ(Slot(a.Control(), 5), ambient);
    EXPECT_EQ(Slot(b.Control(), 3), Slot(a.Control(), 3));  // one table for the class
    EXPECT_EQ(GetPropW(main.Get(), L"VTableSubclassControlInit"), reinterpret_cast<HANDLE>(1));

    SetVTableHandling(b.Unknown(), kOleControl);
    RemoveVTableHandling(a.Unknown(), kOleControl);
    EXPECT_NE(Slot(a.Control(), 3), getControlInfo);
    EXPECT_EQ(GetPropW(main.Get(), L"VTableSubclassControlInit"), reinterpret_cast<HANDLE>(1));
    RemoveVTableHandling(b.Unknown(), kOleControl);
    EXPECT_EQ(Slot(a.Control(), 3), getControlInfo);
    EXPECT_EQ(Slot(a.Control(), 4), onMnemonic);
    EXPECT_EQ(GetPropW(main.Get(), L"VTableSubclassControlInit"), nullptr);

    // Property browsing: entries 4, 6 and 7; MapPropertyToPage (entry 5) keeps its function.
    void* const slots[4] = {Slot(a.Browsing(), 3), Slot(a.Browsing(), 4), Slot(a.Browsing(), 5),
                            Slot(a.Browsing(), 6)};
    SetVTableHandling(a.Unknown(), kPerPropertyBrowsing);
    EXPECT_NE(Slot(a.Browsing(), 3), slots[0]);
    EXPECT_EQ(Slot(a.Browsing(), 4), slots[1]);
    EXPECT_NE(Slot(a.Browsing(), 5), slots[2]);
    EXPECT_NE(Slot(a.Browsing(), 6), slots[3]);
    EXPECT_EQ(GetPropW(main.Get(), L"VTableSubclassPPBInit"), reinterpret_cast<HANDLE>(1));
    CLSID page;
    EXPECT_EQ(a.Browsing()->MapPropertyToPage(1, &page), kFrameworkPage);
    RemoveVTableHandling(a.Unknown(), kPerPropertyBrowsing);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Slot(a.Browsing(), 3 + i), slots[i]);
    EXPECT_EQ(GetPropW(main.Get(), L"VTableSubclassPPBInit"), nullptr);
}

TEST(VTableHandle, AControlWithoutPartnerInstallsNothingButSharesThePatch) {
    MainWindow main;
    FakeControl plain(false), partner(true);
    void* const original = Slot(plain.Control(), 3);
    EXPECT_FALSE(VTableHandlingSupported(plain.Unknown(), kOleControl));
    SetVTableHandling(plain.Unknown(), kOleControl);
    EXPECT_EQ(Slot(plain.Control(), 3), original);

    SetVTableHandling(partner.Unknown(), kOleControl);
    // The plain control's calls pass through the replacement to its framework's answer.
    CONTROLINFO info{};
    EXPECT_EQ(plain.Control()->GetControlInfo(&info), kFrameworkControlInfo);
    EXPECT_EQ(plain.frameworkControlInfo, 1);
    EXPECT_EQ(info.dwFlags, 0x77u);
    // Its removal takes nothing from the control that installed the patch.
    RemoveVTableHandling(plain.Unknown(), kOleControl);
    EXPECT_NE(Slot(plain.Control(), 3), original);
    RemoveVTableHandling(partner.Unknown(), kOleControl);
    EXPECT_EQ(Slot(plain.Control(), 3), original);
}

TEST(VTableHandle, TheMarkerKeepsASecondCopyFromPatchingAgain) {
    FakeControl a(true);
    void* const original = Slot(a.Control(), 3);
    {
        // Without a main window the patch is made and nothing is marked.
        SetVTableHandling(a.Unknown(), kOleControl);
        EXPECT_NE(Slot(a.Control(), 3), original);
        RemoveVTableHandling(a.Unknown(), kOleControl);
        EXPECT_EQ(Slot(a.Control(), 3), original);
    }
    MainWindow main;
    SetPropW(main.Get(), L"VTableSubclassControlInit", reinterpret_cast<HANDLE>(1));
    SetVTableHandling(a.Unknown(), kOleControl);
    EXPECT_EQ(Slot(a.Control(), 3), original);  // another copy patched already
    RemoveVTableHandling(a.Unknown(), kOleControl);
    // That copy's marker stays: it still guards its patch.
    EXPECT_EQ(GetPropW(main.Get(), L"VTableSubclassControlInit"), reinterpret_cast<HANDLE>(1));
    RemovePropW(main.Get(), L"VTableSubclassControlInit");
}

TEST(VTableHandle, GetControlInfoAndOnMnemonicGoToThePartnerFirst) {
    MainWindow main;
    FakeControl c(true);
    SetVTableHandling(c.Unknown(), kOleControl);
    IOleControl* control = c.Control();

    EXPECT_EQ(control->GetControlInfo(nullptr), E_POINTER);

    // Handled with two accelerators and no table: out of memory.
    c.controlInfo = [](VARIANT_BOOL* h, USHORT* n, HACCEL* t, DWORD*) {
        *h = VARIANT_TRUE;
        *n = 2;
        *t = nullptr;
        return S_OK;
    };
    CONTROLINFO info{};
    EXPECT_EQ(control->GetControlInfo(&info), E_OUTOFMEMORY);
    EXPECT_EQ(info.cb, sizeof(CONTROLINFO));
    EXPECT_EQ(c.frameworkControlInfo, 0);

    // Handled with a table: the record holds the control's answer.
    ACCEL entry{FALT | FVIRTKEY, 'O', 1};
    HACCEL table = CreateAcceleratorTableW(&entry, 1);
    c.controlInfo = [table](VARIANT_BOOL* h, USHORT* n, HACCEL* t, DWORD* f) {
        *h = VARIANT_TRUE;
        *n = 1;
        *t = table;
        *f = CTRLINFO_EATS_RETURN;
        return S_OK;
    };
    info = CONTROLINFO{};
    EXPECT_EQ(control->GetControlInfo(&info), S_OK);
    EXPECT_EQ(info.hAccel, table);
    EXPECT_EQ(info.cAccel, 1);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(CTRLINFO_EATS_RETURN));
    DestroyAcceleratorTable(table);

    // Not handled, failed or thrown: the framework's own answer.
    c.controlInfo = nullptr;
    EXPECT_EQ(control->GetControlInfo(&info), kFrameworkControlInfo);
    c.controlInfo = [](VARIANT_BOOL* h, USHORT*, HACCEL*, DWORD*) {
        *h = VARIANT_TRUE;
        return E_FAIL;
    };
    EXPECT_EQ(control->GetControlInfo(&info), kFrameworkControlInfo);
    c.controlInfo = [](VARIANT_BOOL*, USHORT*, HACCEL*, DWORD*) -> HRESULT { throw 1; };
    EXPECT_EQ(control->GetControlInfo(&info), kFrameworkControlInfo);
    EXPECT_EQ(c.frameworkControlInfo, 3);
    // The replacement is back in place after each framework call.
    EXPECT_EQ(control->GetControlInfo(nullptr), E_POINTER);

    EXPECT_EQ(control->OnMnemonic(nullptr), E_INVALIDARG);
    MSG msg{nullptr, WM_SYSKEYDOWN, 'O', 0x20180001, 0, {0, 0}};
    LONG seenShift = -1;
    WPARAM seenKey = 0;
    c.mnemonic = [&](VARIANT_BOOL* h, LONG m, LONG_PTR w, LONG_PTR, LONG s) {
        seenShift = s;
        seenKey = static_cast<WPARAM>(w);
        *h = m == WM_SYSKEYDOWN && w == 'O' ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    };
    {
        KeyState keys({VK_MENU, VK_SHIFT});
        EXPECT_EQ(control->OnMnemonic(&msg), S_OK);
    }
    EXPECT_EQ(seenShift, 5);
    EXPECT_EQ(seenKey, static_cast<WPARAM>('O'));
    EXPECT_EQ(c.frameworkMnemonic, nullptr);
    // A key the control leaves alone reaches the framework's own function, the same message.
    MSG other{nullptr, WM_SYSKEYDOWN, 'Q', 0x20100001, 0, {0, 0}};
    EXPECT_EQ(control->OnMnemonic(&other), kFrameworkMnemonic);
    EXPECT_EQ(c.frameworkMnemonic, &other);
    EXPECT_EQ(other.wParam, static_cast<WPARAM>('Q'));
    RemoveVTableHandling(c.Unknown(), kOleControl);
}

TEST(VTableHandle, PropertyBrowsingStringsAreTaskMemoryTheCallerFrees) {
    MainWindow main;
    FakeControl c(true);
    SetVTableHandling(c.Unknown(), kPerPropertyBrowsing);
    IPerPropertyBrowsing* browsing = c.Browsing();

    BSTR text = nullptr;
    EXPECT_EQ(browsing->GetDisplayString(1, nullptr), E_POINTER);
    EXPECT_EQ(browsing->GetDisplayString(1, &text), E_NOTIMPL);
    c.handleDisplayAndValue = true;
    ASSERT_EQ(browsing->GetDisplayString(3, &text), S_OK);
    EXPECT_STREQ(text, L"3 - One");
    SysFreeString(text);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(browsing->GetPredefinedValue(1, 8, nullptr), E_POINTER);
    ASSERT_EQ(browsing->GetPredefinedValue(1, 8, &value), S_OK);
    EXPECT_STREQ(value.bstrVal, L"value 8");
    VariantClear(&value);
    c.handleDisplayAndValue = false;
    EXPECT_EQ(browsing->GetPredefinedValue(1, 8, &value), E_NOTIMPL);

    // The control answers three strings and one cookie: the cookies are padded with 0.
    std::vector<LONG> inLengths;
    c.strings = [&](VARIANT_BOOL* h, DISPID, SAFEARRAY** strings, SAFEARRAY** cookies) {
        LONG lo = 0, hi = -1;
        SafeArrayGetUBound(*strings, 1, &hi);
        SafeArrayGetLBound(*strings, 1, &lo);
        inLengths.push_back(hi - lo + 1);
        SafeArrayDestroy(*strings);
        *strings = SafeArrayCreateVector(VT_BSTR, 0, 3);
        const wchar_t* texts[] = {L"0 - Default", L"1 - Arrow", L"99 - Custom"};
        for (LONG i = 0; i < 3; ++i) {
            BSTR s = SysAllocString(texts[i]);
            SafeArrayPutElement(*strings, &i, s);
            SysFreeString(s);
        }
        LONG first = 0, cookie = 7;
        SafeArrayPutElement(*cookies, &first, &cookie);
        *h = VARIANT_TRUE;
        return S_OK;
    };
    CALPOLESTR strings{};
    CADWORD cookies{};
    EXPECT_EQ(browsing->GetPredefinedStrings(1, nullptr, &cookies), E_POINTER);
    auto freeAll = [&] {
        for (ULONG i = 0; i < strings.cElems; ++i)
            CoTaskMemFree(strings.pElems[i]);
        CoTaskMemFree(strings.pElems);
        CoTaskMemFree(cookies.pElems);
    };
    // Once before watching, so that the string caches of the system are warm.
    ASSERT_EQ(browsing->GetPredefinedStrings(1, &strings, &cookies), S_OK);
    freeAll();
    MallocSpy spy;
    ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
    ASSERT_EQ(browsing->GetPredefinedStrings(1, &strings, &cookies), S_OK);
    EXPECT_EQ(inLengths, (std::vector<LONG>{1, 1}));
    ASSERT_EQ(strings.cElems, 3u);
    ASSERT_EQ(cookies.cElems, 3u);
    EXPECT_STREQ(strings.pElems[0], L"0 - Default");
    EXPECT_STREQ(strings.pElems[2], L"99 - Custom");
    EXPECT_EQ(cookies.pElems[0], 7u);
    EXPECT_EQ(cookies.pElems[1], 0u);
    EXPECT_EQ(cookies.pElems[2], 0u);
    // Two arrays and three strings, each its own block of task memory...
    std::set<void*> handedOut{strings.pElems, cookies.pElems};
    for (ULONG i = 0; i < strings.cElems; ++i)
        handedOut.insert(strings.pElems[i]);
    EXPECT_EQ(handedOut.size(), 5u);
    for (void* p : handedOut)
        EXPECT_TRUE(spy.live.count(p)) << p;
    // ...which the caller frees, after which nothing of the call is left.
    freeAll();
    EXPECT_TRUE(spy.live.empty()) << spy.live.size() << " blocks left";
    EXPECT_EQ(CoRevokeMallocSpy(), S_OK);

    c.strings = nullptr;
    EXPECT_EQ(browsing->GetPredefinedStrings(1, &strings, &cookies), E_NOTIMPL);
    RemoveVTableHandling(c.Unknown(), kPerPropertyBrowsing);
}

TEST(VTableHandle, TheActiveObjectWrapperTriesThePartnerThenTheControlsOwnObject) {
    FakeControl c(true), plain(false);
    // Without users of kind 2 a control hands over its own object.
    EXPECT_EQ(ActiveObjectFor(c.Unknown()).Get(), c.Active());
    SetVTableHandling(c.Unknown(), kOleInPlaceActiveObject);
    SetVTableHandling(plain.Unknown(), kOleInPlaceActiveObject);  // no partner: not counted
    EXPECT_EQ(ActiveObjectUsers(), 1);
    EXPECT_EQ(ActiveObjectFor(plain.Unknown()).Get(), plain.Active());

    const LONG refsBefore = c.refs;
    ComPtr<IOleInPlaceActiveObject> wrapper = ActiveObjectFor(c.Unknown());
    ASSERT_TRUE(wrapper);
    EXPECT_NE(wrapper.Get(), c.Active());
    // It holds the control; callers' references are its own.
    const LONG held = c.refs;
    EXPECT_GT(held, refsBefore);
    wrapper->AddRef();
    EXPECT_EQ(c.refs, held);
    wrapper->Release();
    EXPECT_EQ(c.refs, held);
    // A holder that keeps it while another control takes it releases neither control.
    {
        FakeControl other(true);
        SetVTableHandling(other.Unknown(), kOleInPlaceActiveObject);
        const LONG otherBefore = other.refs;
        ComPtr<IOleInPlaceActiveObject> keptByAnotherFrame = wrapper;
        ASSERT_EQ(ActiveObjectFor(other.Unknown()).Get(), wrapper.Get());
        EXPECT_EQ(c.refs, refsBefore);
        keptByAnotherFrame.Reset();
        EXPECT_EQ(other.refs, otherBefore + 2);  // the wrapper's hold: own object and partner
        ASSERT_EQ(ActiveObjectFor(c.Unknown()).Get(), wrapper.Get());
        RemoveVTableHandling(other.Unknown(), kOleInPlaceActiveObject);
        EXPECT_EQ(other.refs, otherBefore);
    }
    EXPECT_EQ(c.refs, held);
    // It is its own active object; anything else is the control's.
    ComPtr<IOleInPlaceActiveObject> same;
    ASSERT_EQ(wrapper->QueryInterface(IID_IOleInPlaceActiveObject, same.PutVoid()), S_OK);
    EXPECT_EQ(same.Get(), wrapper.Get());
    same.Reset();
    ComPtr<IOleControl> control;
    ASSERT_EQ(wrapper->QueryInterface(IID_IOleControl, control.PutVoid()), S_OK);
    EXPECT_EQ(control.Get(), c.Control());
    control.Reset();
    EXPECT_EQ(wrapper->QueryInterface(IID_IOleControl, nullptr), E_POINTER);
    HWND window = nullptr;
    EXPECT_EQ(wrapper->GetWindow(&window), S_OK);
    EXPECT_EQ(window, reinterpret_cast<HWND>(0x1234));

    EXPECT_EQ(wrapper->TranslateAccelerator(nullptr), E_INVALIDARG);
    c.translate = [](VARIANT_BOOL* h, LONG* r, LONG m, LONG_PTR w, LONG_PTR, LONG) {
        if (m == WM_KEYDOWN && w == VK_TAB) {
            EXPECT_EQ(*r, S_OK);  // starts as S_OK
            *r = S_FALSE;
            *h = VARIANT_TRUE;
        }
        return S_OK;
    };
    MSG tab{nullptr, WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {0, 0}};
    EXPECT_EQ(wrapper->TranslateAccelerator(&tab), S_FALSE);
    EXPECT_EQ(c.frameworkTranslate, nullptr);
    // A key the control does not handle reaches the control's own processing unchanged.
    MSG letter{reinterpret_cast<HWND>(0x42), WM_KEYDOWN, 'A', 0x001E0001, 5, {1, 2}};
    const MSG copy = letter;
    EXPECT_EQ(wrapper->TranslateAccelerator(&letter), kFrameworkTranslate);
    EXPECT_EQ(c.frameworkTranslate, &letter);
    EXPECT_EQ(memcmp(&letter, &copy, sizeof(MSG)), 0);
    wrapper.Reset();

    // The last user going takes the wrapper's hold on the control with it.
    RemoveVTableHandling(plain.Unknown(), kOleInPlaceActiveObject);
    EXPECT_EQ(ActiveObjectUsers(), 1);
    RemoveVTableHandling(c.Unknown(), kOleInPlaceActiveObject);
    EXPECT_EQ(ActiveObjectUsers(), 0);
    EXPECT_EQ(c.refs, refsBefore);
}

TEST(VTableHandle, NotifyControlInfoChangedReachesTheControlSite) {
    struct Site final : IOleClientSite, IOleControlSite {
        int infoChanged = 0;
        std::vector<BOOL> focus;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
            if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
                *out = static_cast<IOleClientSite*>(this);
            } else if (IsEqualIID(iid, IID_IOleControlSite)) {
                *out = static_cast<IOleControlSite*>(this);
            } else {
                *out = nullptr;
                return E_NOINTERFACE;
            }
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override {
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
        HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override {
            ++infoChanged;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
        HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch**) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override {
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
        HRESULT STDMETHODCALLTYPE OnFocus(BOOL got) override {
            focus.push_back(got);
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }
    } site;
    FakeControl c(true);
    NotifyControlInfoChanged(c.Unknown(), false);  // no site yet: nothing, no failure
    c.clientSite = &site;
    NotifyControlInfoChanged(c.Unknown(), false);
    EXPECT_EQ(site.infoChanged, 1);
    EXPECT_TRUE(site.focus.empty());
    NotifyControlInfoChanged(c.Unknown(), true);
    EXPECT_EQ(site.infoChanged, 2);
    EXPECT_EQ(site.focus, std::vector<BOOL>{TRUE});
}

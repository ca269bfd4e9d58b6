// Host services beyond a form's own controls: events of objects that are not sited, painting
// a form into a device context the caller gives, the form and the extender as late-bound
// objects with type names, and data objects carrying GDI and metafile media.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "host/DataObject.h"
#include "host/Events.h"
#include "host/Form.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"
#include "tests/support/GuiResources.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"

using namespace testhost;
using Host::EventArg;

TEST(EventSource, RaisesToItsOwnersHandlersAndReadsByReferenceArgumentsBack) {
    Host::EventSource source(L"dlgFind");
    std::vector<std::wstring> seen;
    source.On(L"FINDNEXT", [&](Host::Event& e) {
        seen.push_back(L"FindNext");
        EXPECT_EQ(e.SourceName(), L"dlgFind");
        EXPECT_EQ(e.Name(), L"FindNext");
        EXPECT_EQ(e.Id(), 3);
        EXPECT_EQ(e.GetForm(), nullptr);
        EXPECT_EQ(e.Source(), nullptr);
        EXPECT_EQ(e.StringArg(0), L"before");
        e.SetArg(0, std::wstring_view(L"после"));
        e.SetArg(1, std::wstring_view(L"7"));           // converted to the argument's own type
        EXPECT_THROW(e.SetArg(2, true), ControlError);  // passed by value
    });
    source.OnAny([&](Host::Event& e) {
        seen.push_back(L"any " + std::wstring(e.Name()));
        if (e.Name() == L"FindNext") {
            EXPECT_EQ(e.Int32Arg(1), 7);  // after the specific handler
        }
    });
    EXPECT_TRUE(source.HasHandlers(L"findnext"));

    std::wstring text = L"before";
    int32_t flags = 1;
    source.Raise(L"FindNext", 3, EventArg::ByRef(text), EventArg::ByRef(flags),
                 EventArg::ByVal(false));
    EXPECT_EQ(text, L"после");
    EXPECT_EQ(flags, 7);
    source.Raise(L"Help", 4);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"FindNext", L"any FindNext", L"any Help"}));

    // Frozen, nothing is delivered; cleared, nobody listens.
    seen.clear();
    source.Freeze();
    source.Raise(L"FindNext", 3, EventArg::ByRef(text), EventArg::ByRef(flags),
                 EventArg::ByVal(false));
    source.Unfreeze();
    EXPECT_TRUE(seen.empty());
    source.Clear();
    EXPECT_FALSE(source.HasHandlers(L"FindNext"));
    source.Raise(L"Help", 4);
    EXPECT_TRUE(seen.empty());
}

TEST(EventSource, AHandlerErrorStopsTheOtherHandlersAndIsReportedNotThrown) {
    Host::EventSource source(L"dlg");
    bool secondRan = false;
    source.On(L"Close", [](Host::Event& e) {
        e.SetArg(0, true);
        ControlErrors::Raise(380);
    });
    source.On(L"Close", [&](Host::Event&) { secondRan = true; });
    testsupport::MessageBoxCatcher catcher;
    bool cancel = false;
    EXPECT_NO_THROW(source.Raise(L"Close", 1, EventArg::ByRef(cancel)));
    EXPECT_FALSE(secondRan);
    EXPECT_TRUE(cancel);  // what the handler set before it failed is read back
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Run-time error '380':\r\n\r\nInvalid property value");
}

TEST(EventSource, AFormUnloadedFromAnObjectsHandlerGoesOnlyAfterTheEventReturns) {
    auto form = NewTestForm();
    form->Show();
    const HWND hwnd = form->Hwnd();
    Host::EventSource source(L"dlg");
    bool windowDuringHandler = false;
    source.On(L"Done", [&](Host::Event&) {
        EXPECT_EQ(Host::EventsInProgress(), 1);
        EXPECT_TRUE(form->Unload());
        windowDuringHandler = IsWindow(hwnd) && form->FindSite(L"cmdOk") != nullptr;
    });
    source.Raise(L"Done", 1);
    EXPECT_TRUE(windowDuringHandler);
    EXPECT_EQ(Host::EventsInProgress(), 0);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_FALSE(form->Loaded());
}

namespace {

constexpr COLORREF kLabelColour = RGB(200, 0, 0);
constexpr COLORREF kMarker = RGB(0, 0, 200);

// A memory bitmap of `size` filled with kMarker, selected into its own context.
struct Canvas {
    WindowDC screen;
    UniqueMemoryDC dc{CreateCompatibleDC(screen.Get())};
    UniqueBitmap bitmap;
    SelectedObject selected;
    explicit Canvas(SIZE size)
        : bitmap(CreateCompatibleBitmap(screen.Get(), size.cx, size.cy)),
          selected(dc.Get(), bitmap.Get()) {
        RECT r{0, 0, size.cx, size.cy};
        UniqueBrush brush(CreateSolidBrush(kMarker));
        FillRect(dc.Get(), &r, brush.Get());
    }
    COLORREF At(int x, int y) const { return GetPixel(dc.Get(), x, y); }
};

}  // namespace

TEST(FormPainting, PaintsIntoAGivenContextWithTheWindowlessControls) {
    auto form = NewTestForm();
    form->Show();
    Host::ControlSite& site = form->Site(L"lblCity");
    site.SetBackStyle(1);
    site.SetBackColor(kLabelColour);
    const RECT label = site.Bounds();
    const COLORREF background = GetSysColor(COLOR_BTNFACE);  // the form's BackColor
    ASSERT_NE(background, kLabelColour);
    RECT client;
    GetClientRect(form->Hwnd(), &client);
    auto& control = form->ControlAs<TestLabel>(L"lblCity");

    // The whole client area, as a test renders a form.
    {
        Canvas canvas({client.right, client.bottom});
        const int paints = control.Paints();
        SendMessageW(form->Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc.Get()),
                     PRF_CLIENT | PRF_ERASEBKGND);
        EXPECT_GT(control.Paints(), paints);
        EXPECT_EQ(canvas.At(label.left + 1, label.bottom - 2), kLabelColour);
        EXPECT_EQ(canvas.At(label.right + 2, label.top + 1), background);
        EXPECT_EQ(canvas.At(2, 2), background);
    }
    // Without PRF_ERASEBKGND only the controls are drawn.
    {
        Canvas canvas({client.right, client.bottom});
        SendMessageW(form->Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc.Get()),
                     PRF_CLIENT);
        EXPECT_EQ(canvas.At(label.left + 1, label.bottom - 2), kLabelColour);
        EXPECT_EQ(canvas.At(2, 2), kMarker);
    }
    // WM_PAINT with a context whose origin the caller moved, as a transparent control copies
    // what lies behind it: a 20 by 10 piece straddling the label's left edge.
    {
        Canvas canvas({20, 10});
        SetViewportOrgEx(canvas.dc.Get(), -(label.left - 10), -label.top, nullptr);
        SendMessageW(form->Hwnd(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.dc.Get()), 0);
        SetViewportOrgEx(canvas.dc.Get(), 0, 0, nullptr);
        EXPECT_EQ(canvas.At(5, 5), background);
        EXPECT_EQ(canvas.At(15, 5), kLabelColour);
    }
    form->Unload();
}

namespace {

// Late-bound access as an automation client does it.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
             VARIANT* result, EXCEPINFO* exception = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());  // last first
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    OwnedExcepInfo ignored;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                        exception ? exception : &ignored, nullptr);
    return hr;
}

Host::Variant Get(IDispatch* object, const wchar_t* name) {
    Host::Variant result;
    EXPECT_EQ(Call(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, result.Ptr()), S_OK)
        << "reading " << testing::PrintToString(std::wstring(name));
    return result;
}

ComPtr<IDispatch> ExtendedControl(Host::ControlSite& site) {
    ComPtr<IOleObject> object;
    site.Object()->QueryInterface(IID_IOleObject, object.PutVoid());
    ComPtr<IOleClientSite> clientSite;
    object->GetClientSite(clientSite.Put());
    ComPtr<IOleControlSite> controlSite = clientSite.As<IOleControlSite>(IID_IOleControlSite);
    ComPtr<IDispatch> extended;
    EXPECT_EQ(controlSite->GetExtendedControl(extended.Put()), S_OK);
    return extended;
}

}  // namespace

TEST(LateBound, TheExtenderAndTheFormAreLateBoundObjectsWithTypeNames) {
    auto form = NewTestForm();
    form->Load();
    Host::ControlSite& site = form->Site(L"cmdOk");
    ComPtr<IDispatch> extender = ExtendedControl(site);
    ASSERT_TRUE(extender);
    EXPECT_EQ(extender.Get(), site.ExtenderObject().Get());  // one extender per site

    // Type names, as a control checks that an object is an image list.
    EXPECT_EQ(Common::TypeNameOf(extender.Get()), L"TestButton");
    EXPECT_EQ(Common::TypeNameOf(site.Object()), L"TestButton");
    EXPECT_EQ(Common::TypeNameOf(form->Object().Get()), L"FTest");
    EXPECT_EQ(Common::TypeNameOf(nullptr), L"");
    ComPtr<Host::DataObject> plain = Host::DataObject::Create();
    EXPECT_EQ(Common::TypeNameOf(plain.Get()), L"");

    // The extender's members, in container units, and Parent and Container as objects.
    EXPECT_EQ(Get(extender.Get(), L"Name").ToString(), L"cmdOk");
    EXPECT_EQ(Get(extender.Get(), L"left").ToDouble(), site.GetExtender().Left());
    for (const wchar_t* name : {L"Parent", L"Container"}) {
        Host::Variant parent = Get(extender.Get(), name);
        ASSERT_EQ(parent.Type(), VT_DISPATCH);
        EXPECT_EQ(Get(parent.Get().pdispVal, L"Caption").ToString(), L"Host test");
        EXPECT_EQ(Get(parent.Get().pdispVal, L"hWnd").ToInt32(), HandleToLong(form->Hwnd()));
    }
    Host::Variant tag = Host::Variant::String(L"метка");
    EXPECT_EQ(Call(extender.Get(), L"Tag", DISPATCH_PROPERTYPUT, {tag.Get()}, nullptr), S_OK);
    EXPECT_EQ(site.GetExtender().Tag(), L"метка");
    Host::Variant left = Host::Variant::Double(600), top = Host::Variant::Double(450);
    EXPECT_EQ(Call(extender.Get(), L"Move", DISPATCH_METHOD, {left.Get(), top.Get()}, nullptr),
              S_OK);
    EXPECT_EQ(site.GetExtender().Left(), 600);
    EXPECT_EQ(site.GetExtender().Top(), 450);
    // Other names reach the control itself, under the control's own identifiers.
    EXPECT_EQ(Get(extender.Get(), L"Object").Type(), VT_DISPATCH);
    Host::Variant kind = Host::Variant::Int32(3);
    OwnedExcepInfo failed;
    EXPECT_EQ(Call(extender.Get(), L"Fail", DISPATCH_METHOD, {kind.Get()}, nullptr, &failed),
              DISP_E_EXCEPTION);
    EXPECT_EQ(failed.scode, ControlErrors::ToHResult(380));

    // A refusal comes back as the error, with its description.
    Host::Variant bad = Host::Variant::Int32(7);
    EXCEPINFO error{};
    EXPECT_EQ(Call(extender.Get(), L"DragMode", DISPATCH_PROPERTYPUT, {bad.Get()}, nullptr, &error),
              DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, ControlErrors::ToHResult(380));
    EXPECT_STREQ(error.bstrDescription, L"Invalid property value");
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrSource);

    // A caller that keeps the extender after the control has gone gets an error, not a crash.
    form->Unload();
    Host::Variant name;
    EXPECT_EQ(Call(extender.Get(), L"Name", DISPATCH_PROPERTYGET, {}, name.Ptr()), E_UNEXPECTED);
}

namespace {

UniqueBitmap SolidBitmap(int cx, int cy, COLORREF colour) {
    WindowDC screen;
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.Get(), cx, cy));
    UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
    SelectedObject selected(dc.Get(), bitmap.Get());
    RECT r{0, 0, cx, cy};
    UniqueBrush brush(CreateSolidBrush(colour));
    FillRect(dc.Get(), &r, brush.Get());
    return bitmap;
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    WindowDC screen;
    UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
    SelectedObject selected(dc.Get(), bitmap);
    return GetPixel(dc.Get(), x, y);
}

// A metafile that fills a 40 by 20 rectangle.
template <class Close>
auto Drawn(HDC dc, Close close) {
    RECT r{0, 0, 40, 20};
    UniqueBrush brush(CreateSolidBrush(kLabelColour));
    FillRect(dc, &r, brush.Get());
    return close(dc);
}

}  // namespace

TEST(DataObject, HoldsGdiAndMetafileMediaAndHandsOutCopiesTheCallerReleases) {
    auto cycle = [] {
        ComPtr<Host::DataObject> data = Host::DataObject::Create();
        data->SetBitmap(SolidBitmap(8, 6, kLabelColour));
        data->SetEnhMetafile(UniqueEnhMetafile(
            Drawn(CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr), CloseEnhMetaFile)));
        data->SetMetafilePict(UniqueMetafile(Drawn(CreateMetaFileW(nullptr), CloseMetaFile)),
                              MM_ANISOTROPIC, 1058, 529);
        data->SetText(L"text");

        FORMATETC bitmapFormat{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
        EXPECT_EQ(data->QueryGetData(&bitmapFormat), S_OK);
        FORMATETC wrongMedium{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        EXPECT_EQ(data->QueryGetData(&wrongMedium), DV_E_TYMED);

        // Each caller gets a bitmap of its own.
        STGMEDIUM a{}, b{};
        ASSERT_EQ(data->GetData(&bitmapFormat, &a), S_OK);
        ASSERT_EQ(data->GetData(&bitmapFormat, &b), S_OK);
        EXPECT_EQ(a.tymed, static_cast<DWORD>(TYMED_GDI));
        EXPECT_EQ(a.pUnkForRelease, nullptr);
        EXPECT_NE(a.hBitmap, b.hBitmap);
        EXPECT_EQ(PixelOf(a.hBitmap, 7, 5), kLabelColour);
        const HBITMAP given = a.hBitmap;
        ReleaseStgMedium(&a);
        EXPECT_EQ(GetObjectType(given), 0u);
        ReleaseStgMedium(&b);

        FORMATETC emf{CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF};
        STGMEDIUM m{};
        ASSERT_EQ(data->GetData(&emf, &m), S_OK);
        EXPECT_GT(GetEnhMetaFileHeader(m.hEnhMetaFile, 0, nullptr), 0u);
        ReleaseStgMedium(&m);

        FORMATETC wmf{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
        ASSERT_EQ(data->GetData(&wmf, &m), S_OK);
        {
            auto* pict = static_cast<METAFILEPICT*>(GlobalLock(m.hMetaFilePict));
            ASSERT_TRUE(pict);
            EXPECT_EQ(pict->mm, MM_ANISOTROPIC);
            EXPECT_EQ(pict->xExt, 1058);
            EXPECT_EQ(pict->yExt, 529);
            EXPECT_GT(GetMetaFileBitsEx(pict->hMF, 0, nullptr), 0u);
            GlobalUnlock(m.hMetaFilePict);
        }
        ReleaseStgMedium(&m);  // the metafile and its header both

        // SetData keeps a copy; told to release, it frees the caller's medium.
        for (const BOOL release : {FALSE, TRUE}) {
            UniqueBitmap mine = SolidBitmap(4, 4, kMarker);
            STGMEDIUM given{};
            given.tymed = TYMED_GDI;
            given.hBitmap = mine.Get();
            ASSERT_EQ(data->SetData(&bitmapFormat, &given, release), S_OK);
            EXPECT_EQ(GetObjectType(mine.Get()) == OBJ_BITMAP, !release);
            if (release) mine.Release();
        }
        ASSERT_EQ(data->GetData(&bitmapFormat, &a), S_OK);
        EXPECT_EQ(PixelOf(a.hBitmap, 1, 1), kMarker);
        ReleaseStgMedium(&a);

        // OLE itself takes the bitmap: a static picture object, as a rich text box inserts.
        ComPtr<ILockBytes> bytes;
        ComPtr<IStorage> storage;
        ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
        ASSERT_EQ(
            StgCreateDocfileOnILockBytes(
                bytes.Get(), STGM_SHARE_EXCLUSIVE | STGM_CREATE | STGM_READWRITE, 0, storage.Put()),
            S_OK);
        ComPtr<IOleObject> picture;
        EXPECT_EQ(OleCreateStaticFromData(data.Get(), IID_IOleObject, OLERENDER_FORMAT,
                                          &bitmapFormat, nullptr, storage.Get(), picture.PutVoid()),
                  S_OK);
    };
    cycle();  // warm the system's caches
    const testsupport::GuiObjectCounts before = testsupport::CountGuiObjects();
    for (int i = 0; i < 20; ++i)
        cycle();
    if (before.gdi >= 0) {
        EXPECT_EQ(testsupport::CountGuiObjects(), before);
    }
}

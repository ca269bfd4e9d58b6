// The windowless label on a real form: its properties and their refusals, what it paints
// (rendered into a memory bitmap), automatic sizing, mouse pointers, mouse tracking by real
// pointer moves, and its stored properties.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/label/LabelW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/ControlErrors.h"
#include "tests/support/GuiResources.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"
#include "tests/support/Rendering.h"
#include "tests/support/FormLayout.h"
#include "tests/support/Dispatch.h"

using testsupport::ErrorNumberOf;

namespace {

// lblA at (20, 20) pixels, 160 x 40; lblB below it.
const std::string kLayout = testsupport::LayoutText(
    "FLabel", 6000, 3000, {"BackColor = 0xFFFFFF", testsupport::kTahoma},
    {{"LabelW", "lblA", 300, 300, 2400, 600}, {"LabelW", "lblB", 300, 1500, 2400, 600}});

constexpr COLORREF kBack = RGB(0, 0, 160);  // neither white nor any edge colour
constexpr COLORREF kInk = RGB(255, 0, 0);

std::unique_ptr<Host::Form> NewForm() {
    return testsupport::FormOf<LabelW>(kLayout);
}

// A label drawn in red on dark blue, so that its ink can be told from its background.
LabelW& Prepared(Host::Form& form, const wchar_t* name = L"lblA") {
    auto& label = form.ControlAs<LabelW>(name);
    label.SetBackColor(kBack);
    label.SetForeColor(kInk);
    return label;
}

LRESULT CALLBACK NeverValidates(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR paints) {
    if (msg != WM_PAINT) return DefSubclassProc(hwnd, msg, wParam, lParam);
    ++*reinterpret_cast<int*>(paints);
    return 0;
}

// A 16 x 16 monochrome icon as an icon file holds it: a picture loaded from a file saves
// itself again (one made from a handle does not, under Wine).
ComPtr<IPictureDisp> IconFromFile() {
    std::vector<uint8_t> file = {0,  0,  1, 0, 1, 0,  // icon file, one image
                                 16, 16, 2, 0, 1, 0, 1, 0, 176, 0, 0, 0, 22, 0, 0, 0};
    BITMAPINFOHEADER header{sizeof(header), 16, 32, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
    const auto* h = reinterpret_cast<const uint8_t*>(&header);
    file.insert(file.end(), h, h + sizeof(header));
    const uint8_t palette[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    file.insert(file.end(), palette, palette + 8);
    for (int row = 0; row < 16; ++row) {  // colour rows: a diagonal stripe
        const uint8_t bits[4] = {static_cast<uint8_t>(row < 8 ? 0x80 >> row : 0),
                                 static_cast<uint8_t>(row >= 8 ? 0x80 >> (row - 8) : 0), 0, 0};
        file.insert(file.end(), bits, bits + 4);
    }
    file.insert(file.end(), 64, 0);  // mask: all opaque
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, file.size());
    memcpy(GlobalLock(memory), file.data(), file.size());
    GlobalUnlock(memory);
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(memory, TRUE, stream.Put());
    ComPtr<IPictureDisp> picture;
    OleLoadPicture(stream.Get(), static_cast<LONG>(file.size()), FALSE, IID_IPictureDisp,
                   picture.PutVoid());
    return picture;
}

// Keeps the system pointer at `screen` until `done` holds (or `ms` have passed), putting it
// back whenever it moved: under Wine on a busy machine a late event of an earlier move can
// put the pointer back where it was.
bool HoldPointer(POINT screen, const std::function<bool()>& done, DWORD ms = 2000) {
    const DWORD start = GetTickCount();
    int nudge = 0;
    do {
        // A hand never holds still: a pixel to and fro keeps real moves coming, as after a
        // capture ends, when only a move tells the container where the pointer is.
        SetCursorPos(screen.x + nudge, screen.y);
        nudge ^= 1;
        testsupport::PumpFor(20);
        if (done()) return true;
    } while (GetTickCount() - start < ms);
    return false;
}

// Keeps the pointer there for a while.
void HoldPointerFor(POINT screen, DWORD ms) {
    HoldPointer(
        screen, [] { return false; }, ms);
}

testsupport::Rendering Render(Host::Form& form) {
    return testsupport::Rendering::OfClient(form.Hwnd());
}

}  // namespace

TEST(LabelW, SettersRefuseValuesOutOfRangeAndChangeNothing) {
    auto form = NewForm();
    form->Load();
    auto& label = form->ControlAs<LabelW>(L"lblA");
    struct Case {
        const char* what;
        std::function<void()> set;
        std::function<int32_t()> get;
    };
    const std::vector<Case> cases = {
        {"MousePointer 17", [&] { label.SetMousePointer(17); },
         [&] { return label.MousePointer(); }},
        {"MousePointer 98", [&] { label.SetMousePointer(98); },
         [&] { return label.MousePointer(); }},
        {"Appearance 2", [&] { label.SetAppearance(2); }, [&] { return label.Appearance(); }},
        {"BackStyle 2", [&] { label.SetBackStyle(2); }, [&] { return label.BackStyle(); }},
        {"OLEDropMode 2", [&] { label.SetOLEDropMode(2); }, [&] { return label.OLEDropMode(); }},
        {"RightToLeftMode 5", [&] { label.SetRightToLeftMode(5); },
         [&] { return label.RightToLeftMode(); }},
        {"Alignment 3", [&] { label.SetAlignment(3); }, [&] { return label.Alignment(); }},
        {"BorderStyle 5", [&] { label.SetBorderStyle(5); }, [&] { return label.BorderStyle(); }},
        {"EllipsisFormat -1", [&] { label.SetEllipsisFormat(-1); },
         [&] { return label.EllipsisFormat(); }},
        {"VerticalAlignment 3", [&] { label.SetVerticalAlignment(3); },
         [&] { return label.VerticalAlignment(); }},
    };
    Host::ControlSite& site = form->Site(L"lblA");
    for (const Case& c : cases) {
        const int32_t before = c.get();
        site.Properties().SetDirty(false);
        EXPECT_EQ(ErrorNumberOf(c.set), 380) << c.what;
        EXPECT_EQ(c.get(), before) << c.what;
        EXPECT_FALSE(site.Properties().Dirty()) << c.what;
    }
    label.SetMousePointer(99);
    EXPECT_EQ(label.MousePointer(), 99);
    form->Unload();
}

TEST(LabelW, LateBoundMembersPropertyBrowsingAndSafety) {
    auto form = NewForm();
    form->Load();
    IUnknown* object = form->Site(L"lblA").Object();
    ComPtr<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(object->QueryInterface(IID_IDispatch, dispatch.PutVoid()));
    auto idOf = [&](const wchar_t* name) {
        LPOLESTR n = const_cast<LPOLESTR>(name);
        DISPID id = DISPID_UNKNOWN;
        dispatch->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    };
    auto put = [&](const wchar_t* name, VARIANT value, WORD how = DISPATCH_PROPERTYPUT) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        EXCEPINFO info{};
        HRESULT hr =
            dispatch->Invoke(idOf(name), IID_NULL, 0, how, &params, nullptr, &info, nullptr);
        SysFreeString(info.bstrDescription);
        return hr == DISP_E_EXCEPTION ? ControlErrors::FromHResult(info.scode) : hr;
    };
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = 17;
    EXPECT_EQ(put(L"mousepointer", v), 380);
    v.lVal = 4;
    EXPECT_EQ(put(L"MousePointer", v), S_OK);
    EXPECT_EQ(put(L"DisplayedCaption", v), 383);
    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"Late");
    EXPECT_EQ(put(L"Default", text), S_OK);  // the caption
    SysFreeString(text.bstrVal);
    EXPECT_EQ(form->ControlAs<LabelW>(L"lblA").Caption(), L"Late");
    VARIANT font{};
    font.vt = VT_DISPATCH;
    ComPtr<IFontDisp> ambient = form->Site(L"lblA").GetAmbient().Font();
    font.pdispVal = ambient.Get();
    EXPECT_EQ(put(L"Font", font, DISPATCH_PROPERTYPUTREF), S_OK);  // an object assignment
    EXPECT_EQ(put(L"Font", font), S_OK);                           // and a plain one
    EXPECT_EQ(form->ControlAs<LabelW>(L"lblA").Font().Get(), ambient.Get());

    // The property browser's list for MousePointer.
    ComPtr<IPerPropertyBrowsing> browsing;
    ASSERT_HRESULT_SUCCEEDED(object->QueryInterface(IID_IPerPropertyBrowsing, browsing.PutVoid()));
    BSTR shown = nullptr;
    ASSERT_HRESULT_SUCCEEDED(browsing->GetDisplayString(idOf(L"MousePointer"), &shown));
    EXPECT_STREQ(shown, L"4 - Hand");
    SysFreeString(shown);
    CALPOLESTR strings{};
    CADWORD cookies{};
    ASSERT_HRESULT_SUCCEEDED(
        browsing->GetPredefinedStrings(idOf(L"MousePointer"), &strings, &cookies));
    EXPECT_EQ(strings.cElems, 18u);
    EXPECT_STREQ(strings.pElems[17], L"99 - Custom");
    EXPECT_EQ(cookies.pElems[17], 99u);
    for (ULONG i = 0; i < strings.cElems; ++i)
        CoTaskMemFree(strings.pElems[i]);
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    VARIANT value{};
    ASSERT_HRESULT_SUCCEEDED(browsing->GetPredefinedValue(idOf(L"MousePointer"), 16, &value));
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 16);
    EXPECT_HRESULT_FAILED(browsing->GetDisplayString(idOf(L"Caption"), &shown));  // not ours

    testsupport::ExpectSafeForScripting(object);
    form->Unload();
}

TEST(LabelW, AppearanceResetsForeColorAndTheBorder) {
    auto form = NewForm();
    form->Load();
    auto& label = form->ControlAs<LabelW>(L"lblA");
    label.SetBorderStyle(4);
    label.SetForeColor(kInk);
    label.SetAppearance(0);
    EXPECT_EQ(label.BorderStyle(), 1);
    EXPECT_EQ(label.ForeColor(), 0x80000008u);
    label.SetForeColor(kInk);
    label.SetAppearance(1);
    EXPECT_EQ(label.BorderStyle(), 3);
    EXPECT_EQ(label.ForeColor(), 0x80000012u);
    label.SetBorderStyle(0);
    label.SetAppearance(0);
    EXPECT_EQ(label.BorderStyle(), 0);  // no border stays none
    form->Unload();
}

TEST(LabelW, CaptionRaisesChangeOnlyWhenItChangesAndKeepsTheAccessKey) {
    auto form = NewForm();
    form->Load();
    auto& label = form->ControlAs<LabelW>(L"lblA");
    Host::ControlSite& site = form->Site(L"lblA");
    std::vector<DISPID> changes;
    form->On(L"lblA", L"Change", [&](Host::Event& e) { changes.push_back(e.Id()); });
    label.SetCaption(L"&Город:");
    EXPECT_EQ(changes, std::vector<DISPID>{1});
    EXPECT_EQ(site.AccessKeys(), L"Г");
    EXPECT_TRUE(site.GetExtender().DataChanged());
    site.Properties().SetDirty(false);
    label.SetCaption(L"&Город:");  // the same text: nothing at all
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_FALSE(site.Properties().Dirty());
    label.SetUseMnemonic(false);
    EXPECT_EQ(site.AccessKeys(), L"");
    label.SetCaption(L"&City");  // no access keys while mnemonics are off
    EXPECT_EQ(site.AccessKeys(), L"");
    label.SetUseMnemonic(true);
    EXPECT_EQ(site.AccessKeys(), L"C");
    label.SetDefault(L"Town");  // Default is the caption
    EXPECT_EQ(label.Caption(), L"Town");
    EXPECT_EQ(changes.size(), 3u);
    form->Unload();
}

TEST(LabelW, BordersAreDrawnWithTheSystemThickness) {
    auto form = NewForm();
    form->Show();
    auto& label = Prepared(*form);
    const RECT b = form->Site(L"lblA").Bounds();
    struct Case {
        int32_t style;
        int thickness;
    };
    const Case cases[] = {{1, GetSystemMetrics(SM_CXBORDER)},
                          {2, GetSystemMetrics(SM_CXBORDER)},
                          {3, GetSystemMetrics(SM_CXEDGE)},
                          {4, GetSystemMetrics(SM_CXFIXEDFRAME)}};
    label.SetCaption(L"");
    for (const Case& c : cases) {
        label.SetBorderStyle(c.style);
        const testsupport::Rendering r = Render(*form);
        const int midY = (b.top + b.bottom) / 2;
        EXPECT_NE(r.At(b.left, midY), kBack) << c.style;
        EXPECT_NE(r.At(b.right - 1, midY), kBack) << c.style;
        // Inside the border the background shows (edges may leave their inner ring empty).
        EXPECT_EQ(r.At(b.left + c.thickness, midY), kBack) << c.style;
        EXPECT_EQ(r.At(b.right - 1 - c.thickness, midY), kBack) << c.style;
        if (c.style == 1) {
            EXPECT_EQ(r.At(b.left, b.top), r.At(b.right - 1, b.bottom - 1));  // one colour
        }
        const auto light = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
        if (c.style == 3) {  // sunken: dark above and left, light below and right
            EXPECT_LT(light(r.At(b.left, midY)), light(r.At(b.right - 1, midY)));
        }
        if (c.style == 4) {  // raised: the other way round
            EXPECT_GT(light(r.At(b.left + 1, midY)), light(r.At(b.right - 1, midY)));
        }
    }
    label.SetBorderStyle(0);
    const testsupport::Rendering none = Render(*form);
    EXPECT_EQ(none.Count(b, kBack), (b.right - b.left) * (b.bottom - b.top));
    form->Unload();
}

TEST(LabelW, DisabledTextIsGreyAndMnemonicsWrapAndEllipsisShapeTheText) {
    auto form = NewForm();
    form->Show();
    auto& label = Prepared(*form);
    const RECT b = form->Site(L"lblA").Bounds();
    label.SetCaption(L"Disabled text");
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    EXPECT_GT(Render(*form).Count(b, kInk), 0);
    label.SetEnabled(false);
    testsupport::Rendering r = Render(*form);
    EXPECT_EQ(r.Count(b, kInk), 0);
    EXPECT_GT(r.Count(b, grey), 0);
    label.SetEnabled(true);

    // "&" hides itself when it marks the access key and shows when mnemonics are off.
    label.SetCaption(L"&W");
    const RECT marked = Render(*form).Ink(b, kBack);
    label.SetUseMnemonic(false);
    const RECT literal = Render(*form).Ink(b, kBack);
    EXPECT_GT(literal.right - literal.left, marked.right - marked.left);
    label.SetUseMnemonic(true);

    // Word wrap: a long caption takes more lines.
    label.SetCaption(L"one two three four five six seven");
    const RECT single = Render(*form).Ink(b, kBack);
    label.SetWordWrap(true);
    const RECT wrapped = Render(*form).Ink(b, kBack);
    EXPECT_GT(wrapped.bottom - wrapped.top, single.bottom - single.top);
    label.SetWordWrap(false);

    // An end ellipsis shortens what is shown, never the caption.
    const std::wstring longText = L"A caption far wider than the label it is shown in";
    label.SetCaption(longText);
    label.SetEllipsisFormat(1);
    Render(*form);
    const std::wstring shown = label.DisplayedCaption();
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), L"...");
    EXPECT_LT(shown.size(), longText.size() + 3);
    EXPECT_EQ(label.Caption(), longText);
    const RECT ink = Render(*form).Ink(b, kBack);
    EXPECT_LE(ink.right, b.right);
    form->Unload();
}

TEST(LabelW, VerticalCentringRoundsHalvesToEven) {
    auto form = NewForm();
    form->Show();
    auto& label = Prepared(*form);
    Host::Extender extender = form->Site(L"lblA").GetExtender();
    label.SetCaption(L"Xg");
    const RECT b = form->Site(L"lblA").Bounds();
    const int topRow = Render(*form).Ink(b, kBack).top;
    label.SetVerticalAlignment(2);
    const int freeSpace = Render(*form).Ink(b, kBack).top - topRow;  // bottom: all of it
    const int lineHeight = (b.bottom - b.top) - freeSpace;
    label.SetVerticalAlignment(1);
    // Free space 5 gives 2 (not 3), free space 7 gives 4 (not 3).
    for (const auto& [space, offset] : {std::pair{5, 2}, std::pair{7, 4}}) {
        extender.SetHeight((lineHeight + space) * 15.0);
        const RECT now = form->Site(L"lblA").Bounds();
        EXPECT_EQ(Render(*form).Ink(now, kBack).top - topRow, offset) << space;
    }
    form->Unload();
}

TEST(LabelW, AutoSizeKeepsTheAlignedEdge) {
    auto form = NewForm();
    form->Show();
    auto& label = form->ControlAs<LabelW>(L"lblA");
    Host::Extender e = form->Site(L"lblA").GetExtender();
    label.SetCaption(L"");
    label.SetBorderStyle(1);
    label.SetAutoSize(true);
    // Empty: one line of a space, plus the borders.
    const double emptyHeight = e.Height();
    EXPECT_GT(emptyHeight, 0);
    EXPECT_EQ(static_cast<int>(e.Height()) % 15, 0);

    struct Case {
        int32_t alignment;
        int32_t vertical;
        std::function<double()> anchor;
    };
    const Case cases[] = {
        {1, 0, [&] { return e.Left() + e.Width(); }},
        {2, 0, [&] { return e.Left() + e.Width() / 2; }},
        {0, 2, [&] { return e.Top() + e.Height(); }},
        {0, 0, [&] { return e.Left(); }},
    };
    for (const Case& c : cases) {
        e.Move(1500, 1200, 1500, 600);
        label.SetAlignment(c.alignment);
        label.SetVerticalAlignment(c.vertical);
        label.SetCaption(L"x");
        const double before = c.anchor();
        const double width = e.Width();
        label.SetCaption(L"a much longer caption than before");
        EXPECT_GT(e.Width(), width) << c.alignment << c.vertical;
        EXPECT_NEAR(c.anchor(), before, 15) << c.alignment << c.vertical;
    }
    EXPECT_NEAR(e.Height() - emptyHeight, 0, 0.5);  // one line all along
    form->Unload();
}

TEST(LabelW, PointersFourAndSixteenAreSharedSystemCursors) {
    auto form = NewForm();
    form->Show();
    auto& label = form->ControlAs<LabelW>(L"lblA");
    Host::ControlSite& site = form->Site(L"lblA");
    label.SetMousePointer(4);
    EXPECT_EQ(label.MousePointer(), 4);
    EXPECT_EQ(site.MousePointer(), 99);
    ComPtr<IPicture> picture;
    ASSERT_TRUE(site.MouseIcon());
    site.MouseIcon()->QueryInterface(IID_IPicture, picture.PutVoid());
    OLE_HANDLE handle = 0;
    picture->get_Handle(&handle);
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(handle)), hand);
    picture.Reset();
    label.SetMousePointer(3);  // the icon goes; the shared cursor stays
    EXPECT_EQ(site.MousePointer(), 3);
    ICONINFO info{};
    EXPECT_TRUE(GetIconInfo(hand, &info));
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);

    // A bitmap is no mouse icon: an error at run time, a message box while designing.
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 1, nullptr);
    ComPtr<IPicture> bmp = Common::PictureFromHandle(bitmap, PICTYPE_BITMAP, true);
    ComPtr<IPictureDisp> bmpDisp;
    bmp->QueryInterface(IID_IPictureDisp, bmpDisp.PutVoid());
    EXPECT_EQ(ErrorNumberOf([&] { label.SetMouseIcon(bmpDisp); }), 380);
    EXPECT_FALSE(label.MouseIcon());
    form->Unload();

    form->SetUserMode(false);
    form->Load();
    auto& designed = form->ControlAs<LabelW>(L"lblA");
    {
        testsupport::MessageBoxCatcher catcher;
        designed.SetMouseIcon(bmpDisp);
        ASSERT_TRUE(catcher.Saw(1));
        EXPECT_EQ(catcher.Boxes()[0].text, L"Invalid property value");
        EXPECT_EQ(catcher.Boxes()[0].icon, static_cast<UINT>(MB_ICONHAND));
    }
    EXPECT_FALSE(designed.MouseIcon());
    form->Unload();
}

TEST(LabelW, RefreshPaintsBeforeItReturns) {
    auto form = NewForm();
    form->Show();
    UpdateWindow(form->Hwnd());
    auto& label = form->ControlAs<LabelW>(L"lblA");
    label.SetEllipsisFormat(1);
    label.SetCaption(L"Painted at once, no message loop needed for this long caption");
    EXPECT_EQ(label.DisplayedCaption(), L"");  // not painted yet
    label.Refresh();
    EXPECT_EQ(label.DisplayedCaption().substr(label.DisplayedCaption().size() - 3), L"...");

    // A container that never validates its paint does not keep Refresh going.
    int paints = 0;
    SetWindowSubclass(form->Hwnd(), NeverValidates, 1, reinterpret_cast<DWORD_PTR>(&paints));
    InvalidateRect(form->Hwnd(), nullptr, FALSE);
    label.Refresh();
    EXPECT_EQ(paints, LabelW::kRefreshPaintLimit);
    RemoveWindowSubclass(form->Hwnd(), NeverValidates, 1);
    form->Unload();
}

TEST(LabelW, ScreenReadersFindLabelsThroughTheForm) {
    auto form = NewForm();
    form->Show();
    {
        // 64-bit Wine 8 has no standard accessible object for any window: nothing to build on.
        ComPtr<IAccessible> probe;
        if (FAILED(CreateStdAccessibleObject(form->Hwnd(), OBJID_WINDOW, __uuidof(IAccessible),
                                             probe.PutVoid()))) {
            form->Unload();
            GTEST_SKIP() << "the system offers no standard accessible objects here";
        }
    }
    form->ControlAs<LabelW>(L"lblA").SetCaption(L"&City:");
    form->ControlAs<LabelW>(L"lblB").SetCaption(L"Second && last");
    ComPtr<IAccessible> client;
    ASSERT_HRESULT_SUCCEEDED(AccessibleObjectFromWindow(form->Hwnd(), OBJID_CLIENT,
                                                        __uuidof(IAccessible), client.PutVoid()));
    LONG count = 0;
    ASSERT_HRESULT_SUCCEEDED(client->get_accChildCount(&count));
    std::vector<std::wstring> names;
    VARIANT first{};
    for (LONG i = 1; i <= count; ++i) {
        VARIANT child{};
        child.vt = VT_I4;
        child.lVal = i;
        VARIANT role{};
        if (FAILED(client->get_accRole(child, &role)) || role.vt != VT_I4 ||
            role.lVal != ROLE_SYSTEM_STATICTEXT) {
            continue;
        }
        BSTR name = nullptr;
        client->get_accName(child, &name);
        names.push_back(name ? name : L"");
        SysFreeString(name);
        if (names.size() == 1) first = child;
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"City:", L"Second & last"}));
    RECT b = form->Site(L"lblA").Bounds();
    MapWindowPoints(form->Hwnd(), nullptr, reinterpret_cast<POINT*>(&b), 2);
    LONG l = 0, t = 0, w = 0, h = 0;
    ASSERT_HRESULT_SUCCEEDED(client->accLocation(&l, &t, &w, &h, first));
    EXPECT_EQ((std::vector<LONG>{l, t, w, h}),
              (std::vector<LONG>{b.left, b.top, b.right - b.left, b.bottom - b.top}));
    BSTR shortcut = nullptr;
    client->get_accKeyboardShortcut(first, &shortcut);
    EXPECT_STREQ(shortcut, L"Alt+C");
    SysFreeString(shortcut);
    VARIANT hit{};
    ASSERT_HRESULT_SUCCEEDED(
        client->accHitTest((b.left + b.right) / 2, (b.top + b.bottom) / 2, &hit));
    EXPECT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, first.lVal);
    form->Unload();
    // A client that keeps the object after the form has gone gets no children from it.
    if (SUCCEEDED(client->get_accChildCount(&count))) {
        EXPECT_EQ(count, 0);
    }
}

TEST(LabelW, MouseTrackingByRealPointerMoves) {
    auto form = NewForm();
    ASSERT_TRUE(testsupport::ShowInFront(*form));
    auto& label = form->ControlAs<LabelW>(L"lblA");
    label.SetMouseTrack(true);
    std::vector<std::wstring> seen;
    form->On(L"lblA", L"MouseEnter", [&](Host::Event& e) {
        EXPECT_EQ(e.Id(), 2);
        seen.push_back(L"Enter");
    });
    form->On(L"lblA", L"MouseLeave", [&](Host::Event& e) {
        EXPECT_EQ(e.Id(), 3);
        seen.push_back(L"Leave");
    });
    const RECT b = form->Site(L"lblA").Bounds();
    POINT on{b.left + 10, b.top + 10}, on2{b.left + 30, b.top + 12}, off{b.right + 40, b.top + 10};
    ClientToScreen(form->Hwnd(), &on);
    ClientToScreen(form->Hwnd(), &on2);
    ClientToScreen(form->Hwnd(), &off);

    auto last = [&](const wchar_t* what) { return !seen.empty() && seen.back() == what; };
    auto entered = [&] { return last(L"Enter"); };
    auto left = [&] { return last(L"Leave"); };
    HoldPointerFor(off, 200);
    ASSERT_TRUE(HoldPointer(on, entered));
    HoldPointerFor(on2, 300);  // moving on the label keeps it entered
    EXPECT_TRUE(entered());
    ASSERT_TRUE(HoldPointer(off, left));

    // With a button held (the container holds the capture) the label is never left, whatever
    // the pointer does; the leave comes once it is released elsewhere. (The press and the
    // release are sent: the pointer moves are real.)
    const LPARAM inside = MAKELPARAM(b.left + 10, b.top + 10);
    ASSERT_TRUE(HoldPointer(on, entered));
    const size_t mark = seen.size();
    SendMessageW(form->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, inside);
    ASSERT_EQ(GetCapture(), form->Hwnd());
    HoldPointerFor(off, 300);
    EXPECT_EQ(std::count(seen.begin() + static_cast<std::ptrdiff_t>(mark), seen.end(), L"Leave"),
              0);
    SendMessageW(form->Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(b.right + 40, b.top + 10));
    ASSERT_TRUE(HoldPointer(off, left));

    // Pressed and released on the label: still on it after the capture ends.
    ASSERT_TRUE(HoldPointer(on, entered));
    SendMessageW(form->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, inside);
    HoldPointerFor(on, 150);  // ticks while the capture is held
    SendMessageW(form->Hwnd(), WM_LBUTTONUP, 0, inside);
    ASSERT_EQ(GetCapture(), nullptr);
    HoldPointerFor(on, 300);
    EXPECT_TRUE(entered());
    ASSERT_TRUE(HoldPointer(off, left));
    // One MouseEnter per entry, one MouseLeave per exit, never two of either in a row.
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], i % 2 ? L"Leave" : L"Enter") << i;
    form->Unload();
}

TEST(LabelW, AllTwentyKeysAreStoredAndLoadedBack) {
    auto form = NewForm();
    form->Load();
    auto& label = form->ControlAs<LabelW>(L"lblA");
    ComPtr<IFontDisp> font = form->Site(L"lblA").GetAmbient().Font();
    ComPtr<IFont> f;
    font->QueryInterface(IID_IFont, f.PutVoid());
    f->put_Bold(TRUE);
    label.SetFont(font);
    label.SetAppearance(0);
    label.SetBackColor(0x123456);
    label.SetForeColor(0x654321);
    label.SetEnabled(false);
    label.SetOLEDropMode(1);
    label.SetMousePointer(99);
    ComPtr<IPictureDisp> icon = IconFromFile();
    ASSERT_TRUE(icon);
    label.SetMouseIcon(icon);
    label.SetMouseTrack(true);
    label.SetRightToLeftMode(0);
    label.SetRightToLeft(true);
    label.SetAlignment(2);
    label.SetBorderStyle(4);
    label.SetBackStyle(0);
    label.SetCaption(L"Сохранено \U0001F600");
    label.SetUseMnemonic(false);
    label.SetWordWrap(true);
    label.SetEllipsisFormat(3);
    label.SetVerticalAlignment(2);
    label.SetAutoSize(true);
    const Layout::FormLayout saved = form->SaveLayout();
    form->Unload();

    std::vector<std::string> keys;
    for (const Layout::Property& p : saved.controls[0].properties)
        keys.push_back(p.key);
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "Font",        "Appearance",  "BackColor",       "ForeColor",
                        "Enabled",     "OLEDropMode", "MousePointer",    "MouseIcon",
                        "MouseTrack",  "RightToLeft", "RightToLeftMode", "Alignment",
                        "BorderStyle", "BackStyle",   "Caption",         "UseMnemonic",
                        "AutoSize",    "WordWrap",    "EllipsisFormat",  "VerticalAlignment"}));
    EXPECT_TRUE(saved.controls[1].properties.empty());  // defaults are not written

    Host::Form again(saved);
    again.Load();
    auto& back = again.ControlAs<LabelW>(L"lblA");
    ComPtr<IFont> backFont;
    back.Font()->QueryInterface(IID_IFont, backFont.PutVoid());
    BOOL bold = FALSE;
    backFont->get_Bold(&bold);
    EXPECT_TRUE(bold);
    // Appearance 0 comes first, and the stored ForeColor and BorderStyle win over its resets.
    EXPECT_EQ(back.Appearance(), 0);
    EXPECT_EQ(back.BackColor(), 0x123456u);
    EXPECT_EQ(back.ForeColor(), 0x654321u);
    EXPECT_FALSE(back.Enabled());
    EXPECT_EQ(back.OLEDropMode(), 1);
    EXPECT_EQ(back.MousePointer(), 99);
    EXPECT_TRUE(back.MouseIcon());
    EXPECT_TRUE(back.MouseTrack());
    EXPECT_TRUE(back.RightToLeft());
    EXPECT_EQ(back.RightToLeftMode(), 0);
    EXPECT_EQ(back.Alignment(), 2);
    EXPECT_EQ(back.BorderStyle(), 4);
    EXPECT_EQ(back.BackStyle(), 0);
    EXPECT_EQ(back.Caption(), L"Сохранено \U0001F600");
    EXPECT_FALSE(back.UseMnemonic());
    EXPECT_TRUE(back.AutoSize());
    EXPECT_TRUE(back.WordWrap());
    EXPECT_EQ(back.EllipsisFormat(), 3);
    EXPECT_EQ(back.VerticalAlignment(), 2);
    again.Unload();
}

TEST(LabelW, FormsWithLabelsLeaveNoObjectsBehind) {
    auto form = NewForm();
    testsupport::ExpectNoGuiLeaks([&](int i) {
        form->Show();
        auto& label = Prepared(*form);
        label.SetAutoSize(true);
        label.SetMousePointer(4);
        ComPtr<IFont> f;
        label.Font()->QueryInterface(IID_IFont, f.PutVoid());
        CY size{};
        size.int64 = (10 + i) * 10000;
        f->put_Size(size);  // a change inside the font resizes the label
        Render(*form);
        form->Unload();
    });
}

// The check box on a real form: its window styles, the value and Click in every order
// (clicks, code, loading, handlers that change it again), the access key, owner drawing,
// right to left, persistence of every key, property browsing and refused values.
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/buttons/CheckBoxW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/Layout.h"
#include "tests/support/FormLayout.h"
#include "tests/support/GuiResources.h"
#include "tests/support/Input.h"
#include "tests/support/Pump.h"
#include "tests/support/Rendering.h"
#include "tests/support/ControlErrors.h"

namespace {

// Two check boxes, chb with `lines` of its own after its tab index; the form with `formLines`.
std::unique_ptr<Host::Form> NewForm(const std::vector<std::string>& formLines = {},
                                    const std::string& lines = {}) {
    return testsupport::FormOf<CheckBoxW>(testsupport::LayoutText(
        "FCheck", 6000, 2000, formLines,
        {{"CheckBoxW", "chb", 150, 150, 3000, 420, "TabIndex = 0\n" + lines},
         {"CheckBoxW", "chbOther", 150, 900, 3000, 420, "TabIndex = 1"}}));
}

LONG_PTR StyleOf(HWND hwnd) {
    return GetWindowLongPtrW(hwnd, GWL_STYLE);
}

}  // namespace

TEST(CheckBoxW, WindowStyleFollowsEachSetting) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    const HWND hwnd = box.hWnd();
    // A new box: non-automatic three-state, notifying, word-wrapped, text left, centred.
    EXPECT_EQ(StyleOf(hwnd),
              WS_CHILD | WS_VISIBLE | BS_NOTIFY | BS_3STATE | BS_MULTILINE | BS_LEFT | BS_VCENTER);
    struct Row {
        const char* what;
        std::function<void()> set;
        DWORD mask;
        DWORD bits;
    };
    const Row rows[] = {
        {"Alignment 1", [&] { box.SetAlignment(1); }, BS_LEFTTEXT, BS_LEFTTEXT},
        {"Alignment 0", [&] { box.SetAlignment(0); }, BS_LEFTTEXT, 0},
        {"TextAlignment 2", [&] { box.SetTextAlignment(2); }, BS_CENTER, BS_CENTER},
        {"TextAlignment 1", [&] { box.SetTextAlignment(1); }, BS_CENTER, BS_RIGHT},
        {"VerticalAlignment 0", [&] { box.SetVerticalAlignment(0); }, BS_VCENTER, BS_TOP},
        {"VerticalAlignment 2", [&] { box.SetVerticalAlignment(2); }, BS_VCENTER, BS_BOTTOM},
        {"PushLike", [&] { box.SetPushLike(true); }, BS_PUSHLIKE, BS_PUSHLIKE},
        {"WordWrap off", [&] { box.SetWordWrap(false); }, BS_MULTILINE, 0},
        {"Appearance 0", [&] { box.SetAppearance(0); }, BS_FLAT, BS_FLAT},
        {"Appearance 1", [&] { box.SetAppearance(1); }, BS_FLAT, 0},
    };
    for (const Row& row : rows) {
        row.set();
        EXPECT_EQ(StyleOf(hwnd) & row.mask, static_cast<LONG_PTR>(row.bits)) << row.what;
        EXPECT_EQ(StyleOf(hwnd) & 0xF, BS_3STATE) << row.what;
    }

    // Owner drawing drops every other button style, and the setters leave it so.
    box.SetDrawMode(1);
    ASSERT_NE(box.hWnd(), nullptr);
    EXPECT_EQ(StyleOf(box.hWnd()), 0x5000000B);
    box.SetAlignment(1);
    box.SetPushLike(false);
    EXPECT_EQ(StyleOf(box.hWnd()), 0x5000000B);
    // A graphical box while owner drawing is refused with its own text.
    testsupport::ExpectControlError(383,
                                    L"Style must be 0 - Standard when DrawMode is not 0 - Normal",
                                    [&] { box.SetStyle(1); });
    EXPECT_EQ(box.Style(), 0);
    box.SetDrawMode(0);
    box.SetStyle(1);
    EXPECT_EQ(StyleOf(box.hWnd()), 0x5000000B);
    // Re-creating takes the settings made meanwhile, the alignment included.
    box.SetStyle(0);
    EXPECT_EQ(StyleOf(box.hWnd()) & (BS_LEFTTEXT | BS_PUSHLIKE | 0xF), BS_LEFTTEXT | BS_3STATE);
    form->Unload();
}

TEST(CheckBoxW, OutOfRangeValuesAreRefusedAndChangeNothing) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    int clicks = 0;
    form->On(L"chb", L"Click", [&](Host::Event&) { ++clicks; });
    struct Row {
        const char* what;
        std::function<void()> set;
        std::function<int32_t()> get;
    };
    const Row rows[] = {
        {"Value 3", [&] { box.SetValue(3); }, [&] { return box.Value(); }},
        {"Value -2", [&] { box.SetValue(-2); }, [&] { return box.Value(); }},
        {"Alignment 2", [&] { box.SetAlignment(2); }, [&] { return box.Alignment(); }},
        {"Alignment -1", [&] { box.SetAlignment(-1); }, [&] { return box.Alignment(); }},
        {"TextAlignment 3", [&] { box.SetTextAlignment(3); }, [&] { return box.TextAlignment(); }},
        {"VerticalAlignment 3", [&] { box.SetVerticalAlignment(3); },
         [&] { return box.VerticalAlignment(); }},
        {"MousePointer 17", [&] { box.SetMousePointer(17); }, [&] { return box.MousePointer(); }},
        {"RightToLeftMode 5", [&] { box.SetRightToLeftMode(5); },
         [&] { return box.RightToLeftMode(); }},
        {"DrawMode 2", [&] { box.SetDrawMode(2); }, [&] { return box.DrawMode(); }},
        {"Style 2", [&] { box.SetStyle(2); }, [&] { return box.Style(); }},
    };
    for (const Row& row : rows) {
        const int32_t before = row.get();
        SCOPED_TRACE(row.what);
        testsupport::ExpectControlError(380, L"Invalid property value", row.set);
        EXPECT_EQ(row.get(), before) << row.what;
    }
    EXPECT_EQ(clicks, 0);
    // True (-1) is taken as checked.
    box.SetValue(-1);
    EXPECT_EQ(box.Value(), 1);
    EXPECT_EQ(clicks, 1);
    form->Unload();
}

TEST(CheckBoxW, ClickFollowsEveryChangeOfValueOnlyOnce) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    std::vector<int16_t> seen;  // the value each Click saw
    std::function<void()> inClick;
    form->On(L"chb", L"Click", [&](Host::Event&) {
        seen.push_back(box.Value());
        if (inClick) inClick();
    });
    auto user = [&] { SendMessageW(box.hWnd(), BM_CLICK, 0, 0); };

    // Clicks: unchecked -> checked -> unchecked; grayed -> unchecked.
    user();
    user();
    box.SetValue(2);
    EXPECT_EQ(SendMessageW(box.hWnd(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    user();
    EXPECT_EQ(seen, (std::vector<int16_t>{1, 0, 2, 0}));
    box.SetValue(0);  // no change, no Click
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_TRUE(form->Site(L"chb").GetExtender().DataChanged());

    // A double click's second press comes as BN_DOUBLECLICKED and counts as a click.
    SendMessageW(GetParent(box.hWnd()), WM_COMMAND, MAKEWPARAM(0, BN_DOUBLECLICKED),
                 reinterpret_cast<LPARAM>(box.hWnd()));
    EXPECT_EQ(box.Value(), 1);

    // A handler that changes the value again raises a Click of its own, inside the first.
    seen.clear();
    inClick = [&] {
        if (box.Value() == 0) box.SetValue(2);
    };
    user();  // 1 -> 0, and the handler makes it 2
    EXPECT_EQ(seen, (std::vector<int16_t>{0, 2}));
    EXPECT_EQ(box.Value(), 2);

    // A handler that undoes and redoes the very change is heard once for it, not forever.
    seen.clear();
    inClick = [&] {
        if (box.Value() == 1) {
            box.SetValue(0);
            box.SetValue(1);
        }
    };
    box.SetValue(0);
    box.SetValue(1);  // 0 -> 1; in it 1 -> 0 (heard) and 0 -> 1 again (not heard)
    EXPECT_EQ(seen, (std::vector<int16_t>{0, 1, 0}));
    EXPECT_EQ(box.Value(), 1);

    // A disabled box takes no click.
    inClick = nullptr;
    seen.clear();
    box.SetEnabled(false);
    user();
    EXPECT_TRUE(seen.empty());
    form->Unload();
}

TEST(CheckBoxW, AStoredValueRaisesOneClickWhileLoading) {
    struct Row {
        const char* stored;
        int16_t value;
        int clicks;
        LRESULT check;
    };
    const Row rows[] = {{"", 0, 0, BST_UNCHECKED},
                        {"Property Value = Integer(1)", 1, 1, BST_CHECKED},
                        {"Property Value = Integer(2)", 2, 1, BST_INDETERMINATE}};
    for (const Row& row : rows) {
        auto form = NewForm({}, row.stored);
        std::vector<int16_t> seen;
        form->On(L"chb", L"Click",
                 [&](Host::Event&) { seen.push_back(form->ControlAs<CheckBoxW>(L"chb").Value()); });
        form->Load();
        auto& box = form->ControlAs<CheckBoxW>(L"chb");
        EXPECT_EQ(static_cast<int>(seen.size()), row.clicks) << row.value;
        if (!seen.empty()) {
            EXPECT_EQ(seen[0], row.value);
        }
        EXPECT_EQ(SendMessageW(box.hWnd(), BM_GETCHECK, 0, 0), row.check);
        // A window made again for a style keeps the state and is no change.
        box.SetPushLike(true);
        box.SetStyle(1);
        box.SetStyle(0);
        EXPECT_EQ(box.Value(), row.value);
        EXPECT_EQ(static_cast<int>(seen.size()), row.clicks) << row.value;
        form->Unload();
    }
}

TEST(CheckBoxW, OwnerDrawnBoxKeepsTheValueAndRedrawsEachChange) {
    auto form = NewForm({}, "Property DrawMode = 1");
    std::vector<int32_t> drawn;  // the item state of each OwnerDraw
    form->On(L"chb", L"OwnerDraw", [&](Host::Event& e) {
        EXPECT_EQ(e.ArgCount(), 7u);  // no DisplayAsDefault
        drawn.push_back(e.Int32Arg(1));
    });
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !drawn.empty(); }, 2000));
    drawn.clear();
    box.SetValue(2);
    EXPECT_EQ(box.Value(), 2);
    EXPECT_EQ(SendMessageW(box.hWnd(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(drawn.empty());
    form->Unload();
}

TEST(CheckBoxW, RenderingShowsTheBoxSideAndTheGrayedState) {
    auto form = NewForm();
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    box.SetCaption(L"");
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    auto ink = [&] {
        const testsupport::Rendering r = testsupport::Rendering::OfClient(box.hWnd());
        return r.Ink(RECT{0, 0, r.Width(), r.Height()}, face);
    };
    const RECT left = ink();
    box.SetAlignment(1);
    const RECT right = ink();
    ASSERT_LT(left.left, left.right);
    EXPECT_LT(left.right, right.left);  // the box moved to the other side
    const testsupport::Rendering unchecked = testsupport::Rendering::OfClient(box.hWnd());
    box.SetValue(2);
    const testsupport::Rendering grayed = testsupport::Rendering::OfClient(box.hWnd());
    int differ = 0;
    for (int y = right.top; y < right.bottom; ++y)
        for (int x = right.left; x < right.right; ++x)
            differ += unchecked.At(x, y) != grayed.At(x, y);
    EXPECT_GT(differ, 0);
    form->Unload();
}

TEST(CheckBoxW, RightToLeftStartsAndMirrorsTheTextSide) {
    auto form = NewForm({"RightToLeft = True"});
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chbOther");
    // Loaded boxes keep what they stored; a new one takes the container's reading order.
    EXPECT_FALSE(box.RightToLeft());
    auto fresh = NewForm({"RightToLeft = True"});
    fresh->Load();
    Host::ControlSite& added =
        fresh->AddControl(CheckBoxW::kTypeName, L"chbNew", 150, 1500, 3000, 420);
    auto& created = dynamic_cast<CheckBoxW&>(added.Control());
    EXPECT_TRUE(created.RightToLeft());
    EXPECT_EQ(created.Alignment(), 1);
    EXPECT_EQ(created.TextAlignment(), 1);
    EXPECT_EQ(created.ImageListAlignment(), 1);
    EXPECT_TRUE(GetWindowLongPtrW(created.hWnd(), GWL_EXSTYLE) & WS_EX_RTLREADING);
    fresh->Unload();

    // The setter mirrors where the text sits, never the side of the box.
    box.SetRightToLeft(true);
    EXPECT_EQ(box.TextAlignment(), 1);
    EXPECT_EQ(box.ImageListAlignment(), 1);
    EXPECT_EQ(box.Alignment(), 0);
    EXPECT_TRUE(GetWindowLongPtrW(box.hWnd(), GWL_EXSTYLE) & WS_EX_RTLREADING);
    box.SetRightToLeft(false);
    EXPECT_EQ(box.TextAlignment(), 0);
    EXPECT_FALSE(GetWindowLongPtrW(box.hWnd(), GWL_EXSTYLE) & WS_EX_RTLREADING);
    form->Unload();
}

TEST(CheckBoxW, EveryKeyIsSavedWhenItDiffersAndComesBack) {
    auto form = NewForm();
    form->Load();
    // Defaults everywhere: nothing is kept.
    Layout::ControlLayout saved = form->Site(L"chb").Save();
    EXPECT_TRUE(saved.properties.empty());
    form->Unload();
    // An image list is assigned by name while designing; a stored name is kept as it is
    // until the deferred lookup after loading has run.
    form = NewForm({}, R"(Property ImageList = "ilIcons")");
    form->Load();

    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    ComPtr<IPicture> icon =
        Common::PictureFromHandle(LoadIconW(nullptr, IDI_APPLICATION), PICTYPE_ICON, false);
    ComPtr<IPictureDisp> picture = icon.As<IPictureDisp>(IID_IPictureDisp);
    ComPtr<IFontDisp> font = box.Font();
    ComPtr<IFont> face = font.As<IFont>(IID_IFont);
    ComPtr<IFont> bigger;
    face->Clone(bigger.Put());
    CY size{};
    size.int64 = 180000;
    bigger->put_Size(size);
    box.SetFont(bigger.As<IFontDisp>(IID_IFontDisp));
    box.SetVisualStyles(false);
    box.SetAppearance(0);
    box.SetBackColor(0x112233);
    box.SetForeColor(0x445566);
    box.SetEnabled(false);
    box.SetOLEDropMode(1);
    box.SetMousePointer(99);
    box.SetMouseIcon(picture);
    box.SetMouseTrack(true);
    box.SetRightToLeftMode(0);
    box.SetRightToLeft(true);
    box.SetImageListAlignment(3);
    box.SetImageListMargin(75);  // twips: 5 pixels
    box.SetValue(2);
    box.SetCaption(L"Я &согласен");
    box.SetAlignment(1);
    box.SetTextAlignment(2);
    box.SetPushLike(true);
    box.SetPicture(picture);
    box.SetWordWrap(false);
    box.SetTransparent(true);
    box.SetVerticalAlignment(0);
    box.SetDisabledPicture(picture);
    box.SetDownPicture(picture);
    box.SetUseMaskColor(true);
    box.SetMaskColor(0x00FF00);
    box.SetDrawMode(1);  // owner drawing: Style stays 0 and DrawMode is kept
    saved = form->Site(L"chb").Save();
    EXPECT_EQ(saved.properties.size(), 29u);  // all but Style
    box.SetDrawMode(0);
    box.SetStyle(1);
    saved = form->Site(L"chb").Save();
    EXPECT_EQ(saved.properties.size(), 29u);  // all but DrawMode
    // Pictures are kept as copies the control owns, which Wine cannot save as files: the
    // round trip below covers every other key.
    const std::string text = Layout::Write(form->SaveLayout());
    form->Unload();

    auto again = Host::Form::FromText(text, "again.layout");
    int clicks = 0;
    again->On(L"chb", L"Click", [&](Host::Event&) { ++clicks; });
    again->Load();
    auto& back = again->ControlAs<CheckBoxW>(L"chb");
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(back.Value(), 2);
    EXPECT_EQ(back.Caption(), L"Я &согласен");
    EXPECT_FALSE(back.VisualStyles());
    EXPECT_EQ(back.Appearance(), 0);
    EXPECT_EQ(back.BackColor(), 0x112233u);
    EXPECT_EQ(back.ForeColor(), 0x445566u);
    EXPECT_FALSE(back.Enabled());
    EXPECT_EQ(back.OLEDropMode(), 1);
    EXPECT_EQ(back.MousePointer(), 99);
    EXPECT_TRUE(back.MouseTrack());
    EXPECT_TRUE(back.RightToLeft());
    EXPECT_EQ(back.RightToLeftMode(), 0);
    // The image list's name came back too; the four pictures did not (above).
    EXPECT_EQ(again->Site(L"chb").Save().properties.size(), 25u);
    EXPECT_EQ(back.ImageListAlignment(), 3);
    EXPECT_FLOAT_EQ(back.ImageListMargin(), 75.0f);
    EXPECT_EQ(back.Alignment(), 1);
    EXPECT_EQ(back.TextAlignment(), 2);
    EXPECT_TRUE(back.PushLike());
    EXPECT_FALSE(back.WordWrap());
    EXPECT_TRUE(back.Transparent());
    EXPECT_EQ(back.VerticalAlignment(), 0);
    EXPECT_EQ(back.Style(), 1);
    EXPECT_TRUE(back.UseMaskColor());
    EXPECT_EQ(back.MaskColor(), 0x00FF00u);
    CY backSize{};
    back.Font().As<IFont>(IID_IFont)->get_Size(&backSize);
    EXPECT_EQ(backSize.int64, 180000);
    again->Unload();
}

TEST(CheckBoxW, PropertyBrowserNamesTheStates) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    ComPtr<IPerPropertyBrowsing> browsing;
    ASSERT_EQ(
        form->Site(L"chb").Object()->QueryInterface(IID_IPerPropertyBrowsing, browsing.PutVoid()),
        S_OK);
    const wchar_t* names[] = {L"0 - Unchecked", L"1 - Checked", L"2 - Grayed"};
    for (int16_t value = 0; value < 3; ++value) {
        box.SetValue(value);
        BSTR text = nullptr;
        ASSERT_EQ(browsing->GetDisplayString(DISPID_VALUE, &text), S_OK);
        EXPECT_STREQ(text, names[value]);
        SysFreeString(text);
    }
    CALPOLESTR strings{};
    CADWORD cookies{};
    ASSERT_EQ(browsing->GetPredefinedStrings(DISPID_VALUE, &strings, &cookies), S_OK);
    ASSERT_EQ(strings.cElems, 3u);
    ASSERT_EQ(cookies.cElems, 3u);
    for (ULONG i = 0; i < 3; ++i) {
        EXPECT_STREQ(strings.pElems[i], names[i]);
        EXPECT_EQ(cookies.pElems[i], i);
        VARIANT value;
        VariantInit(&value);
        ASSERT_EQ(browsing->GetPredefinedValue(DISPID_VALUE, cookies.pElems[i], &value), S_OK);
        VARIANT asInt;
        VariantInit(&asInt);
        VariantChangeType(&asInt, &value, 0, VT_I4);
        EXPECT_EQ(asInt.lVal, static_cast<LONG>(i));
        VariantClear(&value);
        CoTaskMemFree(strings.pElems[i]);
    }
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    form->Unload();
}

TEST(CheckBoxW, AccessKeyTogglesButReturnAndEscapeDoNot) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    auto& other = form->ControlAs<CheckBoxW>(L"chbOther");
    box.SetCaption(L"&Agree");
    ASSERT_TRUE(testsupport::ShowInFront(*form, other.hWnd()));
    int clicks = 0;
    form->On(L"chb", L"Click", [&](Host::Event&) { ++clicks; });
    testsupport::PressKey('A', {VK_MENU});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(box.Value(), 1);
    EXPECT_EQ(GetFocus(), box.hWnd());
    testsupport::PressKey('A', {VK_MENU});
    EXPECT_EQ(box.Value(), 0);
    testsupport::PressKey(VK_RETURN);
    testsupport::PressKey(VK_ESCAPE);
    EXPECT_EQ(clicks, 2);
    form->Unload();
}

TEST(CheckBoxW, StylesAndPicturesLeakNothing) {
    auto form = NewForm();
    ComPtr<IPicture> icon =
        Common::PictureFromHandle(LoadIconW(nullptr, IDI_APPLICATION), PICTYPE_ICON, false);
    testsupport::ExpectNoGuiLeaks([&](int) {
        form->Load();
        auto& box = form->ControlAs<CheckBoxW>(L"chb");
        box.SetCaption(L"&Leak");
        box.SetPicture(icon.As<IPictureDisp>(IID_IPictureDisp));
        box.SetValue(1);
        box.SetStyle(1);
        box.SetStyle(0);
        box.SetDrawMode(1);
        box.SetRightToLeft(true);
        form->Unload();
    });
}

TEST(CheckBoxW, SharedMessagesRaiseTheCheckBoxsOwnEvents) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chb");
    const HWND hwnd = box.ButtonHandle();
    std::vector<DISPID> ids;
    form->OnAnyEvent([&](Host::Event& e) {
        if (e.Source() == &form->Site(L"chb")) ids.push_back(e.Id());
    });
    box.SetMouseTrack(true);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    NMBCHOTITEM hot{};
    hot.hdr.hwndFrom = hwnd;
    hot.hdr.code = BCN_HOTITEMCHANGE;
    hot.dwFlags = HICF_MOUSE | HICF_ENTERING;
    SendMessageW(box.hWndUserControl(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
    NMHDR drop{hwnd, 0, static_cast<UINT>(BCN_DROPDOWN)};  // no drop-down part: nothing
    SendMessageW(box.hWndUserControl(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&drop));
    EXPECT_EQ(ids, (std::vector<DISPID>{5, -606, 6, 1}));

    // A KeyDown handler's key code is what the window gets: 0 presses nothing.
    ids.clear();
    form->On(L"chb", L"KeyDown", [&](Host::Event& e) { e.SetArg(0, int32_t{0}); });
    SendMessageW(hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(box.Pushed());
    EXPECT_EQ(ids, (std::vector<DISPID>{-602}));
    form->Unload();
}

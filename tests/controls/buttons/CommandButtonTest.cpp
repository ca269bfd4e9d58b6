// The command button on a real form: creation styles, setters on the window, persistence,
// errors at the dispatch boundary, events and their order, access keys through the hooks,
// and the shared message handling (focus, validation, keys, mouse, tracking).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <variant>
#include <string>
#include <vector>

#include "controls/base/Handles.h"
#include "controls/base/ComCtlsBase.h"
#include "controls/base/ComPtr.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VisualStyles.h"
#include "controls/buttons/CommandButtonW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/Units.h"
#include "tests/support/Input.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"
#include "tests/support/FormLayout.h"
#include "tests/support/Dispatch.h"

using testsupport::CentreOf;
using testsupport::ClickScreen;
using testsupport::PressKeys;

using testsupport::I4;

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FButtons", 6000, 3000, {testsupport::kArial},
    {{"CommandButtonW", "cmdPlain", 150, 150, 1500, 600, "TabIndex = 0"},
     {"CommandButtonW", "cmdOwner", 1800, 150, 1500, 600,
      "TabIndex = 1\nProperty DrawMode = 1\nProperty Alignment = 0\nProperty WordWrap = False"},
     {"CommandButtonW", "cmdShaped", 3450, 150, 1500, 600,
      "TabIndex = 2\nProperty Default = True\nProperty Appearance = 0\nProperty Alignment = "
      "1\nProperty VerticalAlignment = 0\nProperty WordWrap = False\nProperty Caption = "
      "Utf16(\"&Итог\")"},
     {"CommandButtonW", "cmdOther", 150, 1500, 1500, 600, "TabIndex = 3\nDefault = True"}});

std::unique_ptr<Host::Form> NewForm() {
    return testsupport::FormOf<CommandButtonW>(kLayout);
}

DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

struct EventLog {
    std::vector<std::wstring> names;
    std::vector<DISPID> ids;
    void Attach(Host::Form& form, std::wstring source) {
        form.OnAnyEvent([this, source](Host::Event& e) {
            if (!e.Source() || e.Source()->Name() != source) return;
            names.emplace_back(e.Name());
            ids.push_back(e.Id());
        });
    }
    int Count(std::wstring_view name) const {
        int n = 0;
        for (const auto& s : names)
            n += s == name;
        return n;
    }
    void Clear() {
        names.clear();
        ids.clear();
    }
};

}  // namespace

TEST(CommandButtonW, CreationStylesOfNewLoadedAndOwnerDrawnButtons) {
    auto form = NewForm();
    form->Load();
    auto& added = form->AddControl(CommandButtonW::kTypeName, L"cmdAdded", 150, 2200, 1500, 600);
    auto& fresh = dynamic_cast<CommandButtonW&>(added.Control());
    struct Case {
        const wchar_t* name;
        DWORD style;
    } cases[] = {
        {L"cmdPlain", 0x50006F00},  // BS_NOTIFY | BS_MULTILINE | BS_CENTER | BS_VCENTER
        {L"cmdOwner", 0x5000000B},  // owner drawing drops every other button style
        {L"cmdShaped", 0x50004000 | BS_DEFPUSHBUTTON | BS_FLAT | BS_RIGHT | BS_TOP},
    };
    for (const Case& c : cases) {
        auto& button = form->ControlAs<CommandButtonW>(c.name);
        EXPECT_EQ(StyleOf(button.ButtonHandle()), c.style) << c.name;
        EXPECT_EQ(GetWindowLongPtrW(button.ButtonHandle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
    }
    EXPECT_EQ(StyleOf(fresh.ButtonHandle()), 0x50006F00u);
    EXPECT_EQ(fresh.Caption(), L"cmdAdded");
    // The caption is set through its setter, not as creation text.
    EXPECT_EQ(form->ControlAs<CommandButtonW>(L"cmdShaped").Caption(), L"&Итог");

    // Setters that edit style bits leave an owner-drawn window alone.
    auto& owner = form->ControlAs<CommandButtonW>(L"cmdOwner");
    owner.SetAlignment(2);
    owner.SetWordWrap(true);
    owner.SetAppearance(0);
    owner.SetVerticalAlignment(2);
    EXPECT_EQ(StyleOf(owner.ButtonHandle()), 0x5000000Bu);
    form->Unload();
}

TEST(CommandButtonW, DoubleClickGivesTwoClicks) {
    auto form = NewForm();
    ASSERT_TRUE(testsupport::ShowInFront(*form));
    auto& button = form->ControlAs<CommandButtonW>(L"cmdPlain");
    EventLog log;
    log.Attach(*form, L"cmdPlain");
    const POINT at = CentreOf(button.ButtonHandle());
    EXPECT_TRUE(ClickScreen(at, 2));
    EXPECT_EQ(log.Count(L"Click"), 2);
    // Down and up for each press, the second down arriving as a double click raises none.
    EXPECT_EQ(log.Count(L"MouseDown"), 1);
    EXPECT_EQ(log.Count(L"MouseUp"), 2);
    form->Unload();
}

TEST(CommandButtonW, AccessKeysGoThroughTheControlInfoAndMnemonicHooks) {
    auto form = NewForm();
    ASSERT_TRUE(testsupport::ShowInFront(*form));
    auto& plain = form->ControlAs<CommandButtonW>(L"cmdPlain");
    auto& other = form->ControlAs<CommandButtonW>(L"cmdOther");
    plain.SetCaption(L"&Install");
    other.SetCaption(L"Save && Exit");
    EXPECT_TRUE(form->Site(L"cmdPlain").AccessKeys().empty());  // not the host's own list

    ComPtr<IOleControl> control;
    form->Site(L"cmdPlain").Object()->QueryInterface(IID_IOleControl, control.PutVoid());
    ASSERT_TRUE(control);
    WORD commands[2] = {};
    for (WORD& command : commands) {
        CONTROLINFO info{};
        info.cb = sizeof(info);
        ASSERT_EQ(control->GetControlInfo(&info), S_OK);
        ASSERT_EQ(info.cAccel, 1);
        ACCEL entry{};
        ASSERT_EQ(CopyAcceleratorTableW(info.hAccel, &entry, 1), 1);
        EXPECT_EQ(entry.fVirt, FALT | FVIRTKEY);
        EXPECT_EQ(entry.key, 'I');
        command = entry.cmd;
    }
    EXPECT_EQ(commands[0], 1000);
    EXPECT_EQ(commands[1], 1100);  // each table a command of its own
    ComPtr<IOleControl> otherControl;
    form->Site(L"cmdOther").Object()->QueryInterface(IID_IOleControl, otherControl.PutVoid());
    CONTROLINFO none{};
    none.cb = sizeof(none);
    otherControl->GetControlInfo(&none);
    EXPECT_EQ(none.cAccel, 0);  // "&&" shows an ampersand and marks no key

    EventLog plainLog, otherLog;
    plainLog.Attach(*form, L"cmdPlain");
    otherLog.Attach(*form, L"cmdOther");
    PressKeys({{VK_MENU, false}, {'I', false}, {'I', true}, {VK_MENU, true}});
    EXPECT_EQ(plainLog.Count(L"Click"), 1);
    // A host access-key press clicks only for Return and Escape.
    plain.AccessKeyPress('I');
    EXPECT_EQ(plainLog.Count(L"Click"), 1);
    // Return presses the focused button as the displayed default; none when disabled.
    SetFocus(plain.ButtonHandle());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return GetFocus() == plain.ButtonHandle(); }));
    PressKeys({{VK_RETURN, false}, {VK_RETURN, true}});
    EXPECT_EQ(plainLog.Count(L"Click"), 2);
    plain.SetEnabled(false);
    PressKeys({{VK_RETURN, false}, {VK_RETURN, true}});
    const int otherClicks = otherLog.Count(L"Click");  // the form's default, when it has the key
    other.SetEnabled(false);
    PressKeys({{VK_RETURN, false}, {VK_RETURN, true}});
    EXPECT_EQ(otherLog.Count(L"Click"), otherClicks);
    EXPECT_EQ(plainLog.Count(L"Click"), 2);
    form->Unload();
}

TEST(CommandButtonW, KeyEventsReadTheirArgumentsBackIntoTheMessage) {
    auto form = NewForm();
    ASSERT_TRUE(testsupport::ShowInFront(*form));
    auto& button = form->ControlAs<CommandButtonW>(L"cmdPlain");
    const HWND hwnd = button.ButtonHandle();
    SetFocus(hwnd);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return GetFocus() == hwnd; }));
    bool swallow = true;
    form->On(L"cmdPlain", L"KeyDown", [&](Host::Event& e) {
        if (swallow) e.SetArg(0, int32_t{0});
    });
    std::vector<int16_t> chars;
    form->On(L"cmdPlain", L"KeyPress", [&](Host::Event& e) { chars.push_back(e.Int16Arg(0)); });
    SendMessageW(hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(button.Pushed());  // the window got key 0
    swallow = false;
    SendMessageW(hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(button.Pushed());
    SendMessageW(hwnd, WM_KEYUP, VK_SPACE, 0);

    // Beyond the basic plane: a surrogate pair, high unit first.
    EXPECT_EQ(SendMessageW(hwnd, WM_UNICHAR, 0x1F600, 0), 1);
    EXPECT_EQ(SendMessageW(hwnd, WM_UNICHAR, UNICODE_NOCHAR, 0), 0);
    SendMessageW(hwnd, WM_UNICHAR, L'ж', 0);
    EXPECT_EQ(chars,
              (std::vector<int16_t>{static_cast<int16_t>(0xD83D), static_cast<int16_t>(0xDE00),
                                    static_cast<int16_t>(L'ж')}));
    form->Unload();
}

TEST(CommandButtonW, MouseEventsInTwipsTrackingAndHotChanged) {
    auto form = NewForm();
    form->Load();
    auto& button = form->ControlAs<CommandButtonW>(L"cmdPlain");
    const HWND hwnd = button.ButtonHandle();
    const HWND user = button.hWndUserControl();
    EventLog log;
    log.Attach(*form, L"cmdPlain");
    float x = -1, y = -1;
    form->On(L"cmdPlain", L"MouseMove", [&](Host::Event& e) {
        x = e.FloatArg(2);
        y = e.FloatArg(3);
    });
    button.SetMouseTrack(true);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(10, 4));
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(11, 4));
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(log.names, (std::vector<std::wstring>{L"MouseEnter", L"MouseMove", L"MouseMove",
                                                    L"MouseLeave"}));
    EXPECT_EQ(log.ids, (std::vector<DISPID>{6, -606, -606, 7}));
    EXPECT_FLOAT_EQ(x, static_cast<float>(Units::PixelsToTwips(11, Units::Axis::X)));
    EXPECT_FLOAT_EQ(y, static_cast<float>(Units::PixelsToTwips(4, Units::Axis::Y)));

    // The button sends no BCN_HOTITEMCHANGE under every system: the recorded notification.
    log.Clear();
    NMBCHOTITEM hot{};
    hot.hdr.hwndFrom = hwnd;
    hot.hdr.code = BCN_HOTITEMCHANGE;
    const DWORD hotFlags[] = {HICF_MOUSE | HICF_ENTERING, HICF_MOUSE | HICF_LEAVING,
                              HICF_ARROWKEYS | HICF_ENTERING, HICF_MOUSE};
    for (DWORD flags : hotFlags) {
        hot.dwFlags = flags;
        SendMessageW(user, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
    }
    NMHDR drop{hwnd, 0, static_cast<UINT>(BCN_DROPDOWN)};
    SendMessageW(user, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&drop));
    EXPECT_EQ(log.names, (std::vector<std::wstring>{L"HotChanged", L"HotChanged", L"DropDown"}));
    EXPECT_EQ(log.ids, (std::vector<DISPID>{1, 1, 2}));
    form->Unload();
}

TEST(CommandButtonW, ClickingValidatesUnlessCausesValidationIsOff) {
    auto form = NewForm();
    ASSERT_TRUE(testsupport::ShowInFront(*form));
    auto& plain = form->ControlAs<CommandButtonW>(L"cmdPlain");
    auto& other = form->ControlAs<CommandButtonW>(L"cmdOther");
    SetFocus(plain.ButtonHandle());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return GetFocus() == plain.ButtonHandle(); }));
    int validations = 0;
    form->On(L"cmdPlain", L"Validate", [&](Host::Event& e) {
        ++validations;
        e.SetArg(0, true);  // refuse
    });
    EventLog log;
    log.Attach(*form, L"cmdOther");
    auto click = [&] {
        const POINT at = CentreOf(other.ButtonHandle());
        ClickScreen(at);
    };
    click();
    EXPECT_EQ(validations, 1);
    EXPECT_EQ(log.Count(L"Click"), 0);  // the click was eaten
    EXPECT_EQ(GetFocus(), plain.ButtonHandle());
    form->Site(L"cmdOther").GetExtender().SetCausesValidation(false);
    click();
    EXPECT_EQ(validations, 1);
    EXPECT_EQ(log.Count(L"Click"), 1);
    EXPECT_EQ(GetFocus(), other.ButtonHandle());
    form->Unload();
}

namespace {

const std::string kStoredLayout = testsupport::LayoutText(
    "FStored", 6000, 3000, {testsupport::kArial},
    {{"CommandButtonW", "cmdAll", 150, 150, 1500, 600,
      "Property Default = True\nProperty Font = Font(Name = \"Tahoma\", Size = 12, Charset = "
      "204)\nProperty VisualStyles = False\nProperty Appearance = 0\nProperty BackColor = "
      "255\nProperty ForeColor = 65280\nProperty Enabled = False\nProperty OLEDropMode = "
      "1\nProperty MousePointer = 2\nProperty MouseTrack = True\nProperty RightToLeft = "
      "True\nProperty RightToLeftMode = 0\nProperty ImageList = \"ilsNowhere\"\nProperty "
      "ImageListAlignment = 1\nProperty ImageListMargin = 4\nProperty Caption = "
      "Utf16(\"&Сохранить\")\nProperty Alignment = 1\nProperty VerticalAlignment = 2\nProperty "
      "PictureAndCaption = True\nProperty WordWrap = False\nProperty Transparent = True\nProperty "
      "SplitButton = True\nProperty SplitButtonAlignment = 0\nProperty SplitButtonNoSplit = "
      "True\nProperty Style = 1\nProperty UseMaskColor = True\nProperty MaskColor = 255"},
     {"CommandButtonW", "cmdOwner", 1800, 150, 1500, 600,
      "Property DrawMode = 1\nProperty Style = 1"},
     {"CommandButtonW", "cmdDefaults", 3450, 150, 1500, 600}});

std::vector<std::string> KeysOf(const Layout::FormLayout& layout, std::string_view control) {
    std::vector<std::string> keys;
    for (const auto& c : layout.controls) {
        if (c.name != control) continue;
        for (const auto& p : c.properties)
            keys.push_back(p.key);
    }
    return keys;
}

const Layout::ControlLayout& ControlIn(const Layout::FormLayout& layout, std::string_view name) {
    for (const auto& c : layout.controls)
        if (c.name == name) return c;
    throw std::runtime_error("no such control");
}

ComPtr<IPictureDisp> SystemIcon() {
    // The picture does not own the shared system icon; the control keeps its own copy.
    return Common::PictureFromHandle(LoadIconW(nullptr, MAKEINTRESOURCEW(32516)), PICTYPE_ICON,
                                     false)
        .As<IPictureDisp>(IID_IPictureDisp);
}

}  // namespace

TEST(CommandButtonW, PersistsEveryKeyInOrderAndOmitsDefaults) {
    ControlTypes::Register<CommandButtonW>(CommandButtonW::kTypeName);
    auto form = Host::Form::FromText(kStoredLayout, "stored.layout");
    form->Load();
    auto& all = form->ControlAs<CommandButtonW>(L"cmdAll");
    EXPECT_EQ(all.Caption(), L"&Сохранить");
    EXPECT_FALSE(IsWindowEnabled(all.ButtonHandle()));
    EXPECT_EQ(StyleOf(all.ButtonHandle()) & ~WS_DISABLED, 0x5000000Bu);  // Style 1 draws itself
    const ComPtr<IPictureDisp> icon = SystemIcon();
    all.SetMouseIcon(icon);
    all.SetPicture(icon);
    all.SetSplitButtonGlyph(icon);
    all.SetDisabledPicture(icon);
    all.SetDownPicture(icon);
    EXPECT_NE(all.Picture().Get(), icon.Get());  // a copy of its own

    const Layout::FormLayout saved = form->SaveLayout();
    // Everything but DrawMode, which cannot differ while Style is 1.
    const std::vector<std::string> expected = {"Default",
                                               "Font",
                                               "VisualStyles",
                                               "Appearance",
                                               "BackColor",
                                               "ForeColor",
                                               "Enabled",
                                               "OLEDropMode",
                                               "MousePointer",
                                               "MouseIcon",
                                               "MouseTrack",
                                               "RightToLeft",
                                               "RightToLeftMode",
                                               "ImageList",
                                               "ImageListAlignment",
                                               "ImageListMargin",
                                               "Caption",
                                               "Alignment",
                                               "VerticalAlignment",
                                               "Picture",
                                               "PictureAndCaption",
                                               "WordWrap",
                                               "Transparent",
                                               "SplitButton",
                                               "SplitButtonAlignment",
                                               "SplitButtonNoSplit",
                                               "SplitButtonGlyph",
                                               "Style",
                                               "DisabledPicture",
                                               "DownPicture",
                                               "UseMaskColor",
                                               "MaskColor"};
    EXPECT_EQ(KeysOf(saved, "cmdAll"), expected);
    // DrawMode 1 forces Style 0, which is then not written.
    EXPECT_EQ(KeysOf(saved, "cmdOwner"), (std::vector<std::string>{"DrawMode"}));
    EXPECT_TRUE(KeysOf(saved, "cmdDefaults").empty());
    form->Unload();

    // What was saved loads back to the same values.
    Host::Form again(saved);
    again.Load();
    const Layout::FormLayout resaved = again.SaveLayout();
    // Pictures are left out: the control keeps its own copy, made from a handle, and such a
    // picture saves itself empty under Wine.
    auto withoutPictures = [](const std::vector<Layout::Property>& all) {
        std::vector<Layout::Property> kept;
        for (const auto& p : all)
            if (!std::holds_alternative<Layout::Picture>(p.value)) kept.push_back(p);
        return kept;
    };
    const auto first = withoutPictures(ControlIn(saved, "cmdAll").properties);
    const auto second = withoutPictures(ControlIn(resaved, "cmdAll").properties);
    EXPECT_EQ(first.size(), 27u);
    EXPECT_TRUE(first == second);
    auto& loaded = again.ControlAs<CommandButtonW>(L"cmdAll");
    EXPECT_EQ(loaded.MousePointer(), 2);
    EXPECT_EQ(loaded.ImageListMargin(),
              static_cast<float>(Units::PixelsToTwips(4, Units::Axis::X)));
    EXPECT_TRUE(loaded.RightToLeft());
    EXPECT_EQ(GetWindowLongPtrW(loaded.ButtonHandle(), GWL_EXSTYLE) & WS_EX_RTLREADING,
              WS_EX_RTLREADING);
    again.Unload();
}

namespace {

// Assigns through IDispatch, as an automation client does; the HRESULT and the description.
std::pair<HRESULT, std::wstring> Assign(IUnknown* object, const wchar_t* name, VARIANT value) {
    ComPtr<IDispatch> dispatch;
    object->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    OwnedExcepInfo info;
    HRESULT hr =
        dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &info, nullptr);
    std::wstring text;
    if (hr == DISP_E_EXCEPTION) {
        hr = info.scode;
        text = info.Description();
    }
    return {hr, text};
}

}  // namespace

TEST(CommandButtonW, RefusedValuesGiveTheirNumbersAndTexts) {
    auto form = NewForm();
    form->Load();
    IUnknown* plain = form->Site(L"cmdPlain").Object();
    IUnknown* owner = form->Site(L"cmdOwner").Object();
    struct Case {
        IUnknown* object;
        const wchar_t* name;
        LONG value;
        uint32_t hr;
        const wchar_t* text;
    } cases[] = {
        {plain, L"MousePointer", 17, 0x800A017C, L"Invalid property value"},
        {plain, L"Appearance", 2, 0x800A017C, L"Invalid property value"},
        {plain, L"Alignment", 3, 0x800A017C, L"Invalid property value"},
        {plain, L"VerticalAlignment", -1, 0x800A017C, L"Invalid property value"},
        {plain, L"RightToLeftMode", 5, 0x800A017C, L"Invalid property value"},
        {plain, L"ImageListAlignment", 5, 0x800A017C, L"Invalid property value"},
        {plain, L"SplitButtonAlignment", 2, 0x800A017C, L"Invalid property value"},
        {plain, L"OLEDropMode", 2, 0x800A017C, L"Invalid property value"},
        {plain, L"Style", 2, 0x800A017C, L"Invalid property value"},
        {plain, L"DrawMode", 2, 0x800A017C, L"Invalid property value"},
        {plain, L"ImageListMargin", -1, 0x800A017C, L"Invalid property value"},
        {owner, L"Style", 1, 0x800A017F,
         L"Style must be 0 - Standard when DrawMode is not 0 - Normal"},
        {plain, L"Hot", 1, 0x800A017F, L"Property is read-only"},
    };
    for (const Case& c : cases) {
        const auto [hr, text] = Assign(c.object, c.name, I4(c.value));
        EXPECT_EQ(static_cast<uint32_t>(hr), c.hr) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
    EXPECT_EQ(form->ControlAs<CommandButtonW>(L"cmdOwner").Style(), 0);
    EXPECT_EQ(form->ControlAs<CommandButtonW>(L"cmdPlain").MousePointer(), 0);
    form->Unload();

    // While designing, the marked setters show the text in a box instead and keep the value.
    form->SetUserMode(false);
    form->Load();
    testsupport::MessageBoxCatcher catcher;
    auto& designed = form->ControlAs<CommandButtonW>(L"cmdPlain");
    UniqueBitmap bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    ComPtr<IPictureDisp> picture = Common::PictureFromHandle(bitmap.Get(), PICTYPE_BITMAP, false)
                                       .As<IPictureDisp>(IID_IPictureDisp);
    designed.SetMouseIcon(picture);
    designed.SetImageListMargin(-1);
    form->ControlAs<CommandButtonW>(L"cmdOwner").SetStyle(1);
    ASSERT_TRUE(catcher.Saw(3));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Invalid property value");
    EXPECT_EQ(catcher.Boxes()[0].icon, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(catcher.Boxes()[2].text,
              L"Style must be 0 - Standard when DrawMode is not 0 - Normal");
    EXPECT_FALSE(designed.MouseIcon());
    EXPECT_EQ(designed.ImageListMargin(), 0);
    form->Unload();
}

TEST(CommandButtonW, SettersChangeTheWindow) {
    auto form = NewForm();
    form->Load();
    auto& b = form->ControlAs<CommandButtonW>(L"cmdPlain");
    const HWND hwnd = b.ButtonHandle();
    auto bits = [&](DWORD mask) { return StyleOf(hwnd) & mask; };
    b.SetAlignment(0);
    EXPECT_EQ(bits(BS_CENTER), static_cast<DWORD>(BS_LEFT));
    b.SetAlignment(1);
    EXPECT_EQ(bits(BS_CENTER), static_cast<DWORD>(BS_RIGHT));
    b.SetVerticalAlignment(0);
    EXPECT_EQ(bits(BS_VCENTER), static_cast<DWORD>(BS_TOP));
    b.SetVerticalAlignment(2);
    EXPECT_EQ(bits(BS_VCENTER), static_cast<DWORD>(BS_BOTTOM));
    b.SetWordWrap(false);
    EXPECT_EQ(bits(BS_MULTILINE), 0u);
    b.SetAppearance(0);
    EXPECT_EQ(bits(BS_FLAT), static_cast<DWORD>(BS_FLAT));
    b.SetAppearance(1);
    EXPECT_EQ(bits(BS_FLAT), 0u);
    b.SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(hwnd));
    b.SetEnabled(true);
    b.SetCaption(L"Готово");
    wchar_t text[32] = {};
    GetWindowTextW(hwnd, text, 32);
    EXPECT_STREQ(text, L"Готово");
    b.SetPushed(true);
    EXPECT_TRUE(b.Pushed());
    b.SetPushed(false);
    b.SetRightToLeft(true);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING, WS_EX_RTLREADING);
    b.SetRightToLeft(false);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
    EXPECT_EQ(b.Alignment(), 0);  // mirrored back from right

    // Style and DrawMode make a new window; DrawMode 1 resets Style.
    b.SetStyle(1);
    EXPECT_NE(b.ButtonHandle(), hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(StyleOf(b.ButtonHandle()), 0x5000000Bu);
    b.SetDrawMode(1);
    EXPECT_EQ(b.Style(), 0);
    int draws = 0;
    form->On(L"cmdPlain", L"OwnerDraw", [&](Host::Event& e) {
        ++draws;
        ASSERT_EQ(e.ArgCount(), 8u);
        EXPECT_EQ(e.Int32Arg(1), static_cast<int32_t>(ODA_DRAWENTIRE));
        EXPECT_EQ(e.Int32Arg(2), static_cast<int32_t>(ODS_FOCUS));
        EXPECT_EQ(e.Int32Arg(4), 1);
        EXPECT_EQ(e.Int32Arg(7), 40);
    });
    // The form is hidden, so nothing paints: the message the button sends its parent.
    DRAWITEMSTRUCT item{ODT_BUTTON,     0, 0, ODA_DRAWENTIRE, ODS_FOCUS, b.ButtonHandle(), nullptr,
                        {1, 2, 30, 40}, 0};
    EXPECT_EQ(SendMessageW(b.hWndUserControl(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)),
              1);
    EXPECT_EQ(draws, 1);

    // The pointer over the button.
    b.SetMousePointer(2);
    SendMessageW(b.ButtonHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(b.ButtonHandle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_CROSS));
    form->Unload();
}

TEST(CommandButtonW, ValueRaisesOneClickDuringWhichItReadsTrue) {
    auto form = NewForm();
    form->Load();
    auto& b = form->ControlAs<CommandButtonW>(L"cmdPlain");
    std::vector<bool> seen;
    form->On(L"cmdPlain", L"Click", [&](Host::Event&) {
        seen.push_back(b.Value());
        b.SetValue(true);  // not heard again
    });
    b.SetValue(false);
    EXPECT_TRUE(seen.empty());
    b.SetValue(true);
    EXPECT_EQ(seen, (std::vector<bool>{true}));
    EXPECT_FALSE(b.Value());
    b.PerformClick();
    EXPECT_EQ(seen.size(), 2u);
    form->Unload();
}

TEST(CommandButtonW, PreviewKeyDownClaimsNavigationKeysOnly) {
    auto form = NewForm();
    form->Load();
    auto& b = form->ControlAs<CommandButtonW>(L"cmdPlain");
    std::vector<int16_t> previewed;
    form->On(L"cmdPlain", L"PreviewKeyDown", [&](Host::Event& e) {
        previewed.push_back(e.Int16Arg(0));
        e.SetArg(1, true);
    });
    std::vector<int16_t> down;
    form->On(L"cmdPlain", L"KeyDown", [&](Host::Event& e) { down.push_back(e.Int16Arg(0)); });
    ComPtr<IOleInPlaceActiveObjectVB> partner;
    form->Site(L"cmdPlain")
        .Object()
        ->QueryInterface(IID_IOleInPlaceActiveObjectVB, partner.PutVoid());
    ASSERT_TRUE(partner);
    for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{'A'}}) {
        VARIANT_BOOL handled = VARIANT_FALSE;
        LONG result = S_OK;
        partner->TranslateAccelerator(&handled, &result, WM_KEYDOWN, key, 0, 0);
        EXPECT_EQ(handled, key == VK_RETURN ? VARIANT_TRUE : VARIANT_FALSE);
    }
    EXPECT_EQ(previewed, (std::vector<int16_t>{VK_RETURN, 'A'}));
    EXPECT_EQ(down, (std::vector<int16_t>{VK_RETURN}));  // sent on to the button window
    (void)b;
    form->Unload();
}

TEST(CommandButtonW, IsSafeForScripting) {
    auto form = NewForm();
    form->Load();
    testsupport::ExpectSafeForScripting(form->Site(L"cmdPlain").Object());
    form->Unload();
}

TEST(CommandButtonW, DesignTimeSubclassesOnlyAGraphicalButton) {
    auto form = NewForm();
    form->SetUserMode(false);
    form->Load();
    int clicks = 0;
    form->On(L"cmdPlain", L"Click", [&](Host::Event&) { ++clicks; });
    auto& plain = form->ControlAs<CommandButtonW>(L"cmdPlain");
    SendMessageW(plain.ButtonHandle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 0);  // the designer keeps the mouse: nothing is subclassed
    EXPECT_EQ(ComCtlsBase::Testing::SystemSubclassId(plain.ButtonHandle()), 0u);
    EXPECT_EQ(ComCtlsBase::Testing::SystemSubclassId(plain.hWndUserControl()), 0u);
    plain.SetStyle(1);
    EXPECT_EQ(ComCtlsBase::Testing::SystemSubclassId(plain.ButtonHandle()), 0u);
    EXPECT_NE(ComCtlsBase::Testing::SystemSubclassId(plain.hWndUserControl()), 0u);
    form->Unload();
}

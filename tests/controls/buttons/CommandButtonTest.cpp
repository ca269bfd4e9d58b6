// The command button on a real form: creation styles, setters on the window, persistence,
// errors at the dispatch boundary, events and their order, access keys through the hooks,
// and the shared message handling (focus, validation, keys, mouse, tracking).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VisualStyles.h"
#include "controls/buttons/CommandButtonW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/Units.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"

namespace {

constexpr char kLayout[] = R"(PaylevixLayout 1
Begin Form FButtons
    ClientWidth = 6000
    ClientHeight = 3000
    Font = Font(Name = "Arial", Size = 9.75, Charset = 204)
    Begin CommandButtonW cmdPlain
        Left = 150
        Top = 150
        Width = 1500
        Height = 600
        TabIndex = 0
    End
    Begin CommandButtonW cmdOwner
        Left = 1800
        Top = 150
        Width = 1500
        Height = 600
        TabIndex = 1
        Property DrawMode = 1
        Property Alignment = 0
        Property WordWrap = False
    End
    Begin CommandButtonW cmdShaped
        Left = 3450
        Top = 150
        Width = 1500
        Height = 600
        TabIndex = 2
        Property Default = True
        Property Appearance = 0
        Property Alignment = 1
        Property VerticalAlignment = 0
        Property WordWrap = False
        Property Caption = Utf16("&Итог")
    End
    Begin CommandButtonW cmdOther
        Left = 150
        Top = 1500
        Width = 1500
        Height = 600
        TabIndex = 3
        Default = True
    End
End
)";

std::unique_ptr<Host::Form> NewForm() {
    ControlTypes::Register<CommandButtonW>(CommandButtonW::kTypeName);
    return Host::Form::FromText(kLayout, "command.layout");
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

// Real input through the system's queue.
void SendMouse(DWORD flags, POINT screen) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    in.mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(INPUT));
}

POINT CentreOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void PressKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    std::vector<INPUT> inputs;
    for (auto [vk, up] : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    testsupport::PumpFor(120);
}

void ShowFront(Host::Form& form) {
    form.Show(Host::ShowMode::Modeless);
    SetForegroundWindow(form.Hwnd());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return GetForegroundWindow() == form.Hwnd(); }));
}

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
    ShowFront(*form);
    auto& button = form->ControlAs<CommandButtonW>(L"cmdPlain");
    EventLog log;
    log.Attach(*form, L"cmdPlain");
    const POINT at = CentreOf(button.ButtonHandle());
    SendMouse(0, at);
    testsupport::PumpFor(100);
    for (int i = 0; i < 2; ++i) {
        SendMouse(MOUSEEVENTF_LEFTDOWN, at);
        SendMouse(MOUSEEVENTF_LEFTUP, at);
    }
    EXPECT_TRUE(testsupport::PumpUntil([&] { return log.Count(L"Click") >= 2; }, 3000));
    testsupport::PumpFor(100);
    EXPECT_EQ(log.Count(L"Click"), 2);
    // Down and up for each press, the second down arriving as a double click raises none.
    EXPECT_EQ(log.Count(L"MouseDown"), 1);
    EXPECT_EQ(log.Count(L"MouseUp"), 2);
    form->Unload();
}

TEST(CommandButtonW, AccessKeysGoThroughTheControlInfoAndMnemonicHooks) {
    auto form = NewForm();
    ShowFront(*form);
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
    testsupport::PumpFor(50);
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
    ShowFront(*form);
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
    ShowFront(*form);
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
        SendMouse(MOUSEEVENTF_LEFTDOWN, at);
        SendMouse(MOUSEEVENTF_LEFTUP, at);
        testsupport::PumpFor(250);
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

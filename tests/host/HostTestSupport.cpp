#include "tests/host/HostTestSupport.h"

#include <vector>

#include "tests/host/TestControls.h"
#include "tests/support/Pump.h"

namespace testhost {

const char kTestLayout[] = R"(PaylevixLayout 1
Begin Form FTest
    Caption = "Host test"
    ClientWidth = 6000
    ClientHeight = 4500
    BorderStyle = 1
    StartUpPosition = 2
    MinButton = False
    MaxButton = False
    Font = Font(Name = "Tahoma", Size = 9.75, Charset = 204, Weight = 400)
    Begin TestEdit txtName
        Left = 300
        Top = 300
        Width = 3000
        Height = 375
        TabIndex = 0
    End
    Begin TestLabel lblCity
        Left = 300
        Top = 900
        Width = 1200
        Height = 300
        TabIndex = 1
        Property Caption = "&City:"
    End
    Begin TestButton cmdCancel
        Left = 300
        Top = 3600
        Width = 1500
        Height = 450
        TabIndex = 4
        Cancel = True
        CausesValidation = False
        Property Caption = Utf16("Cancel")
    End
    Begin TestEdit txtCity
        Left = 1800
        Top = 900
        Width = 3000
        Height = 375
        TabIndex = 2
    End
    Begin TestButton cmdOk
        Left = 4200
        Top = 3600
        Width = 1500
        Height = 450
        TabIndex = 3
        Default = True
        Property Caption = Utf16("&OK")
        Property Ratio = Single(2.5)
    End
    Begin TestButton cmdHidden
        Left = 2250
        Top = 3600
        Width = 1500
        Height = 450
        TabIndex = 5
        Visible = False
    End
    Begin TestEdit txtNoStop
        Left = 300
        Top = 1800
        Width = 3000
        Height = 375
        TabIndex = 6
        TabStop = False
    End
End
)";

std::unique_ptr<Host::Form> NewTestForm(const char* layout) {
    RegisterTestControls();
    return Host::Form::FromText(layout, "test.layout");
}

bool ShowInFront(Host::Form& form) {
    form.Show();
    SetForegroundWindow(form.Hwnd());
    return testsupport::PumpUntil(
        [&] { return GetForegroundWindow() == form.Hwnd() && form.FocusedSite() != nullptr; },
        5000);
}

void PressKey(WORD vk, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> inputs;
    auto key = [&](WORD k, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(k, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    for (WORD m : modifiers)
        key(m, false);
    key(vk, false);
    key(vk, true);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        key(*it, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    // Input arrives asynchronously: pump until the queue has settled.
    testsupport::PumpFor(120);
}

bool MoveCursor(POINT screen) {
    // Through the input queue, as a real mouse moves it.
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    in.mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(INPUT));
    const bool there = testsupport::PumpUntil(
        [&] {
            POINT now;
            GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        },
        2000);
    // The mouse-move messages of the move come after the position: let them all arrive, so
    // that none reports an older position later.
    testsupport::PumpFor(150);
    return there;
}

void ClickScreen(POINT screen) {
    MoveCursor(screen);
    INPUT in[2]{};
    in[0].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].type = INPUT_MOUSE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
    testsupport::PumpFor(150);
}

POINT CentreOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::wstring FocusedName(Host::Form& form) {
    Host::ControlSite* site = form.FocusedSite();
    return site ? site->Name() : std::wstring();
}

}  // namespace testhost

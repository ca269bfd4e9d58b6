#include "tests/host/HostTestSupport.h"

#include "tests/host/TestControls.h"
#include "tests/support/Pump.h"
#include "tests/support/FormLayout.h"

namespace testhost {

const std::string kTestLayout = testsupport::LayoutText(
    "FTest", 6000, 4500,
    {R"(Caption = "Host test")", "BorderStyle = 1", "StartUpPosition = 2", "MinButton = False",
     "MaxButton = False",
     R"(Font = Font(Name = "Tahoma", Size = 9.75, Charset = 204, Weight = 400))"},
    {{"TestEdit", "txtName", 300, 300, 3000, 375, "TabIndex = 0"},
     {"TestLabel", "lblCity", 300, 900, 1200, 300, "TabIndex = 1\nProperty Caption = \"&City:\""},
     {"TestButton", "cmdCancel", 300, 3600, 1500, 450,
      "TabIndex = 4\nCancel = True\nCausesValidation = False\nProperty Caption = "
      "Utf16(\"Cancel\")"},
     {"TestEdit", "txtCity", 1800, 900, 3000, 375, "TabIndex = 2"},
     {"TestButton", "cmdOk", 4200, 3600, 1500, 450,
      "TabIndex = 3\nDefault = True\nProperty Caption = Utf16(\"&OK\")\nProperty Ratio = "
      "Single(2.5)"},
     {"TestButton", "cmdHidden", 2250, 3600, 1500, 450, "TabIndex = 5\nVisible = False"},
     {"TestEdit", "txtNoStop", 300, 1800, 3000, 375, "TabIndex = 6\nTabStop = False"}});

std::unique_ptr<Host::Form> NewTestForm(const std::string& layout) {
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

std::wstring FocusedName(Host::Form& form) {
    Host::ControlSite* site = form.FocusedSite();
    return site ? site->Name() : std::wstring();
}

}  // namespace testhost

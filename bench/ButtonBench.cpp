// Button benchmark: GDI and USER objects of the process around
//   1. 1,000 forms with a command button and a check box loaded, shown and unloaded;
//   2. 1,000 re-creations of a command button's window by Style and by DrawMode, and the same
//      for the check box (through the same late-bound members; a type without them is
//      measured doing nothing);
// goal: no growth.
//   button_bench.exe [cycles]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>

#include "bench/BenchReport.h"
#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "host/ControlDescription.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/GuiResources.h"

namespace {

constexpr char kLayout[] = R"(PaylevixLayout 1
Begin Form FBench
    ClientWidth = 6000
    ClientHeight = 3000
    Font = Font(Name = "Tahoma", Size = 9.75, Charset = 204)
    Begin CommandButtonW cmdBench
        Left = 150
        Top = 150
        Width = 1500
        Height = 600
        Property Caption = Utf16("&Bench")
    End
    Begin CheckBoxW chbBench
        Left = 150
        Top = 900
        Width = 3000
        Height = 420
    End
End
)";

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Assigns a 32-bit value to a member by name, as a script would: the same route for every
// button type, and nothing for a type that has no such member.
void Assign(Host::Form& form, const wchar_t* control, const wchar_t* member, LONG value) {
    IUnknown* object = form.Site(control).Object();
    ComPtr<IDispatch> dispatch;
    object->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) return;
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

// Counts around `cycles` rounds; reports the growth of each count (goal: none).
void Measure(const char* name, const char* what, int cycles,
             const std::function<void(int)>& cycle) {
    cycle(0);  // the first round makes what lives as long as the process
    Pump();
    const testsupport::GuiObjectCounts before = testsupport::CountGuiObjects();
    for (int i = 1; i <= cycles; ++i) {
        cycle(i);
        if (i % 50 == 0) Pump();
    }
    Pump();
    const testsupport::GuiObjectCounts after = testsupport::CountGuiObjects();
    char detail[256];
    std::snprintf(detail, sizeof detail, "%d %s: GDI %ld -> %ld, USER %ld -> %ld", cycles, what,
                  before.gdi, after.gdi, before.user, after.user);
    const std::string base = std::string("buttons.") + name;
    BenchReport::Figure((base + "_gdi_growth").c_str(), static_cast<double>(after.gdi - before.gdi),
                        "<= 0", detail);
    BenchReport::Figure((base + "_user_growth").c_str(),
                        static_cast<double>(after.user - before.user), "<= 0", detail);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int cycles = argc > 1 ? std::max(10, _wtoi(argv[1])) : 1000;
    OleInitialize(nullptr);
    ControlTypes::Register<CommandButtonW>(CommandButtonW::kTypeName);
    ControlTypes::Register<CheckBoxW>(CheckBoxW::kTypeName);
    {
        auto form = Host::Form::FromText(kLayout, "bench.layout");
        Measure("create_destroy",
                "forms with a command button and a check box created and destroyed", cycles,
                [&](int) {
                    form->Show();
                    UpdateWindow(form->Hwnd());
                    form->Unload();
                });
    }
    {
        auto form = Host::Form::FromText(kLayout, "bench.layout");
        form->Show();
        // The check box takes its place here once it re-creates its window for these too.
        for (const wchar_t* control : {L"cmdBench", L"chbBench"}) {
            for (const wchar_t* member : {L"Style", L"DrawMode"}) {
                char name[64], what[128];
                std::snprintf(name, sizeof name, "%ls_%ls", control, member);
                std::snprintf(what, sizeof what, "re-creations of %ls by %ls", control, member);
                Measure(name, what, cycles, [&](int i) {
                    Assign(*form, control, member, i % 2);
                    UpdateWindow(form->Hwnd());
                });
            }
        }
        form->Unload();
    }
    OleUninitialize();
    return 0;
}

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
#include "tests/support/FormLayout.h"

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FBench", 6000, 3000, {testsupport::kTahoma},
    {{"CommandButtonW", "cmdBench", 150, 150, 1500, 600, "Property Caption = Utf16(\"&Bench\")"},
     {"CheckBoxW", "chbBench", 150, 900, 3000, 420}});

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
template <class Cycle>
void Measure(const char* name, const char* what, int cycles, Cycle&& cycle) {
    BenchReport::GrowthEach(std::string("buttons.") + name, cycles, what,
                            BenchReport::CountAround(cycles, cycle));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int cycles = argc > 1 ? std::max(10, _wtoi(argv[1])) : 1000;
    OleInitialize(nullptr);
    {
        auto form = testsupport::FormOf<CommandButtonW, CheckBoxW>(kLayout);
        Measure("create_destroy",
                "forms with a command button and a check box created and destroyed", cycles,
                [&](int) {
                    form->Show();
                    UpdateWindow(form->Hwnd());
                    form->Unload();
                });
    }
    {
        auto form = testsupport::FormOf<CommandButtonW, CheckBoxW>(kLayout);
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

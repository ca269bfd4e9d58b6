// Buttons' drawing benchmark, one run:
//   1. GDI and USER objects of the process around 1,000 split-glyph assignments, 1,000 style
//      toggles (graphical and back, each a new window), 1,000 refreshes of a transparent
//      button and 1,000 refreshes of a checked graphical check box, each painted (goal: no
//      growth);
//   2. the median time to paint a graphical command button (picture and caption) and an
//      owner-drawn one (its owner fills and writes the face) against the system's own push
//      button, each rendered the same way into the same memory bitmap in alternating
//      batches (goal: at most 1.5 times as long).
//   button_draw_bench.exe [batches]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <vector>

#include "controls/base/Handles.h"
#include "controls/base/VisualStyles.h"
#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "bench/BenchReport.h"
#include "tests/support/ComCtlVersion.h"
#include "tests/support/GuiResources.h"
#include "tests/support/Pictures.h"
#include "tests/support/FormLayout.h"

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FBench", 6000, 4500, {testsupport::kTahoma},
    {{"CommandButtonW", "cmdSystem", 150, 150, 1800, 900, "Property Caption = Utf16(\"Install\")"},
     {"CommandButtonW", "cmdGraphical", 2100, 150, 1800, 900,
      "Property Caption = Utf16(\"Install\")\nProperty Style = 1"},
     {"CommandButtonW", "cmdOwner", 4050, 150, 1800, 900,
      "Property Caption = Utf16(\"Install\")\nProperty DrawMode = 1"},
     {"CommandButtonW", "cmdSplit", 150, 1200, 1800, 900, "Property SplitButton = True"},
     {"CommandButtonW", "cmdTransparent", 2100, 1200, 1800, 900, "Property Transparent = True"},
     {"CheckBoxW", "chkGraphical", 4050, 1200, 1800, 900,
      "Property Style = 1\nProperty Value = 1"}});

using BenchReport::Median;
using BenchReport::Now;

// Objects of the process gained over 1,000 steps (GDI and USER together).
template <class Step>
void Growth(const char* name, const char* what, Step&& step) {
    BenchReport::Growth(name, 1000, what, BenchReport::CountAround(1000, [&](int) { step(); }));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int batches = argc > 1 ? std::max(3, _wtoi(argv[1])) : 15;
    constexpr int kPerBatch = 40;
    OleInitialize(nullptr);
    // Wine's library says 5.81: the split glyph needs what a version 6.1 library answers.
    auto comctl = std::make_unique<testsupport::ComCtlVersion>(6, 10);
    auto form = testsupport::FormOf<CommandButtonW, CheckBoxW>(kLayout);
    form->On(L"cmdOwner", L"OwnerDraw", [](Host::Event& e) {
        auto dc = reinterpret_cast<HDC>(static_cast<INT_PTR>(e.Arg(3).ToInt32()));
        RECT r{e.Arg(4).ToInt32(), e.Arg(5).ToInt32(), e.Arg(6).ToInt32(), e.Arg(7).ToInt32()};
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"Install", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    });
    form->Show(Host::ShowMode::Modeless);
    BenchReport::Pump();

    auto& split = form->ControlAs<CommandButtonW>(L"cmdSplit");
    auto& transparent = form->ControlAs<CommandButtonW>(L"cmdTransparent");
    auto& check = form->ControlAs<CheckBoxW>(L"chkGraphical");
    auto& graphical = form->ControlAs<CommandButtonW>(L"cmdGraphical");
    auto glyph =
        testsupport::AsPictureDisp(testsupport::BitmapPicture(12, 10, RGB(255, 0, 0)).Get());
    auto picture =
        testsupport::AsPictureDisp(testsupport::BitmapPicture(24, 24, RGB(0, 0, 255)).Get());
    graphical.SetPicture(picture);

    Growth("buttons.objects_after_split_glyphs", "split-glyph assignments",
           [&] { split.SetSplitButtonGlyph(glyph); });
    Growth("buttons.objects_after_style_toggles", "style toggles (graphical and back)", [&] {
        split.SetStyle(1);
        split.SetStyle(0);
    });
    Growth("buttons.objects_after_transparent_refreshes", "refreshes of a transparent button",
           [&] { transparent.Refresh(); });
    Growth("buttons.objects_after_checked_refreshes", "refreshes of a checked graphical check box",
           [&] { check.Refresh(); });

    // Paint time: the same memory bitmap, WM_PRINTCLIENT to each button window in turn.
    HWND windows[] = {form->ControlAs<CommandButtonW>(L"cmdSystem").hWnd(), graphical.hWnd(),
                      form->ControlAs<CommandButtonW>(L"cmdOwner").hWnd()};
    RECT size{};
    GetClientRect(windows[0], &size);
    UniqueMemoryDC memory;
    UniqueBitmap bitmap;
    {
        WindowDC screen;
        memory.Reset(CreateCompatibleDC(screen.Get()));
        bitmap.Reset(CreateCompatibleBitmap(screen.Get(), size.right, size.bottom));
    }
    SelectedObject selected(memory.Get(), bitmap.Get());
    std::vector<double> times[3];
    for (int b = 0; b < batches; ++b) {
        for (int k = 0; k < 3; ++k) {
            const double start = Now();
            for (int i = 0; i < kPerBatch; ++i)
                SendMessageW(windows[k], WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.Get()),
                             PRF_CLIENT | PRF_ERASEBKGND);
            GdiFlush();
            times[k].push_back((Now() - start) / kPerBatch);
        }
    }
    const double system = Median(times[0]);
    const struct {
        const char* name;
        const char* what;
    } figures[] = {
        {"buttons.paint_graphical_vs_system", "graphical button (picture and caption)"},
        {"buttons.paint_owner_drawn_vs_system", "owner-drawn button (OwnerDraw fills and writes)"},
    };
    for (int k = 1; k < 3; ++k) {
        char detail[200];
        std::snprintf(detail, sizeof(detail),
                      "%s %.4f ms against the system push button %.4f ms, medians of %d batches "
                      "of %d",
                      figures[k - 1].what, Median(times[k]), system, batches, kPerBatch);
        BenchReport::Figure(figures[k - 1].name, Median(times[k]) / system, "<= 1.5", detail);
    }

    form->Unload();
    form.reset();
    comctl.reset();
    OleUninitialize();
    return 0;
}

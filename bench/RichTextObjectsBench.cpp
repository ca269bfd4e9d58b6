// Rich text box objects benchmark: GDI and USER objects of the process (goal: no growth)
//   1. around 1,000 forms loaded, shown and unloaded with a rich text box holding an embedded
//      picture;
//   2. around 1,000 re-creations of the window of one box holding an embedded picture.
// Also the OLE callback objects alive before and after (goal: the same).
//   rich_text_objects_bench.exe [cycles]
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/RichTextOleCallback.h"
#include "host/ControlTypes.h"
#include "bench/BenchReport.h"
#include "host/Form.h"
#include "tests/support/GuiResources.h"
#include "tests/support/Pictures.h"
#include "tests/support/FormLayout.h"

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FBench", 6000, 4500, {}, {{"RichTextBox", "rtbText", 150, 150, 4500, 3000}});

ComPtr<IPictureDisp> Bitmap() {
    return testsupport::AsPictureDisp(testsupport::BitmapPicture(32, 32, 0).Get());
}

// GDI and USER objects around `cycles` rounds (goal: no growth), and the callback objects.
template <class Cycle>
void Measure(const char* name, const char* what, int cycles, Cycle&& cycle) {
    LONG liveBefore = 0;
    const BenchReport::Objects objects = BenchReport::CountAround(cycles, [&](int i) {
        cycle(i);
        if (i == 0) liveBefore = RichTextOleCallback::LiveObjects();
    });
    std::printf("%d %s: callback objects %ld -> %ld\n", cycles, what, liveBefore,
                RichTextOleCallback::LiveObjects());
    BenchReport::GrowthEach(name, cycles, what, objects);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int cycles = argc > 1 ? std::max(10, _wtoi(argv[1])) : 1000;
    OleInitialize(nullptr);
    {
        auto form = testsupport::FormOf<RichTextBox>(kLayout);
        Measure("rich_text_picture_forms",
                "forms with a rich text box holding a picture, shown and unloaded", cycles,
                [&](int) {
                    form->Show();
                    form->ControlAs<RichTextBox>(L"rtbText").OLEObjectsAddFromPicture(Bitmap());
                    UpdateWindow(form->Hwnd());
                    form->Unload();
                });
    }
    {
        auto form = testsupport::FormOf<RichTextBox>(kLayout);
        form->Show();
        auto& box = form->ControlAs<RichTextBox>(L"rtbText");
        box.OLEObjectsAddFromPicture(Bitmap());
        Measure("rich_text_picture_recreations",
                "re-creations of a rich text box holding a picture", cycles, [&](int i) {
                    box.SetScrollBars(i % 4);
                    if (box.OLEObjectsCount() == 0) box.OLEObjectsAddFromPicture(Bitmap());
                    UpdateWindow(form->Hwnd());
                });
        form->Unload();
    }
    OleUninitialize();
    return 0;
}

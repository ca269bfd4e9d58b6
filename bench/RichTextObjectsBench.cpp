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

namespace {

constexpr char kLayout[] = R"(PaylevixLayout 1
Begin Form FBench
    ClientWidth = 6000
    ClientHeight = 4500
    Begin RichTextBox rtbText
        Left = 150
        Top = 150
        Width = 4500
        Height = 3000
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

ComPtr<IPictureDisp> Bitmap() {
    const HDC screen = GetDC(nullptr);
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    ComPtr<IPictureDisp> picture;
    OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.PutVoid());
    return picture;
}

template <class Cycle>
void Measure(const char* name, const char* what, int cycles, Cycle&& cycle) {
    cycle(0);  // the first round makes what lives as long as the process
    Pump();
    const LONG liveBefore = RichTextOleCallback::LiveObjects();
    const testsupport::GuiObjectCounts before = testsupport::CountGuiObjects();
    for (int i = 1; i <= cycles; ++i) {
        cycle(i);
        if (i % 50 == 0) Pump();
    }
    Pump();
    const testsupport::GuiObjectCounts after = testsupport::CountGuiObjects();
    std::printf("%d %s: GDI %ld -> %ld, USER %ld -> %ld, callback objects %ld -> %ld\n", cycles,
                what, before.gdi, after.gdi, before.user, after.user, liveBefore,
                RichTextOleCallback::LiveObjects());
    BenchReport::Figure((std::string(name) + "_gdi_growth").c_str(),
                        static_cast<double>(after.gdi - before.gdi), "<= 0", what);
    BenchReport::Figure((std::string(name) + "_user_growth").c_str(),
                        static_cast<double>(after.user - before.user), "<= 0", what);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int cycles = argc > 1 ? std::max(10, _wtoi(argv[1])) : 1000;
    OleInitialize(nullptr);
    ControlTypes::Register<RichTextBox>(RichTextBox::kTypeName);
    {
        auto form = Host::Form::FromText(kLayout, "bench.layout");
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
        auto form = Host::Form::FromText(kLayout, "bench.layout");
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

// Label benchmark, one run:
//   1. painting a label of 1,000 characters, word-wrapped with an end ellipsis, against a bare
//      DrawTextW of the same text with the same flags into the same memory bitmap (goal: at
//      most 1.3 times as long), in alternating batches, medians compared;
//   2. GDI and USER objects of the process around 1,000 forms loaded and unloaded with a label
//      on each, and around 1,000 font changes of a label that sizes itself (goal: no growth).
//   label_bench.exe [batches]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchReport.h"
#include "controls/label/LabelW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/GuiResources.h"
#include "tests/support/FormLayout.h"

namespace {

const std::string kLayout =
    testsupport::LayoutText("FBench", 6000, 4500, {testsupport::kTahoma},
                            {{"LabelW", "lblText", 150, 150, 4500, 1800,
                              "Property WordWrap = True\nProperty EllipsisFormat = 1"}});

using BenchReport::Median;
using BenchReport::Now;

std::wstring Text(size_t length) {
    std::wstring text;
    const wchar_t* words[] = {L"label ", L"text ", L"wrapped ", L"Unicode ", L"ellipsis ", L"at "};
    for (size_t i = 0; text.size() < length; ++i)
        text += words[i % 6];
    text.resize(length);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int batches = argc > 1 ? std::max(3, _wtoi(argv[1])) : 15;
    constexpr int kPerBatch = 50;
    OleInitialize(nullptr);

    // --- 1. painting ------------------------------------------------------------------------
    {
        auto form = testsupport::FormOf<LabelW>(kLayout);
        form->Show();
        auto& label = form->ControlAs<LabelW>(L"lblText");
        const std::wstring text = Text(1000);
        label.SetCaption(text);
        Host::ControlSite& site = form->Site(L"lblText");
        const int w = site.ScaleWidth();
        const int h = site.ScaleHeight();
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldFont = SelectObject(dc, site.PaintFont());
        SetBkMode(dc, TRANSPARENT);
        const Host::PaintSurface surface{dc, w, h};
        auto paintLabel = [&] { label.Paint(surface); };
        auto paintBare = [&] {
            // What the label must do at the least: a copy the system may shorten, and the text.
            std::wstring buffer = text;
            buffer.append(4, L'\0');
            RECT r{0, 0, w, h};
            DrawTextW(dc, buffer.data(), -1, &r,
                      DT_NOCLIP | DT_WORDBREAK | DT_END_ELLIPSIS | DT_MODIFYSTRING);
        };
        paintLabel();
        paintBare();
        std::vector<double> labelTimes, bareTimes;
        for (int b = 0; b < batches; ++b) {
            double t = Now();
            for (int i = 0; i < kPerBatch; ++i)
                paintLabel();
            labelTimes.push_back((Now() - t) / kPerBatch);
            t = Now();
            for (int i = 0; i < kPerBatch; ++i)
                paintBare();
            bareTimes.push_back((Now() - t) / kPerBatch);
        }
        const double labelMs = Median(labelTimes);
        const double bareMs = Median(bareTimes);
        std::printf("paint of 1,000 characters, wrapped, end ellipsis (median of %d x %d):\n",
                    batches, kPerBatch);
        std::printf("  LabelW::Paint %.3f ms, bare DrawTextW %.3f ms, ratio %.2f (goal <= 1.30)\n",
                    labelMs, bareMs, bareMs > 0 ? labelMs / bareMs : 0.0);
        std::printf("  shown: %zu of %zu characters\n", label.DisplayedCaption().size(),
                    text.size());
        char detail[200];
        std::snprintf(detail, sizeof detail,
                      "painting 1,000 characters wrapped with an end ellipsis: LabelW::Paint %.3f "
                      "ms, bare DrawTextW %.3f ms (median of %d alternating batches of %d)",
                      labelMs, bareMs, batches, kPerBatch);
        BenchReport::Figure("label.paint", bareMs > 0 ? labelMs / bareMs : 0.0, "<= 1.30", detail);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        form->Unload();
    }

    // --- 2. objects -------------------------------------------------------------------------
    {
        auto form = testsupport::FormOf<LabelW>(kLayout);
        BenchReport::Growth("label.objects_after_1000_forms", 1000,
                            "forms with a label loaded, painted and unloaded",
                            BenchReport::CountAround(1000, [&](int) {
                                form->Show();
                                form->ControlAs<LabelW>(L"lblText").SetMousePointer(4);
                                UpdateWindow(form->Hwnd());
                                form->Unload();
                            }));
    }
    {
        auto form = testsupport::FormOf<LabelW>(kLayout);
        form->Show();
        auto& label = form->ControlAs<LabelW>(L"lblText");
        label.SetAutoSize(true);
        UpdateWindow(form->Hwnd());
        const auto objects = BenchReport::CountAround(1000, [&](int i) {
            ComPtr<IFont> font;
            label.Font()->QueryInterface(IID_IFont, reinterpret_cast<void**>(font.Put()));
            CY size{};
            size.int64 = (8 + i % 10) * 10000;
            if (i % 2 == 0) {
                font->put_Size(size);  // a change inside the font object
            } else {
                ComPtr<IFont> copy;
                font->Clone(copy.Put());
                copy->put_Size(size);
                ComPtr<IFontDisp> disp;
                copy->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(disp.Put()));
                label.SetFont(disp);  // a new font object
            }
            UpdateWindow(form->Hwnd());
        });
        BenchReport::Growth("label.objects_after_1000_font_changes", 1000,
                            "font changes of a self-sizing label", objects);
        form->Unload();
    }
    OleUninitialize();
    return 0;
}

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

namespace {

constexpr char kLayout[] = R"(PaylevixLayout 1
Begin Form FBench
    ClientWidth = 6000
    ClientHeight = 4500
    Font = Font(Name = "Tahoma", Size = 9.75, Charset = 204)
    Begin LabelW lblText
        Left = 150
        Top = 150
        Width = 4500
        Height = 1800
        Property WordWrap = True
        Property EllipsisFormat = 1
    End
End
)";

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring Text(size_t length) {
    std::wstring text;
    const wchar_t* words[] = {L"label ", L"text ", L"wrapped ", L"Unicode ", L"ellipsis ", L"at "};
    for (size_t i = 0; text.size() < length; ++i)
        text += words[i % 6];
    text.resize(length);
    return text;
}

// GDI and USER objects gained over many cycles: the goal is none.
void ReportGrowth(const char* name, const char* what, const testsupport::GuiObjectCounts& before,
                  const testsupport::GuiObjectCounts& after) {
    char detail[200];
    std::snprintf(detail, sizeof detail, "%s: GDI %ld -> %ld, USER %ld -> %ld objects", what,
                  before.gdi, after.gdi, before.user, after.user);
    const long grown =
        std::max(0L, after.gdi - before.gdi) + std::max(0L, after.user - before.user);
    BenchReport::Figure(name, static_cast<double>(grown), "<= 0", detail);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int batches = argc > 1 ? std::max(3, _wtoi(argv[1])) : 15;
    constexpr int kPerBatch = 50;
    OleInitialize(nullptr);
    ControlTypes::Register<LabelW>(LabelW::kTypeName);

    // --- 1. painting ------------------------------------------------------------------------
    {
        auto form = Host::Form::FromText(kLayout, "bench.layout");
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
        auto form = Host::Form::FromText(kLayout, "bench.layout");
        auto cycle = [&] {
            form->Show();
            form->ControlAs<LabelW>(L"lblText").SetMousePointer(4);
            UpdateWindow(form->Hwnd());
            form->Unload();
        };
        cycle();  // the first round makes what lives as long as the process
        Pump();
        const testsupport::GuiObjectCounts before = testsupport::CountGuiObjects();
        for (int i = 0; i < 1000; ++i) {
            cycle();
            if (i % 50 == 0) Pump();
        }
        Pump();
        const testsupport::GuiObjectCounts after = testsupport::CountGuiObjects();
        std::printf(
            "1,000 forms with a label loaded, painted and unloaded: GDI %ld -> %ld, USER "
            "%ld -> %ld\n",
            before.gdi, after.gdi, before.user, after.user);
        ReportGrowth("label.objects_after_1000_forms",
                     "1,000 forms with a label loaded, painted and unloaded", before, after);
    }
    {
        auto form = Host::Form::FromText(kLayout, "bench.layout");
        form->Show();
        auto& label = form->ControlAs<LabelW>(L"lblText");
        label.SetAutoSize(true);
        UpdateWindow(form->Hwnd());
        Pump();
        const testsupport::GuiObjectCounts before = testsupport::CountGuiObjects();
        for (int i = 0; i < 1000; ++i) {
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
        }
        Pump();
        const testsupport::GuiObjectCounts after = testsupport::CountGuiObjects();
        std::printf("1,000 font changes of a self-sizing label: GDI %ld -> %ld, USER %ld -> %ld\n",
                    before.gdi, after.gdi, before.user, after.user);
        ReportGrowth("label.objects_after_1000_font_changes",
                     "1,000 font changes of a self-sizing label", before, after);
        form->Unload();
    }
    OleUninitialize();
    return 0;
}

// Host services for objects and painting beyond a form's own controls: events of objects
// that are not sited, and painting a form into a device context the caller gives.
#include <windows.h>

#include <gtest/gtest.h>

#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "host/Events.h"
#include "host/Form.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"

using namespace testhost;
using Host::EventArg;

TEST(EventSource, RaisesToItsOwnersHandlersAndReadsByReferenceArgumentsBack) {
    Host::EventSource source(L"dlgFind");
    std::vector<std::wstring> seen;
    source.On(L"FINDNEXT", [&](Host::Event& e) {
        seen.push_back(L"FindNext");
        EXPECT_EQ(e.SourceName(), L"dlgFind");
        EXPECT_EQ(e.Name(), L"FindNext");
        EXPECT_EQ(e.Id(), 3);
        EXPECT_EQ(e.GetForm(), nullptr);
        EXPECT_EQ(e.Source(), nullptr);
        EXPECT_EQ(e.StringArg(0), L"before");
        e.SetArg(0, std::wstring_view(L"после"));
        e.SetArg(1, std::wstring_view(L"7"));           // converted to the argument's own type
        EXPECT_THROW(e.SetArg(2, true), ControlError);  // passed by value
    });
    source.OnAny([&](Host::Event& e) {
        seen.push_back(L"any " + std::wstring(e.Name()));
        if (e.Name() == L"FindNext") {
            EXPECT_EQ(e.Int32Arg(1), 7);  // after the specific handler
        }
    });
    EXPECT_TRUE(source.HasHandlers(L"findnext"));

    std::wstring text = L"before";
    int32_t flags = 1;
    source.Raise(L"FindNext", 3, EventArg::ByRef(text), EventArg::ByRef(flags),
                 EventArg::ByVal(false));
    EXPECT_EQ(text, L"после");
    EXPECT_EQ(flags, 7);
    source.Raise(L"Help", 4);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"FindNext", L"any FindNext", L"any Help"}));

    // Frozen, nothing is delivered; cleared, nobody listens.
    seen.clear();
    source.Freeze();
    source.Raise(L"FindNext", 3, EventArg::ByRef(text), EventArg::ByRef(flags),
                 EventArg::ByVal(false));
    source.Unfreeze();
    EXPECT_TRUE(seen.empty());
    source.Clear();
    EXPECT_FALSE(source.HasHandlers(L"FindNext"));
    source.Raise(L"Help", 4);
    EXPECT_TRUE(seen.empty());
}

TEST(EventSource, AHandlerErrorStopsTheOtherHandlersAndIsReportedNotThrown) {
    Host::EventSource source(L"dlg");
    bool secondRan = false;
    source.On(L"Close", [](Host::Event& e) {
        e.SetArg(0, true);
        ControlErrors::Raise(380);
    });
    source.On(L"Close", [&](Host::Event&) { secondRan = true; });
    testsupport::MessageBoxCatcher catcher;
    bool cancel = false;
    EXPECT_NO_THROW(source.Raise(L"Close", 1, EventArg::ByRef(cancel)));
    EXPECT_FALSE(secondRan);
    EXPECT_TRUE(cancel);  // what the handler set before it failed is read back
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Run-time error '380':\r\n\r\nInvalid property value");
}

TEST(EventSource, AFormUnloadedFromAnObjectsHandlerGoesOnlyAfterTheEventReturns) {
    auto form = NewTestForm();
    form->Show();
    const HWND hwnd = form->Hwnd();
    Host::EventSource source(L"dlg");
    bool windowDuringHandler = false;
    source.On(L"Done", [&](Host::Event&) {
        EXPECT_EQ(Host::EventsInProgress(), 1);
        EXPECT_TRUE(form->Unload());
        windowDuringHandler = IsWindow(hwnd) && form->FindSite(L"cmdOk") != nullptr;
    });
    source.Raise(L"Done", 1);
    EXPECT_TRUE(windowDuringHandler);
    EXPECT_EQ(Host::EventsInProgress(), 0);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_FALSE(form->Loaded());
}

namespace {

constexpr COLORREF kLabelColour = RGB(200, 0, 0);
constexpr COLORREF kMarker = RGB(0, 0, 200);

// A memory bitmap of `size` filled with kMarker, selected into its own context.
struct Canvas {
    WindowDC screen;
    UniqueMemoryDC dc{CreateCompatibleDC(screen.Get())};
    UniqueBitmap bitmap;
    SelectedObject selected;
    explicit Canvas(SIZE size)
        : bitmap(CreateCompatibleBitmap(screen.Get(), size.cx, size.cy)),
          selected(dc.Get(), bitmap.Get()) {
        RECT r{0, 0, size.cx, size.cy};
        UniqueBrush brush(CreateSolidBrush(kMarker));
        FillRect(dc.Get(), &r, brush.Get());
    }
    COLORREF At(int x, int y) const { return GetPixel(dc.Get(), x, y); }
};

}  // namespace

TEST(FormPainting, PaintsIntoAGivenContextWithTheWindowlessControls) {
    auto form = NewTestForm();
    form->Show();
    Host::ControlSite& site = form->Site(L"lblCity");
    site.SetBackStyle(1);
    site.SetBackColor(kLabelColour);
    const RECT label = site.Bounds();
    const COLORREF background = GetSysColor(COLOR_BTNFACE);  // the form's BackColor
    ASSERT_NE(background, kLabelColour);
    RECT client;
    GetClientRect(form->Hwnd(), &client);
    auto& control = form->ControlAs<TestLabel>(L"lblCity");

    // The whole client area, as a test renders a form.
    {
        Canvas canvas({client.right, client.bottom});
        const int paints = control.Paints();
        SendMessageW(form->Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc.Get()),
                     PRF_CLIENT | PRF_ERASEBKGND);
        EXPECT_GT(control.Paints(), paints);
        EXPECT_EQ(canvas.At(label.left + 1, label.bottom - 2), kLabelColour);
        EXPECT_EQ(canvas.At(label.right + 2, label.top + 1), background);
        EXPECT_EQ(canvas.At(2, 2), background);
    }
    // Without PRF_ERASEBKGND only the controls are drawn.
    {
        Canvas canvas({client.right, client.bottom});
        SendMessageW(form->Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc.Get()),
                     PRF_CLIENT);
        EXPECT_EQ(canvas.At(label.left + 1, label.bottom - 2), kLabelColour);
        EXPECT_EQ(canvas.At(2, 2), kMarker);
    }
    // WM_PAINT with a context whose origin the caller moved, as a transparent control copies
    // what lies behind it: a 20 by 10 piece straddling the label's left edge.
    {
        Canvas canvas({20, 10});
        SetViewportOrgEx(canvas.dc.Get(), -(label.left - 10), -label.top, nullptr);
        SendMessageW(form->Hwnd(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.dc.Get()), 0);
        SetViewportOrgEx(canvas.dc.Get(), 0, 0, nullptr);
        EXPECT_EQ(canvas.At(5, 5), background);
        EXPECT_EQ(canvas.At(15, 5), kLabelColour);
    }
    form->Unload();
}

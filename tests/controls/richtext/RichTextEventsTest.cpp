// The rich text box's events on a real form with real input: their identifiers and order,
// by-reference arguments acted on, the keyboard calls of the container, focus with
// validation and in-place activation, the context menu, the window's notifications, and the
// input method modes through a recorder in front of imm32.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/RichTextIme.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/FormFrame.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"
#include "tests/support/ComCtlVersion.h"
#include "tests/support/Pump.h"
#include "tests/support/FormLayout.h"

using namespace testhost;

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FEvents", 6000, 4500, {"StartUpPosition = 2"},
    {{"TestEdit", "txtOther", 300, 300, 3000, 375, "TabIndex = 0"},
     {"RichTextBox", "rtbText", 300, 900, 4500, 2400, "TabIndex = 1\nProperty MultiLine = True"}});

class RichTextEvents : public ::testing::Test {
protected:
    void SetUp() override {
        ControlTypes::Register<RichTextBox>(RichTextBox::kTypeName);
        form_ = NewTestForm(kLayout);
        form_->OnAnyEvent([this](Host::Event& e) {
            if (e.Source() && e.Source()->Name() == L"rtbText") {
                events_.push_back(std::wstring(e.Name()) + L" " + std::to_wstring(e.Id()));
            }
        });
        ASSERT_TRUE(ShowInFront(*form_));
        box_ = &form_->ControlAs<RichTextBox>(L"rtbText");
    }
    void TearDown() override {
        form_->Unload();
        testsupport::PumpFor(20);
    }
    void FocusBox() {
        ClickScreen(CentreOf(box_->hWnd()));
        ASSERT_TRUE(testsupport::PumpUntil([&] { return GetFocus() == box_->hWnd(); }));
        events_.clear();
    }
    bool Saw(const std::wstring& name) const {
        for (const auto& e : events_)
            if (e.rfind(name + L" ", 0) == 0) return true;
        return false;
    }
    std::vector<std::wstring> Named(std::initializer_list<std::wstring> names) const {
        std::vector<std::wstring> out;
        for (const auto& e : events_)
            for (const auto& n : names)
                if (e.rfind(n + L" ", 0) == 0) out.push_back(e);
        return out;
    }

    std::unique_ptr<Host::Form> form_;
    RichTextBox* box_ = nullptr;
    std::vector<std::wstring> events_;
};

}  // namespace

TEST(RichTextBoxEvents, AreDeclaredWithTheirIdentifiers) {
    ControlTypes::Register<RichTextBox>(RichTextBox::kTypeName);
    const std::map<std::wstring, DISPID> expected = {
        {L"Click", -600},
        {L"DblClick", -601},
        {L"KeyDown", -602},
        {L"KeyPress", -603},
        {L"KeyUp", -604},
        {L"MouseDown", -605},
        {L"MouseMove", -606},
        {L"MouseUp", -607},
        {L"Change", 1},
        {L"MaxText", 2},
        {L"SelChange", 3},
        {L"LinkEvent", 4},
        {L"ModifyProtected", 5},
        {L"Scroll", 6},
        {L"ContextMenu", 7},
        {L"PreviewKeyDown", 8},
        {L"PreviewKeyUp", 9},
        {L"MouseEnter", 10},
        {L"MouseLeave", 11},
        {L"OLECompleteDrag", 12},
        {L"OLEGetDropEffect", 13},
        {L"OLEStartDrag", 14},
        {L"OLEGetContextMenu", 15},
        {L"OLEContextMenuClick", 16},
        {L"OLEDeleteObject", 17},
    };
    std::map<std::wstring, DISPID> declared;
    for (const Host::EventInfo& e : ControlTypes::Describe(L"RichTextBox")->events)
        declared[std::wstring(e.name)] = e.id;
    EXPECT_EQ(declared, expected);
}

TEST_F(RichTextEvents, KeyEventsComeInOrderAndTheirChangesAreActedOn) {
    FocusBox();
    form_->On(L"rtbText", L"KeyPress", [](Host::Event& e) {
        if (e.Int16Arg(0) == 'a') e.SetArg(0, int32_t{'b'});  // mapped
        if (e.Int16Arg(0) == 'c') e.SetArg(0, int32_t{0});    // swallowed
    });
    PressKey('A');
    EXPECT_EQ(Named({L"KeyDown", L"KeyPress", L"KeyUp"}),
              (std::vector<std::wstring>{L"KeyDown -602", L"KeyPress -603", L"KeyUp -604"}));
    PressKey('C');
    PressKey('D');
    EXPECT_EQ(box_->Text(), L"bd");

    // A KeyCode of 0 from KeyDown reaches the window as 0: Delete deletes nothing.
    SendMessageW(box_->hWnd(), EM_SETSEL, 0, 0);
    bool zero = true;
    form_->On(L"rtbText", L"KeyDown", [&](Host::Event& e) {
        if (zero) e.SetArg(0, int32_t{0});
    });
    PressKey(VK_DELETE);
    EXPECT_EQ(box_->Text(), L"bd");
    zero = false;
    PressKey(VK_DELETE);
    EXPECT_EQ(box_->Text(), L"d");
}

TEST_F(RichTextEvents, OnlyAPlainInsertSwitchesOverType) {
    FocusBox();
    EXPECT_FALSE(box_->OverTypeMode());
    PressKey(VK_INSERT, {VK_SHIFT});
    PressKey(VK_INSERT, {VK_CONTROL});
    EXPECT_FALSE(box_->OverTypeMode());
    PressKey(VK_INSERT);
    EXPECT_TRUE(box_->OverTypeMode());
    PressKey(VK_INSERT);
    EXPECT_FALSE(box_->OverTypeMode());
    box_->SetAllowOverType(false);
    PressKey(VK_INSERT);
    EXPECT_FALSE(box_->OverTypeMode());
}

TEST_F(RichTextEvents, CharactersBeyondTheBasicPlaneArriveAsSurrogatePairs) {
    FocusBox();
    EXPECT_EQ(SendMessageW(box_->hWnd(), WM_UNICHAR, UNICODE_NOCHAR, 0), 1);
    SendMessageW(box_->hWnd(), WM_UNICHAR, 0x1F600, 0);
    SendMessageW(box_->hWnd(), WM_UNICHAR, L'x', 0);
    EXPECT_EQ(box_->Text(), L"\xD83D\xDE00x");
    EXPECT_EQ(Named({L"KeyPress"}).size(), 3u);
}

TEST_F(RichTextEvents, TabReachesTheTextOnlyWhenPreviewKeyDownWantsIt) {
    FocusBox();
    bool want = false;
    std::vector<int> previewed;
    form_->On(L"rtbText", L"PreviewKeyDown", [&](Host::Event& e) {
        previewed.push_back(e.Int16Arg(0));
        if (want) e.SetArg(1, true);
    });
    want = true;
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), box_->hWnd());
    EXPECT_EQ(box_->Text(), L"\t");
    // The arrow keys always reach the window.
    PressKey(VK_LEFT);
    CHARRANGE sel{};
    SendMessageW(box_->hWnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    EXPECT_EQ(sel.cpMin, 0);
    want = false;
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(*form_), L"txtOther");
    EXPECT_EQ(box_->Text(), L"\t");
    EXPECT_EQ(previewed, (std::vector<int>{VK_TAB, VK_LEFT, VK_TAB}));
}

TEST_F(RichTextEvents, ControlInformationEatsReturnWhenMultiLineWantsIt) {
    ComPtr<IOleControl> control;
    form_->Site(L"rtbText").Object()->QueryInterface(IID_IOleControl, control.PutVoid());
    ASSERT_TRUE(control);
    CONTROLINFO info{};
    info.cb = sizeof(info);
    control->GetControlInfo(&info);
    EXPECT_EQ(info.dwFlags & CTRLINFO_EATS_RETURN, static_cast<DWORD>(CTRLINFO_EATS_RETURN));
    box_->SetWantReturn(false);
    info = CONTROLINFO{};
    info.cb = sizeof(info);
    control->GetControlInfo(&info);
    EXPECT_EQ(info.dwFlags & CTRLINFO_EATS_RETURN, 0u);
}

TEST_F(RichTextEvents, AClickValidatesTheFocusedControlAndActivatesInPlace) {
    ClickScreen(CentreOf(form_->ControlAs<TestEdit>(L"txtOther").EditHwnd()));
    ASSERT_EQ(FocusedName(*form_), L"txtOther");
    bool refuse = true;
    int validations = 0;
    form_->On(L"txtOther", L"Validate", [&](Host::Event& e) {
        ++validations;
        if (refuse) e.SetArg(0, true);
    });
    events_.clear();
    ClickScreen(CentreOf(box_->hWnd()));
    EXPECT_EQ(validations, 1);
    EXPECT_EQ(FocusedName(*form_), L"txtOther");
    EXPECT_FALSE(Saw(L"MouseDown"));  // the press was eaten; its release still comes
    events_.clear();

    refuse = false;
    // Elsewhere in the box, so that the second click is not taken for a double click.
    POINT elsewhere = CentreOf(box_->hWnd());
    elsewhere.x += 3 * GetSystemMetrics(SM_CXDOUBLECLK);
    ClickScreen(elsewhere);
    EXPECT_EQ(GetFocus(), box_->hWnd());
    EXPECT_EQ(Named({L"MouseDown", L"MouseUp", L"Click"}),
              (std::vector<std::wstring>{L"MouseDown -605", L"MouseUp -607", L"Click -600"}));
    // The frame holds the control as its active object while the box has the focus.
    auto* frame = static_cast<Host::FormFrame*>(form_->Frame());
    HWND active = nullptr;
    ASSERT_TRUE(frame->ActiveObject());
    frame->ActiveObject()->GetWindow(&active);
    EXPECT_EQ(active, box_->hWndUserControl());
}

TEST_F(RichTextEvents, MouseEventsClickOnlyInsideAndTrackEnterAndLeave) {
    FocusBox();
    const HWND w = box_->hWnd();
    RECT client;
    GetClientRect(box_->hWndUserControl(), &client);
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(client.right + 20, 5));
    SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    SendMessageW(w, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(Named({L"MouseDown", L"MouseUp", L"Click"}),
              (std::vector<std::wstring>{L"MouseDown -605", L"MouseUp -607", L"MouseDown -605",
                                         L"MouseUp -607", L"Click -600"}));
    std::vector<int> buttons;
    form_->On(L"rtbText", L"MouseMove", [&](Host::Event& e) { buttons.push_back(e.Int16Arg(0)); });
    box_->SetMouseTrack(true);
    events_.clear();
    SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON | MK_MBUTTON, MAKELPARAM(6, 6));
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(7, 7));
    SendMessageW(w, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Named({L"MouseEnter", L"MouseMove", L"MouseLeave"}),
              (std::vector<std::wstring>{L"MouseEnter 10", L"MouseMove -606", L"MouseMove -606",
                                         L"MouseLeave 11"}));
    EXPECT_EQ(buttons, (std::vector<int>{5, 0}));
}

TEST_F(RichTextEvents, ContextMenuByMouseAnywhereAndByKeyboard) {
    FocusBox();
    std::vector<std::pair<float, float>> at;
    bool handled = false;
    form_->On(L"rtbText", L"ContextMenu", [&](Host::Event& e) {
        at.emplace_back(e.FloatArg(1), e.FloatArg(2));
        e.SetArg(0, handled);
    });
    POINT origin{0, 0};
    ClientToScreen(box_->hWnd(), &origin);
    const HWND w = box_->hWnd();
    auto send = [&](int x, int y) {
        return SendMessageW(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(w),
                            MAKELPARAM(static_cast<SHORT>(x), static_cast<SHORT>(y)));
    };
    handled = true;
    send(origin.x + 10, origin.y + 20);
    send(-1, -1);
    // A monitor left of the primary one has negative positions; still the mouse.
    send(-300, origin.y);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_FLOAT_EQ(at[0].first, 150.0f);  // twips
    EXPECT_FLOAT_EQ(at[0].second, 300.0f);
    EXPECT_FLOAT_EQ(at[1].first, -1.0f);
    EXPECT_FLOAT_EQ(at[1].second, -1.0f);
    EXPECT_LT(at[2].first, 0.0f);
    // By a real right click.
    INPUT in[2]{};
    for (INPUT& i : in)
        i.type = INPUT_MOUSE;
    MoveCursor(CentreOf(w));
    in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, in, sizeof(INPUT));
    EXPECT_TRUE(testsupport::PumpUntil([&] { return at.size() == 4; }, 2000));
}

TEST_F(RichTextEvents, NotificationsBecomeEvents) {
    FocusBox();
    PressKey('Q');
    EXPECT_TRUE(Saw(L"Change"));
    EXPECT_TRUE(form_->Site(L"rtbText").GetExtender().DataChanged());
    EXPECT_TRUE(Saw(L"SelChange"));

    // Protected text and the text limit, as the window reports them (Wine's window sends
    // neither notification): ModifyProtected refuses unless a handler allows.
    ENPROTECTED edit{};
    edit.nmhdr = {box_->hWnd(), static_cast<UINT_PTR>(GetDlgCtrlID(box_->hWnd())), EN_PROTECTED};
    edit.msg = WM_CHAR;
    edit.chrg = {0, 1};
    const HWND parent = box_->hWndUserControl();
    EXPECT_EQ(SendMessageW(parent, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&edit)), 1);
    std::vector<int32_t> range;
    form_->On(L"rtbText", L"ModifyProtected", [&](Host::Event& e) {
        range = {e.Int32Arg(1), e.Int32Arg(2)};
        e.SetArg(0, true);
    });
    EXPECT_EQ(SendMessageW(parent, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&edit)), 0);
    EXPECT_EQ(range, (std::vector<int32_t>{0, 1}));
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(0, EN_MAXTEXT),
                 reinterpret_cast<LPARAM>(box_->hWnd()));
    EXPECT_EQ(
        Named({L"ModifyProtected", L"MaxText"}),
        (std::vector<std::wstring>{L"ModifyProtected 5", L"ModifyProtected 5", L"MaxText 2"}));

    events_.clear();
    SendMessageW(box_->hWnd(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), 0);
    SendMessageW(box_->hWndUserControl(), WM_COMMAND, 42, 0);
    EXPECT_EQ(Named({L"Scroll", L"OLEContextMenuClick"}),
              (std::vector<std::wstring>{L"Scroll 6", L"OLEContextMenuClick 16"}));

    // A link notification as the window sends it (the pointer over a detected address).
    ENLINK link{};
    link.nmhdr = {box_->hWnd(), static_cast<UINT_PTR>(GetDlgCtrlID(box_->hWnd())), EN_LINK};
    link.msg = WM_LBUTTONDOWN;
    link.chrg = {3, 9};
    std::vector<int32_t> args;
    form_->On(L"rtbText", L"LinkEvent", [&](Host::Event& e) {
        for (size_t i = 0; i < 5; ++i)
            args.push_back(e.Int32Arg(i));
    });
    SendMessageW(box_->hWndUserControl(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
    EXPECT_EQ(args, (std::vector<int32_t>{WM_LBUTTONDOWN, 0, 0, 3, 9}));
}

TEST_F(RichTextEvents, TheControlDrawsTheThemedBorderAndSetsThePointer) {
    // Wine's library answers 5.81 with version 6 loaded; the themed border is a 6.0 path.
    const testsupport::ComCtlVersion version(6, 10);
    const HWND w = box_->hWnd();
    // The frame's left edge, as the window shows it after a frame repaint.
    auto edge = [&] {
        RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
        std::vector<COLORREF> pixels;
        const HDC dc = GetWindowDC(w);
        for (int x = 0; x < 2; ++x)
            pixels.push_back(GetPixel(dc, x, 20));
        ReleaseDC(w, dc);
        return pixels;
    };
    const std::vector<COLORREF> themed = edge();
    box_->SetVisualStyles(false);
    const std::vector<COLORREF> classic = edge();
    EXPECT_NE(themed, classic);
    box_->SetVisualStyles(true);
    EXPECT_EQ(edge(), themed);

    box_->SetMousePointer(11);
    EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
}

namespace {

// Records what the control asks of imm32.
struct ImeRecorder {
    static inline std::vector<std::wstring> calls;
    static inline DWORD conversion = 0;
    static inline BOOL open = FALSE;
    static HIMC Context() { return reinterpret_cast<HIMC>(0x1234); }
    static BOOL WINAPI IsIME(HKL) { return TRUE; }
    static HIMC WINAPI Create() { return Context(); }
    static BOOL WINAPI Destroy(HIMC) { return TRUE; }
    static HIMC WINAPI Get(HWND) { return Context(); }
    static BOOL WINAPI ReleaseCtx(HWND, HIMC) {
        calls.push_back(L"release");
        return TRUE;
    }
    static HIMC WINAPI Associate(HWND, HIMC h) {
        calls.push_back(h ? L"associate" : L"dissociate");
        return nullptr;
    }
    static BOOL WINAPI GetConversion(HIMC, LPDWORD c, LPDWORD s) {
        *c = conversion;
        *s = 0;
        return TRUE;
    }
    static BOOL WINAPI SetConversion(HIMC, DWORD c, DWORD) {
        conversion = c;
        return TRUE;
    }
    static BOOL WINAPI SetOpen(HIMC, BOOL o) {
        open = o;
        calls.push_back(o ? L"open" : L"close");
        return TRUE;
    }
    static constexpr RichTextIme::Functions kTable{
        IsIME, Create, Destroy, Get, ReleaseCtx, Associate, GetConversion, SetConversion, SetOpen};
};

}  // namespace

TEST_F(RichTextEvents, EachIMEModeSetsTheInputContext) {
    FocusBox();
    RichTextIme::SetFunctions(&ImeRecorder::kTable);
    constexpr DWORD N = IME_CMODE_NATIVE, K = IME_CMODE_KATAKANA, F = IME_CMODE_FULLSHAPE;
    struct Case {
        int32_t mode;
        DWORD before;
        DWORD after;
        std::vector<std::wstring> calls;
    };
    const Case cases[] = {
        {0, K, K, {L"release"}},
        {1, K, K, {L"open", L"release"}},
        {2, K, K, {L"close", L"release"}},
        {3, K, K, {L"release", L"dissociate"}},
        {4, K, N | F, {L"open", L"release"}},
        {5, 0, N | K | F, {L"open", L"release"}},
        {6, F, N | K, {L"open", L"release"}},
        {7, N | K, F, {L"open", L"release"}},
        {8, N | K | F, 0, {L"open", L"release"}},
        {9, K, N | F | K, {L"open", L"release"}},
        {10, F | K, N | K, {L"open", L"release"}},
    };
    for (const Case& c : cases) {
        ImeRecorder::calls.clear();
        ImeRecorder::conversion = c.before;
        box_->SetIMEMode(c.mode);  // applied at once while the box has the focus
        EXPECT_EQ(ImeRecorder::calls, c.calls) << c.mode;
        EXPECT_EQ(ImeRecorder::conversion, c.after) << c.mode;
    }
    // The focus coming back applies the mode again.
    ImeRecorder::calls.clear();
    SendMessageW(box_->hWnd(), WM_IME_SETCONTEXT, TRUE, 0);
    EXPECT_EQ(ImeRecorder::calls, (std::vector<std::wstring>{L"open", L"release"}));
    RichTextIme::SetFunctions(nullptr);
}

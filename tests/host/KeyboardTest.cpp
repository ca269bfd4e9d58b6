// The forms' keyboard handling, driven by real key presses and clicks through the system's
// input queue: tab order, default and cancel buttons, access keys, the controls' own
// translation first, and validation.
#include <windows.h>

#include <gtest/gtest.h>

#include "controls/base/ControlError.h"
#include "host/Form.h"
#include "host/FormFrame.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"
#include "tests/support/Pump.h"
#include "tests/support/ControlErrors.h"

using namespace testhost;

namespace {

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = NewTestForm();
        form_->OnAnyEvent([this](Host::Event& e) {
            const std::wstring source = e.Source() ? e.Source()->Name() : L"form";
            if (e.Name() == L"GotFocus" || e.Name() == L"Click") {
                events_.push_back(source + L" " + std::wstring(e.Name()));
            }
        });
        TheJournal().Clear();
        ASSERT_TRUE(ShowInFront(*form_));
        events_.clear();
    }
    void TearDown() override {
        form_->Unload();
        testsupport::PumpFor(20);
    }

    void Focus(const wchar_t* name) {
        form_->Site(name).GetExtender().SetFocus();
        ASSERT_TRUE(testsupport::PumpUntil([&] { return FocusedName(*form_) == name; }, 2000))
            << FocusedName(*form_);
        events_.clear();
        TheJournal().Clear();
    }

    std::unique_ptr<Host::Form> form_;
    std::vector<std::wstring> events_;
};

}  // namespace

TEST_F(Keyboard, TabAndShiftTabFollowTheTabIndex) {
    // Showing puts the focus on the first control in tab order.
    EXPECT_EQ(FocusedName(*form_), L"txtName");
    // The label cannot take the focus, cmdHidden is invisible, txtNoStop is no tab stop.
    std::vector<std::wstring> forward;
    for (int i = 0; i < 5; ++i) {
        PressKey(VK_TAB);
        forward.push_back(FocusedName(*form_));
    }
    EXPECT_EQ(forward, (std::vector<std::wstring>{L"txtCity", L"cmdOk", L"cmdCancel", L"txtName",
                                                  L"txtCity"}));
    std::vector<std::wstring> backward;
    for (int i = 0; i < 4; ++i) {
        PressKey(VK_TAB, {VK_SHIFT});
        backward.push_back(FocusedName(*form_));
    }
    EXPECT_EQ(backward,
              (std::vector<std::wstring>{L"txtName", L"cmdCancel", L"cmdOk", L"txtCity"}));
    // GotFocus follows each move.
    EXPECT_EQ(events_.front(), L"txtCity GotFocus");
    EXPECT_EQ(events_.size(), 9u);

    // A disabled control is passed over; the Tab makes no character in the edit box.
    form_->Site(L"cmdOk").GetExtender().SetEnabled(false);
    Focus(L"txtCity");
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(*form_), L"cmdCancel");
    EXPECT_EQ(form_->ControlAs<TestEdit>(L"txtCity").Text(), L"");
}

TEST_F(Keyboard, TheFocusedControlTranslatesKeysFirst) {
    Focus(L"cmdOk");
    // The frame holds the control's in-place active object (the hooks' wrapper).
    HWND activeWindow = nullptr;
    auto* frame = static_cast<Host::FormFrame*>(form_->Frame());
    ASSERT_TRUE(frame->ActiveObject());
    frame->ActiveObject()->GetWindow(&activeWindow);
    EXPECT_EQ(activeWindow, form_->Site(L"cmdOk").Hwnd());

    PressKey('X', {VK_SHIFT});
    EXPECT_TRUE(TheJournal().Has(L"cmdOk TranslateAccelerator 88 shift 1"));

    // A PreviewKeyDown handler that claims Tab (by reference) keeps the focus on the button:
    // the control handled the key and the form never saw it.
    std::vector<int> previewed;
    bool claim = true;
    form_->On(L"cmdOk", L"PreviewKeyDown", [&](Host::Event& e) {
        previewed.push_back(e.Int16Arg(0));
        if (e.Int16Arg(0) == VK_TAB && claim) e.SetArg(1, true);
    });
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(*form_), L"cmdOk");
    EXPECT_EQ(previewed, std::vector<int>{VK_TAB});
    // The control sent the key on to its button window (seen by its subclass), and the
    // character of the key followed.
    EXPECT_TRUE(TheJournal().Has(L"cmdOk button WM_KEYDOWN 9"));
    EXPECT_TRUE(TheJournal().Has(L"cmdOk button WM_CHAR 9"));
    // Unclaimed, the same key goes on to the form, which moves the focus.
    claim = false;
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(*form_), L"cmdCancel");
    EXPECT_EQ(previewed, (std::vector<int>{VK_TAB, VK_TAB}));

    // An edit box that translates nothing gets its characters unchanged.
    Focus(L"txtName");
    PressKey('A');
    PressKey('B', {VK_SHIFT});
    EXPECT_EQ(form_->ControlAs<TestEdit>(L"txtName").Text(), L"aB");
}

TEST_F(Keyboard, ReturnAndEscapeReachTheDefaultAndCancelButtons) {
    Focus(L"txtName");
    PressKey(VK_RETURN);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"cmdOk Click"});
    EXPECT_TRUE(TheJournal().Has(L"cmdOk AccessKeyPress 13"));
    events_.clear();
    PressKey(VK_ESCAPE);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"cmdCancel Click"});
    EXPECT_TRUE(TheJournal().Has(L"cmdCancel AccessKeyPress 27"));
    EXPECT_EQ(FocusedName(*form_), L"txtName");  // neither press moved the focus
    EXPECT_EQ(form_->ControlAs<TestEdit>(L"txtName").Text(), L"");

    // A focused button shows itself as the default and takes Return.
    Focus(L"cmdCancel");
    EXPECT_TRUE(form_->ControlAs<TestButton>(L"cmdCancel").DisplayAsDefault());
    EXPECT_FALSE(form_->ControlAs<TestButton>(L"cmdOk").DisplayAsDefault());
    PressKey(VK_RETURN);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"cmdCancel Click"});
    Focus(L"txtName");
    EXPECT_TRUE(form_->ControlAs<TestButton>(L"cmdOk").DisplayAsDefault());
    EXPECT_FALSE(form_->ControlAs<TestButton>(L"cmdCancel").DisplayAsDefault());

    // A disabled default button takes nothing.
    form_->Site(L"cmdOk").GetExtender().SetEnabled(false);
    PressKey(VK_RETURN);
    EXPECT_TRUE(events_.empty());
    form_->Site(L"cmdOk").GetExtender().SetEnabled(true);
}

TEST_F(Keyboard, AMenusKeysAreItsOwn) {
    Focus(L"txtName");
    // The keys are queued first: the menu's own loop takes them.
    const struct {
        std::vector<WORD> keys;
        int chosen;
    } cases[] = {{{VK_DOWN, VK_RETURN}, 1}, {{VK_ESCAPE}, 0}};
    for (const auto& c : cases) {
        std::vector<INPUT> inputs;
        for (const WORD key : c.keys) {
            for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
                INPUT in{};
                in.type = INPUT_KEYBOARD;
                in.ki.wVk = key;
                in.ki.dwFlags = up;
                inputs.push_back(in);
            }
        }
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"One");
        AppendMenuW(menu, MF_STRING, 2, L"Two");
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        const POINT at = CentreOf(form_->Hwnd());
        EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, form_->Hwnd(),
                                 nullptr),
                  c.chosen);
        DestroyMenu(menu);
        testsupport::PumpFor(50);
        // Neither the default nor the cancel button heard of the key.
        EXPECT_TRUE(events_.empty()) << events_.front();
        EXPECT_EQ(FocusedName(*form_), L"txtName");
    }
}

TEST(KeyboardEats, AControlThatEatsReturnKeepsIt) {
    auto form = NewTestForm(R"(PaylevixLayout 1
Begin Form FEats
    Caption = "eats"
    Begin TestEdit txtNotes
        Width = 3000
        Height = 1200
        TabIndex = 0
        Property WantReturn = True
    End
    Begin TestButton cmdOk
        Top = 1500
        Width = 1500
        Height = 450
        TabIndex = 1
        Default = True
    End
End
)");
    int clicks = 0;
    form->On(L"cmdOk", L"Click", [&](Host::Event&) { ++clicks; });
    ASSERT_TRUE(ShowInFront(*form));
    ASSERT_EQ(FocusedName(*form), L"txtNotes");
    PressKey('A');
    PressKey(VK_RETURN);
    PressKey('B');
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(form->ControlAs<TestEdit>(L"txtNotes").Text(), L"a\r\nb");
    form->Unload();
}

TEST_F(Keyboard, AltWithAnAccessKeyReachesTheControlsMnemonicHandling) {
    Focus(L"txtName");
    PressKey('O', {VK_MENU});
    // The button's own mnemonic handling (its partner interface) answered: it has the focus
    // and raised Click; Shift carries Alt.
    EXPECT_TRUE(TheJournal().Has(L"cmdOk OnMnemonic shift 4"));
    EXPECT_EQ(FocusedName(*form_), L"cmdOk");
    EXPECT_EQ(events_, (std::vector<std::wstring>{L"cmdOk GotFocus", L"cmdOk Click"}));

    // The label answers through the framework's own handling (its access keys); it never
    // has the focus, so the next control in tab order gets it.
    events_.clear();
    PressKey('C', {VK_MENU});
    EXPECT_TRUE(TheJournal().Has(L"lblCity AccessKeyPress 67"));
    EXPECT_EQ(FocusedName(*form_), L"txtCity");

    // A key nobody declared does nothing.
    TheJournal().Clear();
    events_.clear();
    PressKey('Q', {VK_MENU});
    EXPECT_EQ(FocusedName(*form_), L"txtCity");
    EXPECT_TRUE(events_.empty());
    // Access keys changed by the control are asked for afresh.
    form_->ControlAs<TestButton>(L"cmdOk").SetCaption(L"O&kay");
    EXPECT_GT(form_->ControlInfoChanges(), 0);
    PressKey('O', {VK_MENU});
    EXPECT_TRUE(events_.empty());
    PressKey('K', {VK_MENU});
    EXPECT_EQ(events_.back(), L"cmdOk Click");
}

TEST_F(Keyboard, ARefusedValidationKeepsTheFocusAndReaches380ToTheCaller) {
    int validations = 0;
    form_->On(L"txtName", L"Validate", [&](Host::Event& e) {
        ++validations;
        if (form_->ControlAs<TestEdit>(L"txtName").Text().empty()) e.SetArg(0, true);
    });
    Focus(L"txtName");
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(*form_), L"txtName");
    EXPECT_EQ(validations, 1);

    testsupport::ExpectControlError(380, L"Invalid property value",
                                    [&] { form_->ValidateControls(); });
    EXPECT_EQ(FocusedName(*form_), L"txtName");
    EXPECT_EQ(validations, 2);

    // A click on a control that causes validation is eaten; the access key too.
    ClickScreen(CentreOf(form_->ControlAs<TestButton>(L"cmdOk").ButtonHwnd()));
    EXPECT_EQ(FocusedName(*form_), L"txtName");
    PressKey('O', {VK_MENU});
    EXPECT_EQ(FocusedName(*form_), L"txtName");
    EXPECT_EQ(std::count(events_.begin(), events_.end(), L"cmdOk Click"), 0);
    EXPECT_EQ(validations, 4);

    // The cancel button causes no validation: a click on it goes through.
    ClickScreen(CentreOf(form_->ControlAs<TestButton>(L"cmdCancel").ButtonHwnd()));
    EXPECT_EQ(FocusedName(*form_), L"cmdCancel");
    EXPECT_EQ(events_.back(), L"cmdCancel Click");
    EXPECT_EQ(validations, 4);

    // With text the validation passes and the focus moves.
    Focus(L"txtName");
    PressKey('Z');
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(*form_), L"txtCity");
    EXPECT_NO_THROW(form_->ValidateControls());
}

TEST(ActiveObjectWrapper, ReferencesBalanceAcrossFormsFocusMovesAndUnloadOrders) {
    // The buttons install the shared active-object wrapper. A key translated through it moves
    // the focus (PreviewKeyDown), a second form takes the wrapper, and the forms go in either
    // order: each button's framework object ends with the test's reference alone.
    auto refsOf = [](IUnknown* object) {
        object->AddRef();
        return object->Release();
    };
    for (const bool firstGoesFirst : {true, false}) {
        SCOPED_TRACE(firstGoesFirst ? "first unloaded first" : "second unloaded first");
        auto first = NewTestForm();
        auto second = NewTestForm();
        first->On(L"cmdOk", L"PreviewKeyDown", [&](Host::Event& e) {
            if (e.Int16Arg(0) == 'M') first->Site(L"cmdCancel").GetExtender().SetFocus();
        });
        ASSERT_TRUE(ShowInFront(*first));
        ASSERT_TRUE(ShowInFront(*second));
        std::vector<ComPtr<IUnknown>> buttons;
        for (Host::Form* form : {first.get(), second.get()}) {
            for (const wchar_t* name : {L"cmdOk", L"cmdCancel"})
                buttons.emplace_back(form->Site(name).Object());
        }
        second->Site(L"cmdOk").GetExtender().SetFocus();
        SetForegroundWindow(first->Hwnd());
        first->Site(L"cmdOk").GetExtender().SetFocus();
        ASSERT_TRUE(testsupport::PumpUntil([&] { return FocusedName(*first) == L"cmdOk"; }, 2000));
        PressKey('M');
        EXPECT_EQ(FocusedName(*first), L"cmdCancel");
        SetForegroundWindow(second->Hwnd());
        ASSERT_TRUE(testsupport::PumpUntil([&] { return FocusedName(*second) == L"cmdOk"; }, 2000));
        PressKey('X');
        EXPECT_GT(second->ControlAs<TestButton>(L"cmdOk").TranslateCalls(), 0);

        (firstGoesFirst ? first : second)->Unload();
        testsupport::PumpFor(20);
        (firstGoesFirst ? second : first)->Unload();
        testsupport::PumpFor(20);
        for (const ComPtr<IUnknown>& button : buttons)
            EXPECT_EQ(refsOf(button.Get()), 1u);
    }
}

// The property-page environment: a control that names its pages, the frame that shows them
// for the selected controls with the page's site, changed flag and Apply; the design-mode
// ambient; and the host's own text box and drop-down list that pages are built from.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/ComboBox.h"
#include "host/ControlDescription.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/LateBound.h"
#include "host/PropertyFrame.h"
#include "host/PropertyPage.h"
#include "host/TextBox.h"
#include "controls/base/ControlError.h"
#include "tests/support/GuiResources.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"
#include "tests/support/ControlErrors.h"
#include "tests/support/FormLayout.h"

namespace {

constexpr CLSID kCounterPage = {
    0x5a1c0d11, 0x2b7e, 0x4c3a, {0x9d, 0x21, 0x6e, 0x50, 0x11, 0x7a, 0x42, 0x01}};

std::vector<std::wstring> g_log;

// A windowed control with one property and one page; it notes the ambient UserMode.
class PagedControl : public Host::HostedControl {
public:
    int32_t Counter() const { return counter_; }
    void SetCounter(int32_t value) {
        g_log.push_back(Site().Name() + L".Counter=" + std::to_wstring(value));
        counter_ = value;
    }
    std::span<const CLSID> PropertyPages() const override { return {&kCounterPage, 1}; }
    void AmbientChanged(std::wstring_view name) override {
        if (name == L"UserMode") {
            g_log.push_back(Site().Name() + L" UserMode " +
                            (Site().GetAmbient().UserMode() ? L"1" : L"0"));
        }
    }
    const Host::ControlDescription& Describe() const override {
        static const Host::Member members[] = {
            Host::Property<&PagedControl::Counter, &PagedControl::SetCounter>(L"Counter", 1)};
        static const Host::ControlDescription d{L"PagedControl", members, {}, {}};
        return d;
    }

private:
    int32_t counter_ = 0;
};

// One text box bound to Counter of the first selected control.
class CounterPage final : public Host::PropertyPage {
public:
    CounterPage() : PropertyPage(kLayout, "CounterPage", L"Counting") {}
    int initializeCalls = 0;

protected:
    void Initialize() override { ++initializeCalls; }
    void SelectionChanged() override {
        freeze_ = true;
        Text().SetText(std::to_wstring(
            Host::LateBound::Get(SelectedControls().front().Get(), L"Counter").ToInt32()));
        freeze_ = false;
    }
    void ApplyChanges() override {
        Host::LateBound::Put(SelectedControls().front().Get(), L"Counter",
                             Host::Variant::Int32(std::stoi(Text().Text())));
    }
    bool EditSingleProperty(DISPID id) override {
        if (id != 1) return false;
        SetFocus(Text().hWnd());
        return true;
    }

private:
    Host::TextBox& Text() {
        if (!hooked_) {
            hooked_ = true;
            PageForm()->On(L"txtCounter", L"Change", [this](Host::Event&) {
                if (!freeze_) SetChanged(true);
            });
        }
        return PageControl<Host::TextBox>(L"txtCounter");
    }
    static constexpr char kLayout[] = R"(PaylevixLayout 1
Begin Form PPCounter
    ClientWidth = 3000
    ClientHeight = 1500
    Begin TextBox txtCounter
        Left = 120
        Top = 120
        Width = 1500
        Height = 315
        TabIndex = 0
    End
End
)";
    bool freeze_ = false;
    bool hooked_ = false;
};

CounterPage* g_page = nullptr;

const std::string kFormLayout =
    testsupport::LayoutText("FPaged", 4000, 2000, {},
                            {{"PagedControl", "ctlFirst", 0, 0, 900, 300},
                             {"PagedControl", "ctlSecond", 0, 600, 900, 300},
                             {"TextBox", "txtPlain", 0, 1200, 900, 300}});

class PropertyPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Host::RegisterHostControls();
        ControlTypes::Register<PagedControl>(L"PagedControl");
        Host::PropertyPages::Register(kCounterPage, [] {
            g_page = new CounterPage();
            return ComPtr<IPropertyPage>::Attach(g_page);
        });
        form_ = Host::Form::FromText(kFormLayout, "FPaged");
        form_->SetUserMode(false);
        form_->Show();
        g_log.clear();
    }
    void TearDown() override {
        form_->Unload();
        g_page = nullptr;
    }
    IUnknown* Object(const wchar_t* name) { return form_->Site(name).Object(); }
    PagedControl& Control(const wchar_t* name) { return form_->ControlAs<PagedControl>(name); }
    std::unique_ptr<Host::Form> form_;
};

}  // namespace

TEST_F(PropertyPageTest, ControlsNamePagesAndTheFrameShowsThemForTheSelection) {
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(Object(L"ctlFirst")->QueryInterface(IID_ISpecifyPropertyPages, specify.PutVoid()),
              S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualGUID(pages.pElems[0], kCounterPage));
    CoTaskMemFree(pages.pElems);
    ComPtr<ISpecifyPropertyPages> none;
    EXPECT_EQ(Object(L"txtPlain")->QueryInterface(IID_ISpecifyPropertyPages, none.PutVoid()),
              E_NOINTERFACE);

    Control(L"ctlFirst").SetCounter(41);
    Control(L"ctlSecond").SetCounter(7);
    g_log.clear();
    IUnknown* selection[] = {Object(L"ctlFirst"), Object(L"ctlSecond")};
    Host::PropertyFrame frame(L"Selection Properties", selection);
    HWND hwnd = frame.Create(form_->Hwnd());
    testsupport::DrivenDialog(hwnd);
    ASSERT_EQ(frame.PageCount(), 1u);
    ASSERT_NE(g_page, nullptr);
    EXPECT_EQ(g_page->initializeCalls, 1);

    // The page's form is a child of the frame, below the tab titled by the page.
    Host::Form* page = g_page->PageForm();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(GetParent(page->Hwnd()), hwnd);
    EXPECT_TRUE(GetWindowLongPtrW(page->Hwnd(), GWL_STYLE) & WS_CHILD);
    wchar_t title[32] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    item.cchTextMax = 32;
    SendDlgItemMessageW(hwnd, Host::PropertyFrame::kTabsId, TCM_GETITEMW, 0,
                        reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(title, L"Counting");
    HWND edit = page->ControlAs<Host::TextBox>(L"txtCounter").hWnd();
    EXPECT_EQ(Host::Form::Containing(edit), page);

    // Loaded from the first selected control, unchanged: Apply waits.
    EXPECT_EQ(page->ControlAs<Host::TextBox>(L"txtCounter").Text(), L"41");
    HWND apply = GetDlgItem(hwnd, Host::PropertyFrame::kApplyId);
    EXPECT_FALSE(IsWindowEnabled(apply));
    EXPECT_EQ(g_page->IsPageDirty(), S_FALSE);

    // The user's edit changes the page; Apply writes to the first control only and the
    // page is clean again.
    page->ControlAs<Host::TextBox>(L"txtCounter").SetSelStart(0);
    SendMessageW(edit, WM_CHAR, L'5', 0);
    EXPECT_EQ(g_page->IsPageDirty(), S_OK);
    EXPECT_TRUE(IsWindowEnabled(apply));
    SendMessageW(apply, BM_CLICK, 0, 0);
    EXPECT_EQ(g_log, std::vector<std::wstring>{L"ctlFirst.Counter=541"});
    EXPECT_EQ(Control(L"ctlSecond").Counter(), 7);
    EXPECT_FALSE(IsWindowEnabled(apply));

    // Editing one property brings the user to its box.
    EXPECT_TRUE(frame.EditProperty(L"Counter"));
    EXPECT_EQ(GetFocus(), edit);

    // Cancel closes without applying.
    SendMessageW(edit, WM_CHAR, L'1', 0);
    g_log.clear();
    SendMessageW(GetDlgItem(hwnd, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(g_log.empty());
}

TEST_F(PropertyPageTest, DesignModeReachesLoadedControlsAndFramesLeakNothing) {
    form_->SetUserMode(true);
    EXPECT_EQ(g_log, (std::vector<std::wstring>{L"ctlFirst UserMode 1", L"ctlSecond UserMode 1"}));
    form_->SetUserMode(true);  // no change, no notice
    EXPECT_EQ(g_log.size(), 2u);

    IUnknown* selection[] = {Object(L"ctlFirst")};
    testsupport::ExpectNoGuiLeaks([&](int) {
        Host::PropertyFrame frame(L"Leak", selection);
        testsupport::DrivenDialog(frame.Create(form_->Hwnd()));
        testsupport::PumpPending();
    });
}

TEST_F(PropertyPageTest, HostTextBoxAndComboBox) {
    auto& text = form_->ControlAs<Host::TextBox>(L"txtPlain");
    std::vector<std::wstring> events;
    form_->On(L"txtPlain", L"Change", [&](Host::Event&) { events.push_back(L"Change"); });
    form_->On(L"txtPlain", L"KeyPress", [&](Host::Event& e) {
        const int16_t key = e.Int16Arg(0);
        if (key == L'x') e.SetArg(0, int32_t{0});     // dropped
        if (key == L'a') e.SetArg(0, int32_t{L'A'});  // replaced
    });
    text.SetText(L"");
    events.clear();
    for (wchar_t c : std::wstring(L"axb"))
        SendMessageW(text.hWnd(), WM_CHAR, c, 0);
    EXPECT_EQ(text.Text(), L"Ab");
    EXPECT_EQ(events.size(), 2u);
    text.SetSelStart(1);
    text.SetSelLength(1);
    EXPECT_EQ(text.SelStart(), 1);
    EXPECT_EQ(text.SelLength(), 1);

    ComPtr<IDispatch> textObject =
        ComPtr<IUnknown>(Object(L"txtPlain")).As<IDispatch>(IID_IDispatch);
    Host::LateBound::Put(textObject.Get(), L"Text", Host::Variant::String(L"late"));
    EXPECT_EQ(Host::LateBound::Get(textObject.Get(), L"Text").ToString(), L"late");
    testsupport::ExpectControlError(380, L"Invalid property value", [&] {
        Host::LateBound::Put(textObject.Get(), L"SelStart", Host::Variant::Int32(-1));
    });

    form_->AddControl(L"ComboBox", L"cboKind", 0, 1800, 1500, 315);
    auto& combo = form_->ControlAs<Host::ComboBox>(L"cboKind");
    int clicks = 0;
    form_->On(L"cboKind", L"Click", [&](Host::Event&) { ++clicks; });
    combo.AddItem(L"1 - One");
    combo.AddItem(L"0 - Zero", 0);
    combo.SetItemData(0, 0);
    combo.SetItemData(1, 1);
    EXPECT_EQ(combo.ListCount(), 2);
    EXPECT_EQ(combo.ListIndex(), -1);
    EXPECT_EQ(combo.Text(), L"");
    combo.SetListIndex(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(combo.Text(), L"1 - One");
    EXPECT_EQ(combo.ItemData(1), 1);
    combo.SetListIndex(1);  // no change, no Click
    EXPECT_EQ(clicks, 1);
    // The user's choice arrives as the window's notification.
    SendMessageW(combo.hWnd(), CB_SETCURSEL, 0, 0);
    SendMessageW(GetParent(combo.hWnd()), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo.hWnd()));
    EXPECT_EQ(clicks, 2);
    EXPECT_THROW(combo.ItemData(2), ControlError);
    EXPECT_THROW(combo.SetListIndex(2), ControlError);
    combo.Clear();
    EXPECT_EQ(combo.ListCount(), 0);
}

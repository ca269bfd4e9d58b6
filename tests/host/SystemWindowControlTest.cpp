// The control skeleton on a real form: a probe control over a system edit window, its two
// subclasses, focus hand-off, re-creation keeping state, no leaks; and the dispatch of its
// declared members with the standard and the access errors.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "host/ControlDescription.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/SystemWindowControl.h"
#include "tests/support/GuiResources.h"
#include "tests/support/Pump.h"
#include "tests/support/FormLayout.h"
#include "tests/support/Dispatch.h"

using testsupport::I4;
using testsupport::R8;

namespace {

// An edit window whose Wide setting lives in its style (read-only at run time).
class ProbeBox : public Host::SystemWindowControl<> {
public:
    std::wstring Text() const {
        wchar_t text[64] = {};
        if (hWnd()) GetWindowTextW(hWnd(), text, 64);
        return text;
    }
    void SetText(const std::wstring& text) { SetWindowTextW(hWnd(), text.c_str()); }
    bool Wide() const { return wide_; }
    void SetWide(bool wide) {
        wide_ = wide;
        ReCreateSystemWindow();
    }
    int32_t Stamp() const { return 7; }
    void SetSecret(const std::wstring& secret) { secret_ = secret; }
    int32_t Add(int32_t a, std::optional<int32_t> b) { return a + b.value_or(100); }
    Host::Variant Cell(int16_t i) const { return cells_.at(static_cast<size_t>(i)); }
    void SetCell(int16_t i, const Host::Variant& v) { cells_.at(static_cast<size_t>(i)) = v; }

    const Host::ControlDescription& Describe() const override;
    void InitProperties() override { CreateSystemWindow(); }
    void ReadProperties(Host::PropertyStore&) override { CreateSystemWindow(); }
    int userControlMessages = 0;
    int systemWindowMessages = 0;
    std::wstring secret_;

private:
    Host::WindowShape DescribeWindow() override {
        return {L"Edit", static_cast<DWORD>(WS_TABSTOP | (wide_ ? ES_MULTILINE : 0)), 0, L"start"};
    }
    std::function<void()> KeepWindowState() override {
        return [this, text = Text()] {
            if (hWnd()) SetText(text);
        };
    }
    LRESULT SystemWindowMessage(HWND h, UINT m, WPARAM w, LPARAM l) override {
        if (m == WM_USER + 1) ++systemWindowMessages;
        return SystemWindow::SystemWindowMessage(h, m, w, l);
    }
    LRESULT UserControlWindowMessage(HWND h, UINT m, WPARAM w, LPARAM l) override {
        if (m == WM_USER + 1) ++userControlMessages;
        return SystemWindow::UserControlWindowMessage(h, m, w, l);
    }
    bool wide_ = false;
    std::array<Host::Variant, 2> cells_;
};

const std::wstring_view kAddArgs[] = {L"A", L"B"};
const std::wstring_view kCellArgs[] = {L"Index"};
const Host::Member kMembers[] = {
    Host::Property<&ProbeBox::Text, &ProbeBox::SetText>(L"Text", 1),
    Host::Property<&ProbeBox::Wide, &ProbeBox::SetWide>(L"Wide", 2,
                                                        Host::Access::ReadOnlyAtRunTime),
    Host::ReadOnly<&ProbeBox::Stamp>(L"Stamp", 3),
    Host::WriteOnly<&ProbeBox::SetSecret>(L"Secret", 4),
    Host::Method<&ProbeBox::Add>(L"Add", 5, kAddArgs),
    Host::IndexedProperty<&ProbeBox::Cell, &ProbeBox::SetCell>(L"Cell", 6, kCellArgs),
};
const Host::EventParameter kChangedArgs[] = {{L"Cancel", VT_BOOL, true}};
const Host::EventInfo kEvents[] = {{L"Changed", 1, kChangedArgs}};
const Host::StoredKey kKeys[] = {Host::BoolKey(L"Wide", false)};

const Host::ControlDescription& ProbeBox::Describe() const {
    static const Host::ControlDescription description{L"ProbeBox", kMembers, kEvents, kKeys};
    return description;
}

const std::string kLayout = testsupport::LayoutText("FProbe", 4000, 2000, {},
                                                    {{"ProbeBox", "prbOne", 150, 150, 3000, 600}});

std::unique_ptr<Host::Form> NewForm() {
    ControlTypes::Register<ProbeBox>(L"ProbeBox");
    return testsupport::FormOf<>(kLayout);
}

struct Call {
    HRESULT hr;
    Host::Variant result;
    EXCEPINFO error;
};

// Arguments in their written order; the result and the error come back.
Call Invoke(Host::ControlSite& site, DISPID id, WORD flags, std::vector<VARIANT> args) {
    ComPtr<IDispatch> dispatch;
    site.Object()->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()),
                      put ? 1u : 0u};
    Call call{S_OK, {}, {}};
    call.hr =
        dispatch->Invoke(id, IID_NULL, 0, flags, &params, call.result.Ptr(), &call.error, nullptr);
    if (call.error.bstrSource) SysFreeString(call.error.bstrSource);
    if (call.error.bstrHelpFile) SysFreeString(call.error.bstrHelpFile);
    return call;
}

}  // namespace

TEST(SystemWindowControl, OwnsSubclassesAndHandsOnItsWindow) {
    auto form = NewForm();
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<ProbeBox>(L"prbOne");
    Host::ControlSite& site = form->Site(L"prbOne");
    ASSERT_NE(box.hWnd(), nullptr);
    EXPECT_EQ(GetParent(box.hWnd()), site.Hwnd());
    EXPECT_NE(SendMessageW(box.hWnd(), WM_GETFONT, 0, 0), 0);
    RECT inner{};
    GetClientRect(box.hWnd(), &inner);
    EXPECT_EQ(inner.right, site.ScaleWidth());

    // Each window reaches its own handler.
    SendMessageW(box.hWnd(), WM_USER + 1, 0, 0);
    SendMessageW(site.Hwnd(), WM_USER + 1, 0, 0);
    EXPECT_EQ(box.systemWindowMessages, 1);
    EXPECT_EQ(box.userControlMessages, 1);

    // The user control window hands the focus on.
    SetForegroundWindow(form->Hwnd());
    SetFocus(site.Hwnd());
    EXPECT_TRUE(testsupport::PumpUntil([&] { return GetFocus() == box.hWnd(); }, 2000));

    // A re-created window keeps the state, the focus and the subclasses.
    box.SetText(L"kept");
    const HWND old = box.hWnd();
    form->SetUserMode(false);
    box.SetWide(true);
    EXPECT_NE(box.hWnd(), old);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_TRUE(GetWindowLongW(box.hWnd(), GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ(box.Text(), L"kept");
    EXPECT_EQ(GetFocus(), box.hWnd());
    SendMessageW(box.hWnd(), WM_USER + 1, 0, 0);
    EXPECT_EQ(box.systemWindowMessages, 2);

    site.GetExtender().SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(box.hWnd()));
    form->Unload();
}

TEST(SystemWindowControl, LoadingAndUnloadingLeaksNoObjects) {
    auto form = NewForm();
    testsupport::ExpectNoGuiLeaks([&](int i) {
        form->Load();
        form->SetUserMode(false);
        form->ControlAs<ProbeBox>(L"prbOne").SetWide(i % 2 == 0);
        form->Unload();
    });
}

TEST(ControlDescription, DispatchAnswersFromTheTable) {
    auto form = NewForm();
    form->Load();
    Host::ControlSite& site = form->Site(L"prbOne");
    auto& box = form->ControlAs<ProbeBox>(L"prbOne");

    ComPtr<IDispatch> dispatch;
    site.Object()->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    auto idOf = [&](const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 12345;
        const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        return SUCCEEDED(hr) ? id : static_cast<DISPID>(hr);
    };
    EXPECT_EQ(idOf(L"sTaMp"), 3);
    EXPECT_EQ(idOf(L"Enabled"), static_cast<DISPID>(0x8001000D));
    EXPECT_EQ(idOf(L"Nothing"), static_cast<DISPID>(DISP_E_UNKNOWNNAME));

    const HRESULT kException = DISP_E_EXCEPTION;
    struct Case {
        const char* what;
        DISPID id;
        WORD flags;
        std::vector<VARIANT> args;
        HRESULT hr;
        int32_t number;  // the error's number for DISP_E_EXCEPTION
        const wchar_t* text;
    };
    const Case cases[] = {
        {"unknown id", 99, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND, 0, nullptr},
        {"get with an argument",
         3,
         DISPATCH_PROPERTYGET,
         {I4(1)},
         DISP_E_BADPARAMCOUNT,
         0,
         nullptr},
        {"read-only", 3, DISPATCH_PROPERTYPUT, {I4(1)}, kException, 383, L"Property is read-only"},
        {"write-only", 4, DISPATCH_PROPERTYGET, {}, kException, 394, L"Property is write-only"},
        {"run time",
         2,
         DISPATCH_PROPERTYPUT,
         {I4(1)},
         kException,
         382,
         L"Wide property is read-only at run time"},
        {"type",
         1,
         DISPATCH_PROPERTYPUT,
         {[] {
             VARIANT x{};
             x.vt = VT_UNKNOWN;
             return x;
         }()},
         DISP_E_TYPEMISMATCH,
         0,
         nullptr},
        {"too few", 5, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, 0, nullptr},
        {"too many", 5, DISPATCH_METHOD, {I4(1), I4(2), I4(3)}, DISP_E_BADPARAMCOUNT, 0, nullptr},
        {"method assigned", 5, DISPATCH_PROPERTYPUT, {I4(1)}, DISP_E_MEMBERNOTFOUND, 0, nullptr},
        {"too large", 5, DISPATCH_METHOD, {R8(3e9)}, kException, 6, L"Overflow"},
        {"index missing", 6, DISPATCH_PROPERTYGET, {}, DISP_E_BADPARAMCOUNT, 0, nullptr},
        {"index only assigned", 6, DISPATCH_PROPERTYPUT, {I4(1)}, DISP_E_BADPARAMCOUNT, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Call call = Invoke(site, c.id, c.flags, c.args);
        EXPECT_EQ(call.hr, c.hr);
        if (c.number) {
            EXPECT_EQ(call.error.scode, static_cast<SCODE>(0x800A0000 | c.number));
            EXPECT_STREQ(call.error.bstrDescription, c.text);
            SysFreeString(call.error.bstrDescription);
        }
    }

    // What works: property round trip with conversion, the optional argument, write-only.
    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"Привет");
    EXPECT_EQ(Invoke(site, 1, DISPATCH_PROPERTYPUT, {text}).hr, S_OK);
    SysFreeString(text.bstrVal);
    EXPECT_STREQ(Invoke(site, 1, DISPATCH_PROPERTYGET, {}).result.Get().bstrVal, L"Привет");
    EXPECT_EQ(Invoke(site, 5, DISPATCH_METHOD, {I4(2), I4(3)}).result.ToInt32(), 5);
    EXPECT_EQ(Invoke(site, 5, DISPATCH_METHOD, {I4(2)}).result.ToInt32(), 102);
    EXPECT_EQ(Invoke(site, 4, DISPATCH_PROPERTYPUT, {I4(42)}).hr, S_OK);
    EXPECT_EQ(box.secret_, L"42");
    // An indexed variant property keeps Null and Empty as they are.
    VARIANT null{};
    null.vt = VT_NULL;
    EXPECT_EQ(Invoke(site, 6, DISPATCH_PROPERTYPUT, {I4(1), null}).hr, S_OK);
    EXPECT_EQ(Invoke(site, 6, DISPATCH_PROPERTYGET, {I4(1)}).result.Type(), VT_NULL);
    EXPECT_EQ(Invoke(site, 6, DISPATCH_PROPERTYGET, {I4(0)}).result.Type(), VT_EMPTY);
    EXPECT_EQ(Invoke(site, 6, DISPATCH_PROPERTYPUT, {I4(0), I4(5)}).hr, S_OK);
    EXPECT_EQ(box.Cell(0).ToInt32(), 5);
    form->SetUserMode(false);
    EXPECT_EQ(Invoke(site, 2, DISPATCH_PROPERTYPUT, {I4(1)}).hr, S_OK);
    EXPECT_TRUE(box.Wide());
    form->Unload();
}

TEST(ControlDescription, TablesAreListedByTypeName) {
    ControlTypes::Register<ProbeBox>(L"ProbeBox");
    const Host::ControlDescription* d = ControlTypes::Describe(L"ProbeBox");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ControlTypes::Describe(L"NoSuchType"), nullptr);
    const Host::Member* add = d->FindMember(L"add");
    ASSERT_NE(add, nullptr);
    EXPECT_TRUE(add->isMethod);
    EXPECT_EQ(add->type, VT_I4);
    EXPECT_EQ(add->required, 1u);
    ASSERT_EQ(add->argumentTypes.size(), 2u);
    EXPECT_EQ(add->argumentNames[1], L"B");
    EXPECT_EQ(d->FindMember(L"Secret")->access, Host::Access::WriteOnly);
    EXPECT_EQ(d->FindMember(L"Text")->type, VT_BSTR);
    EXPECT_TRUE(d->FindEvent(L"Changed")->parameters[0].byRef);
    Host::PropertyStore store;
    EXPECT_FALSE(d->FindKey(L"Wide")->ReadBool(store));
}

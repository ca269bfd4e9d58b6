// The command button and the check box on a real form: captions with access keys, Enabled,
// Click from the system button and from the keyboard, and the check box's Value.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/GuiResources.h"
#include "tests/support/Input.h"
#include "tests/support/Pump.h"
#include "tests/support/FormLayout.h"
#include "tests/support/ControlErrors.h"

namespace {

const std::string kLayout =
    testsupport::LayoutText("FTest", 6000, 3000, {testsupport::kArial},
                            {{"CommandButtonW", "cmdOk", 150, 150, 1500, 600, "TabIndex = 0"},
                             {"CheckBoxW", "chbAgree", 150, 900, 4500, 420, "TabIndex = 1"},
                             {"CommandButtonW", "cmdOther", 1800, 150, 1500, 600, "TabIndex = 2"}});

std::unique_ptr<Host::Form> NewForm() {
    return testsupport::FormOf<CommandButtonW, CheckBoxW>(kLayout);
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

}  // namespace

TEST(CommandButtonW, CaptionEnabledAndClickReachTheSystemButton) {
    auto form = NewForm();
    form->Load();
    auto& ok = form->ControlAs<CommandButtonW>(L"cmdOk");
    ASSERT_NE(ok.hWnd(), nullptr);
    wchar_t cls[32] = {};
    GetClassNameW(ok.hWnd(), cls, 32);
    EXPECT_STREQ(cls, L"Button");
    EXPECT_EQ(GetParent(ok.hWnd()), form->Site(L"cmdOk").Hwnd());
    EXPECT_NE(SendMessageW(ok.hWnd(), WM_GETFONT, 0, 0), 0);

    ok.SetCaption(L"&Установить && выйти");
    EXPECT_EQ(TextOf(ok.hWnd()), L"&Установить && выйти");
    EXPECT_EQ(ok.Caption(), L"&Установить && выйти");

    int clicks = 0;
    form->On(L"cmdOk", L"Click", [&](Host::Event&) { ++clicks; });
    SendMessageW(ok.hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);

    ok.SetEnabled(false);
    EXPECT_FALSE(ok.Enabled());
    EXPECT_FALSE(IsWindowEnabled(ok.hWnd()));
    SendMessageW(ok.hWnd(), BM_CLICK, 0, 0);  // a disabled button takes no click
    EXPECT_EQ(clicks, 1);
    ok.SetEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(ok.hWnd()));
    form->Unload();
}

TEST(CommandButtonW, SpaceAndAccessKeyPressIt) {
    auto form = NewForm();
    form->Load();
    auto& ok = form->ControlAs<CommandButtonW>(L"cmdOk");
    auto& other = form->ControlAs<CommandButtonW>(L"cmdOther");
    other.SetCaption(L"&Other");
    int okClicks = 0, otherClicks = 0;
    form->On(L"cmdOk", L"Click", [&](Host::Event&) { ++okClicks; });
    form->On(L"cmdOther", L"Click", [&](Host::Event&) { ++otherClicks; });
    ASSERT_TRUE(testsupport::ShowInFront(*form, ok.hWnd()));
    testsupport::PressKey(VK_SPACE);
    EXPECT_EQ(okClicks, 1);
    testsupport::PressKey('O', {VK_MENU});
    EXPECT_EQ(otherClicks, 1);
    EXPECT_EQ(GetFocus(), other.hWnd());
    EXPECT_EQ(okClicks, 1);
    form->Unload();
}

TEST(CommandButtonW, TheButtonShownAsTheDefaultTakesTheDefaultStyle) {
    auto form = NewForm();
    form->Show(Host::ShowMode::Modeless);
    auto& ok = form->ControlAs<CommandButtonW>(L"cmdOk");
    auto& other = form->ControlAs<CommandButtonW>(L"cmdOther");
    HWND agree = form->ControlAs<CheckBoxW>(L"chbAgree").hWnd();
    auto shownAsDefault = [&] {
        std::vector<bool> shown;
        for (const CommandButtonW* b : {&ok, &other})
            shown.push_back((GetWindowLongW(b->hWnd(), GWL_STYLE) & BS_TYPEMASK) ==
                            BS_DEFPUSHBUTTON);
        return shown;
    };
    SetForegroundWindow(form->Hwnd());
    // A command button with the focus shows as the default; otherwise the form's default
    // button does, when it has one.
    const struct {
        HWND focus;
        bool okIsDefault;
        std::vector<bool> expected;
    } steps[] = {
        {other.hWnd(), false, {false, true}},
        {agree, false, {false, false}},
        {agree, true, {true, false}},
        {other.hWnd(), true, {false, true}},
    };
    for (const auto& step : steps) {
        form->Site(L"cmdOk").GetExtender().SetDefault(step.okIsDefault);
        SetFocus(step.focus);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return shownAsDefault() == step.expected; }, 2000))
            << "focus " << (step.focus == agree ? "check box" : "cmdOther") << ", default "
            << step.okIsDefault;
    }
    form->Unload();
}

TEST(CheckBoxW, ValueRaisesClickOnEveryChangeAndUserClicksToggle) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<CheckBoxW>(L"chbAgree");
    box.SetCaption(L"Я согласен");
    EXPECT_EQ(TextOf(box.hWnd()), L"Я согласен");
    std::vector<int16_t> seen;  // the value each Click saw
    form->On(L"chbAgree", L"Click", [&](Host::Event&) { seen.push_back(box.Value()); });

    box.SetValue(1);
    EXPECT_EQ(seen, (std::vector<int16_t>{1}));
    EXPECT_EQ(SendMessageW(box.hWnd(), BM_GETCHECK, 0, 0), BST_CHECKED);
    box.SetValue(1);  // the same value: nothing
    EXPECT_EQ(seen.size(), 1u);
    box.SetValue(2);
    EXPECT_EQ(SendMessageW(box.hWnd(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);

    // A user click: grayed and checked go to unchecked, unchecked to checked.
    SendMessageW(box.hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(box.Value(), 0);
    SendMessageW(box.hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(box.Value(), 1);
    SendMessageW(box.hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(box.Value(), 0);
    EXPECT_EQ(SendMessageW(box.hWnd(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(seen, (std::vector<int16_t>{1, 2, 0, 1, 0}));

    testsupport::ExpectControlError(380, nullptr, [&] { box.SetValue(3); });
    EXPECT_EQ(box.Value(), 0);
    form->Unload();
}

TEST(Buttons, LoadingAndUnloadingLeaksNoObjects) {
    auto form = NewForm();
    testsupport::ExpectNoGuiLeaks([&](int) {
        form->Load();
        form->ControlAs<CommandButtonW>(L"cmdOk").SetCaption(L"x");
        form->Unload();
    });
}

namespace {

HRESULT PutProperty(IUnknown* object, DISPID id, VARIANT value) {
    ComPtr<IDispatch> dispatch;
    object->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                            nullptr);
}

DISPID IdOf(IUnknown* object, const wchar_t* name) {
    ComPtr<IDispatch> dispatch;
    object->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    return id;
}

}  // namespace

TEST(Buttons, MembersAnswerTheirDispatchIdentifiers) {
    auto form = NewForm();
    form->Load();
    IUnknown* ok = form->Site(L"cmdOk").Object();
    IUnknown* box = form->Site(L"chbAgree").Object();
    EXPECT_EQ(IdOf(ok, L"Caption"), -518);
    EXPECT_EQ(IdOf(box, L"caption"), -518);
    EXPECT_EQ(IdOf(box, L"Value"), 0);

    VARIANT caption;
    caption.vt = VT_BSTR;
    caption.bstrVal = SysAllocString(L"Готово");
    EXPECT_EQ(PutProperty(ok, -518, caption), S_OK);
    SysFreeString(caption.bstrVal);
    EXPECT_EQ(form->ControlAs<CommandButtonW>(L"cmdOk").Caption(), L"Готово");

    int clicks = 0;
    form->On(L"chbAgree", L"Click", [&](Host::Event&) { ++clicks; });
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = 1;
    EXPECT_EQ(PutProperty(box, 0, value), S_OK);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(form->ControlAs<CheckBoxW>(L"chbAgree").Value(), 1);
    value.lVal = 5;
    EXPECT_EQ(PutProperty(box, 0, value), static_cast<HRESULT>(0x800A017C));  // 380

    // Enabled is kept by the form for the control.
    VARIANT enabled;
    enabled.vt = VT_BOOL;
    enabled.boolVal = VARIANT_FALSE;
    EXPECT_EQ(PutProperty(ok, static_cast<DISPID>(0x8001000D), enabled), S_OK);
    EXPECT_FALSE(IsWindowEnabled(form->ControlAs<CommandButtonW>(L"cmdOk").hWnd()));
    form->Unload();
}

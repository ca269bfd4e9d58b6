// Forms built from stored layouts: the window, the controls, loading, showing, hiding,
// unloading, events, the extender and the ambient values, on real windows.
#include <windows.h>
#include <commctrl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/ControlHost.h"
#include "host/ControlTimer.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/Program.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"
#include "tests/support/GuiResources.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"
#include "tests/support/ControlErrors.h"

using namespace testhost;
using Host::EventArg;
using Host::Form;

namespace {

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

RECT ClientRectIn(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring FontName(IFontDisp* font) {
    ComPtr<IFont> f;
    font->QueryInterface(IID_IFont, f.PutVoid());
    BSTR name = nullptr;
    f->get_Name(&name);
    std::wstring result(name ? name : L"");
    SysFreeString(name);
    return result;
}

}  // namespace

TEST(Form, IsBuiltFromItsLayoutAndLoadedBeforeItIsShown) {
    auto form = NewTestForm();
    EXPECT_FALSE(form->Loaded());
    EXPECT_EQ(form->Hwnd(), nullptr);
    bool visibleInLoad = true;
    size_t controlsInLoad = 0;
    form->OnLoad([&] {
        visibleInLoad = IsWindowVisible(form->Hwnd()) != FALSE;
        controlsInLoad = form->Controls().size();
        form->SetCaption(L"Установка");
    });
    form->Show();
    HWND hwnd = form->Hwnd();
    ASSERT_TRUE(hwnd);
    EXPECT_FALSE(visibleInLoad);
    EXPECT_EQ(controlsInLoad, 7u);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(ClassOf(hwnd), L"ThunderRT6FormDC");
    EXPECT_EQ(FindWindowW(L"ThunderRT6FormDC", L"Установка"), hwnd);

    // Fixed single border, close button only; 6000 x 4500 twips inside.
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);

    // Controls in stored order, windows where the layout puts them (15 twips a pixel).
    std::vector<std::wstring> names;
    for (Host::ControlSite* site : form->Controls())
        names.push_back(site->Name());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"txtName", L"lblCity", L"cmdCancel", L"txtCity",
                                                L"cmdOk", L"cmdHidden", L"txtNoStop"}));
    Host::ControlSite& name = form->Site(L"TXTNAME");  // names ignore case
    EXPECT_EQ(GetParent(name.Hwnd()), hwnd);
    const RECT r = ClientRectIn(name.Hwnd(), hwnd);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 25);
    EXPECT_EQ(name.ScaleWidth(), 200);
    EXPECT_EQ(name.ScaleHeight(), 25);
    EXPECT_EQ(form->Site(L"lblCity").Hwnd(), nullptr);  // windowless
    EXPECT_FALSE(IsWindowVisible(form->Site(L"cmdHidden").Hwnd()));
    auto& ok = form->ControlAs<TestButton>(L"cmdOk");
    wchar_t caption[32] = {};
    GetWindowTextW(ok.ButtonHwnd(), caption, 32);
    EXPECT_STREQ(caption, L"&OK");
    EXPECT_EQ(GetParent(ok.ButtonHwnd()), form->Site(L"cmdOk").Hwnd());
    EXPECT_THROW(form->Site(L"nothing"), ControlError);
    EXPECT_THROW(form->ControlAs<TestEdit>(L"cmdOk"), ControlError);

    EXPECT_TRUE(form->Unload());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(form->Loaded());
    EXPECT_TRUE(form->Controls().empty());
    EXPECT_TRUE(form->Unload());  // nothing left to unload
}

TEST(Form, ALayoutCarriedAsAResource) {
    RegisterTestControls();
    auto form = Form::FromResource(GetModuleHandleW(nullptr), L"RESOURCEFORM");
    form->Load();
    EXPECT_EQ(form->Caption(), L"Из ресурса");
    EXPECT_EQ(form->ControlAs<TestButton>(L"cmdOnly").Caption(), L"Только");
    // A fixed dialog frame with the program's icon.
    EXPECT_TRUE(GetWindowLongW(form->Hwnd(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(SendMessageW(form->Hwnd(), WM_GETICON, ICON_BIG, 0));
    form->Unload();
    try {
        Form::FromResource(GetModuleHandleW(nullptr), L"NOSUCHFORM");
        ADD_FAILURE() << "a missing resource was accepted";
    } catch (const Layout::LayoutError& e) {
        EXPECT_EQ(e.File(), "resource NOSUCHFORM");
        EXPECT_EQ(e.Message(), "the layout resource is missing");
    }
}

TEST(Form, AmbientValuesExtenderAndSiblings) {
    auto form = NewTestForm();
    form->Load();
    Host::ControlSite& ok = form->Site(L"cmdOk");
    const Host::Ambient ambient = ok.GetAmbient();
    EXPECT_TRUE(ambient.UserMode());
    EXPECT_FALSE(ambient.RightToLeft());
    EXPECT_EQ(ambient.DisplayName(), L"cmdOk");
    // A copy of the form's font: its name is what the system realised for "Tahoma" with the
    // Cyrillic character set (another face where Tahoma lacks it). Changing the copy leaves
    // the form's font alone.
    EXPECT_NE(ambient.Font().Get(), form->Font().Get());
    EXPECT_EQ(FontName(ambient.Font().Get()), FontName(form->Font().Get()));
    {
        ComPtr<IFont> copy;
        ambient.Font()->QueryInterface(IID_IFont, copy.PutVoid());
        copy->put_Bold(TRUE);
        ComPtr<IFont> original;
        form->Font()->QueryInterface(IID_IFont, original.PutVoid());
        BOOL bold = TRUE;
        original->get_Bold(&bold);
        EXPECT_FALSE(bold);
    }
    ComPtr<IFont> font;
    ambient.Font()->QueryInterface(IID_IFont, font.PutVoid());
    CY size{};
    SHORT charset = 0;
    font->get_Size(&size);
    font->get_Charset(&charset);
    EXPECT_EQ(size.int64, 97500);
    EXPECT_EQ(charset, 204);
    // cmdOk is the default button while no other default-or-cancel control has the focus.
    EXPECT_TRUE(ambient.DisplayAsDefault());
    EXPECT_FALSE(form->Site(L"cmdCancel").GetAmbient().DisplayAsDefault());

    // The ambient values also reach OLE callers through the client site's IDispatch.
    ComPtr<IDispatch> ambientDispatch;
    ASSERT_EQ(ok.ClientSite()->QueryInterface(IID_IDispatch, ambientDispatch.PutVoid()), S_OK);
    DISPPARAMS none{};
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(ambientDispatch->Invoke(DISPID_AMBIENT_DISPLAYNAME, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                      &none, &value, nullptr, nullptr),
              S_OK);
    EXPECT_STREQ(value.bstrVal, L"cmdOk");
    VariantClear(&value);
    ASSERT_EQ(ambientDispatch->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                      &none, &value, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(value.boolVal, VARIANT_TRUE);

    // Placement in twips, windows in pixels.
    Host::Extender ext = ok.GetExtender();
    EXPECT_EQ(ext.Left(), 4200);
    EXPECT_EQ(ext.Width(), 1500);
    EXPECT_EQ(&ext.Parent(), form.get());
    ext.Move(600, 750, 3000, 600);
    RECT r = ClientRectIn(ok.Hwnd(), form->Hwnd());
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 40);
    // The control sized its own child into the new size (Resize).
    auto& button = form->ControlAs<TestButton>(L"cmdOk");
    GetClientRect(button.ButtonHwnd(), &r);
    EXPECT_EQ(r.right, 200);
    EXPECT_EQ(r.bottom, 40);
    ext.SetTop(150);
    EXPECT_EQ(ClientRectIn(ok.Hwnd(), form->Hwnd()).top, 10);
    EXPECT_THROW(ext.SetWidth(-15), ControlError);

    ext.SetVisible(false);
    EXPECT_FALSE(GetWindowLongW(ok.Hwnd(), GWL_STYLE) & WS_VISIBLE);
    ext.SetVisible(true);
    // Enabled goes through the control, which keeps the host's flag and its own window.
    ext.SetEnabled(false);
    EXPECT_FALSE(ok.Enabled());
    EXPECT_FALSE(IsWindowEnabled(ok.Hwnd()));
    EXPECT_FALSE(IsWindowEnabled(button.ButtonHwnd()));
    ext.SetEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(button.ButtonHwnd()));
    // ... and late-bound callers reach it by the extender's identifier.
    ComPtr<IDispatch> dispatch;
    ok.Object()->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BOOL;
    arg.boolVal = VARIANT_FALSE;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &put, 1, 1};
    EXPECT_EQ(dispatch->Invoke(static_cast<DISPID>(0x8001000D), IID_NULL, 0, DISPATCH_PROPERTYPUT,
                               &params, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_FALSE(IsWindowEnabled(button.ButtonHwnd()));
    ext.SetEnabled(true);

    ext.SetTag(L"тег");
    EXPECT_EQ(ext.Tag(), L"тег");

    // Tab indexes stay a sequence when one moves.
    form->Site(L"cmdHidden").GetExtender().SetTabIndex(0);
    EXPECT_EQ(form->Site(L"cmdHidden").GetExtender().TabIndex(), 0);
    EXPECT_EQ(form->Site(L"txtName").GetExtender().TabIndex(), 1);
    EXPECT_EQ(form->Site(L"txtNoStop").GetExtender().TabIndex(), 6);

    // The container's list of controls, as the buttons look for an image list in it.
    const auto& siblings = form->Site(L"txtCity").Siblings();
    ASSERT_EQ(siblings.size(), 7u);
    EXPECT_EQ(siblings[4]->TypeName(), L"TestButton");
    EXPECT_EQ(siblings[1]->TypeName(), L"TestLabel");

    // Changing the default button tells both buttons their new DisplayAsDefault.
    TheJournal().Clear();
    form->Site(L"cmdCancel").GetExtender().SetDefault(true);
    EXPECT_TRUE(TheJournal().Has(L"cmdOk DisplayAsDefault 0"));
    EXPECT_TRUE(TheJournal().Has(L"cmdCancel DisplayAsDefault 1"));
    EXPECT_TRUE(form->ControlAs<TestButton>(L"cmdCancel").DisplayAsDefault());
    EXPECT_FALSE(ok.GetExtender().Default());
    EXPECT_TRUE(form->Unload());
}

TEST(Form, ScaleConversionsPerAxis) {
    auto form = NewTestForm();
    form->Load();
    Host::ControlSite& site = form->Site(L"txtName");
    const double dpiX = Units::Dpi(Units::Axis::X);
    const double dpiY = Units::Dpi(Units::Axis::Y);
    EXPECT_DOUBLE_EQ(site.ScaleX(1440, Units::Unit::Twips, Units::Unit::Pixels), dpiX);
    EXPECT_DOUBLE_EQ(site.ScaleY(1440, Units::Unit::Twips, Units::Unit::Pixels), dpiY);
    EXPECT_DOUBLE_EQ(site.ScaleX(dpiX, Units::Unit::Pixels, Units::Unit::Himetric), 2540);
    EXPECT_DOUBLE_EQ(site.ScaleY(2540, Units::Unit::Himetric, Units::Unit::ContainerPosition),
                     1440);
    EXPECT_DOUBLE_EQ(site.ScaleX(300, Units::Unit::ContainerSize, Units::Unit::Twips), 300);
    EXPECT_DOUBLE_EQ(Units::TwipsPerPixel(Units::Axis::X) * dpiX, 1440);
    EXPECT_DOUBLE_EQ(site.ScaleX(1, Units::Unit::Characters, Units::Unit::Twips), 120);
    EXPECT_DOUBLE_EQ(site.ScaleY(1, Units::Unit::Characters, Units::Unit::Twips), 240);
    EXPECT_THROW(site.ScaleX(1, static_cast<Units::Unit>(42), Units::Unit::Twips), ControlError);
    // The OLE route: HIMETRIC to container units through IOleControlSite.
    ComPtr<IOleControlSite> controlSite;
    site.ClientSite()->QueryInterface(IID_IOleControlSite, controlSite.PutVoid());
    POINTL himetric{2540, 5080};
    POINTF container{};
    ASSERT_EQ(controlSite->TransformCoords(&himetric, &container,
                                           XFORMCOORDS_HIMETRICTOCONTAINER | XFORMCOORDS_SIZE),
              S_OK);
    EXPECT_FLOAT_EQ(container.x, 1440);
    EXPECT_FLOAT_EQ(container.y, 2880);
    form->Unload();
}

TEST(Form, AModalShowEndsWhenTheFormIsHidden) {
    auto form = NewTestForm();
    // A modeless form of the same thread is disabled while the modal one runs.
    auto other = NewTestForm();
    other->Show();
    bool otherEnabledDuringModal = true;
    Host::ControlTimer timer(
        [&] {
            otherEnabledDuringModal = IsWindowEnabled(other->Hwnd()) != FALSE;
            form->Hide();
        },
        50, true);
    form->Show(Host::ShowMode::Modal);
    timer.SetEnabled(false);
    EXPECT_TRUE(form->Loaded());
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(otherEnabledDuringModal);
    EXPECT_TRUE(IsWindowEnabled(other->Hwnd()));
    EXPECT_TRUE(form->Unload());
    other->Unload();
}

TEST(Form, ClosingRunsQueryUnloadAndEndsTheModalShow) {
    auto form = NewTestForm();
    std::vector<std::wstring> events;
    int refusals = 1;
    form->OnForm(L"QueryUnload", [&](Host::Event& e) {
        events.push_back(L"QueryUnload " + std::to_wstring(e.Int16Arg(1)));
        if (refusals-- > 0) e.SetArg(0, true);  // the first close is refused
    });
    form->OnForm(L"Unload", [&](Host::Event&) { events.push_back(L"Unload"); });
    int closes = 0;
    Host::ControlTimer timer(
        [&] {
            ++closes;
            PostMessageW(form->Hwnd(), WM_CLOSE, 0, 0);
        },
        50, true);
    form->Show(Host::ShowMode::Modal);
    timer.SetEnabled(false);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(events, (std::vector<std::wstring>{L"QueryUnload 0", L"QueryUnload 0", L"Unload"}));
    EXPECT_FALSE(form->Loaded());
    EXPECT_EQ(form->Hwnd(), nullptr);
    EXPECT_TRUE(form->Unload());  // already closed: nothing happens
    EXPECT_EQ(events.size(), 3u);
}

TEST(Form, UnloadFromAClickHandlerWaitsForTheControlToReturn) {
    auto form = NewTestForm();
    form->On(L"cmdOk", L"Click", [&](Host::Event&) {
        EXPECT_TRUE(form->Unload());
        EXPECT_FALSE(form->Loaded());
    });
    Host::ControlTimer timer(
        [&] {
            if (form->Loaded()) {
                SendMessageW(form->ControlAs<TestButton>(L"cmdOk").ButtonHwnd(), BM_CLICK, 0, 0);
            }
        },
        50, true);
    form->Show(Host::ShowMode::Modal);
    timer.SetEnabled(false);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return form->Hwnd() == nullptr; }, 2000));
}

TEST(Form, DeletingAFormFromItsOwnHandlerWaitsLikeUnload) {
    // From a Click handler of a modeless and of a modal form, and from the load handler.
    for (const int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        Form* form = NewTestForm().release();
        HWND window = nullptr, button = nullptr;
        bool wholeAfterDelete = false;
        form->OnLoad([&] {
            window = form->Hwnd();
            button = form->ControlAs<TestButton>(L"cmdOk").ButtonHwnd();
            if (mode != 2) {
                PostMessageW(button, BM_CLICK, 0, 0);
                return;
            }
            delete form;
            wholeAfterDelete = IsWindow(window) && IsWindow(button);
        });
        form->On(L"cmdOk", L"Click", [&](Host::Event&) { delete form; });
        // Runs after the deleting handler, in the same event.
        form->OnAnyEvent([&](Host::Event& e) {
            if (e.Name() == L"Click") wholeAfterDelete = IsWindow(window) && IsWindow(button);
        });
        form->Show(mode == 1 ? Host::ShowMode::Modal : Host::ShowMode::Modeless);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(window); }, 2000));
        EXPECT_TRUE(wholeAfterDelete);
        EXPECT_FALSE(IsWindow(button));
    }
}

TEST(Form, ExceptionsOfAControlStopAtTheComBoundary) {
    auto form = NewTestForm();
    form->Load();
    ComPtr<IDispatch> button;
    ASSERT_EQ(form->Site(L"cmdOk").Object()->QueryInterface(IID_IDispatch, button.PutVoid()), S_OK);
    LPOLESTR name = const_cast<LPOLESTR>(L"Fail");
    DISPID id = 0;
    ASSERT_EQ(button->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    const struct {
        LONG kind;
        HRESULT expected;
    } cases[] = {{1, E_OUTOFMEMORY}, {2, E_FAIL}, {3, ControlErrors::ToHResult(380)}};
    for (const auto& c : cases) {
        VARIANT arg{};
        arg.vt = VT_I4;
        arg.lVal = c.kind;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        EXPECT_EQ(
            button->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            c.expected)
            << c.kind;
    }
    EXPECT_TRUE(form->Unload());
}

TEST(Form, TracksItsActiveWindowForMessageBoxes) {
    auto form = NewTestForm();
    ASSERT_TRUE(ShowInFront(*form));
    EXPECT_TRUE(
        testsupport::PumpUntil([&] { return Common::GetOwnActiveWindow() == form->Hwnd(); }, 2000));
    {
        testsupport::MessageBoxCatcher catcher;
        Common::ShowMessageBox(L"text", MB_ICONINFORMATION);
        ASSERT_TRUE(catcher.Saw(1));
        EXPECT_EQ(catcher.Boxes()[0].owner, form->Hwnd());
    }
    form->Hide();
    EXPECT_EQ(Common::GetOwnActiveWindow(), nullptr);
    form->Show();
    EXPECT_TRUE(
        testsupport::PumpUntil([&] { return Common::GetOwnActiveWindow() == form->Hwnd(); }, 2000));
    form->Unload();
    EXPECT_EQ(Common::GetOwnActiveWindow(), nullptr);
}

TEST(Form, EventArgumentsByReferenceAreReadBack) {
    auto form = NewTestForm();
    form->Load();
    Host::ControlSite& site = form->Site(L"cmdOk");
    form->On(L"CMDOK", L"query", [](Host::Event& e) {
        EXPECT_EQ(e.Name(), L"Query");
        EXPECT_EQ(e.Id(), 9);
        ASSERT_EQ(e.ArgCount(), 4u);
        EXPECT_EQ(e.Int32Arg(0), 1);
        EXPECT_EQ(e.StringArg(1), L"before");
        e.SetArg(0, std::wstring_view(L"42"));  // converted to the argument's own type
        e.SetArg(1, std::wstring_view(L"после"));
        e.SetArg(3, true);
        EXPECT_THROW(e.SetArg(2, 5), ControlError);  // passed by value
        EXPECT_THROW(e.SetArg(0, std::wstring_view(L"not a number")), ControlError);
        EXPECT_THROW(e.Arg(4), ControlError);
    });
    int seenByAny = 0;
    form->OnAnyEvent([&](Host::Event& e) {
        if (e.Name() == L"Query") {
            ++seenByAny;
            EXPECT_EQ(e.Int32Arg(0), 42);  // after the specific handler
        }
    });
    int32_t number = 1;
    std::wstring text = L"before";
    bool flag = false;
    site.RaiseEvent(L"Query", 9, EventArg::ByRef(number), EventArg::ByRef(text),
                    EventArg::ByVal(static_cast<int16_t>(3)), EventArg::ByRef(flag));
    EXPECT_EQ(number, 42);
    EXPECT_EQ(text, L"после");
    EXPECT_TRUE(flag);
    EXPECT_EQ(seenByAny, 1);

    // Events the container froze are not delivered.
    ComPtr<IOleControl> control;
    site.Object()->QueryInterface(IID_IOleControl, control.PutVoid());
    control->FreezeEvents(TRUE);
    site.RaiseEvent(L"Query", 9, EventArg::ByRef(number), EventArg::ByRef(text),
                    EventArg::ByVal(static_cast<int16_t>(3)), EventArg::ByRef(flag));
    control->FreezeEvents(FALSE);
    EXPECT_EQ(seenByAny, 1);
    form->Unload();
}

TEST(Form, AHandlerErrorIsReportedNotThrownThroughTheWindow) {
    auto form = NewTestForm();
    form->Load();
    form->On(L"cmdOk", L"Click", [](Host::Event&) { ControlErrors::Raise(380); });
    testsupport::MessageBoxCatcher catcher;
    SendMessageW(form->ControlAs<TestButton>(L"cmdOk").ButtonHwnd(), BM_CLICK, 0, 0);
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Run-time error '380':\r\n\r\nInvalid property value");
    EXPECT_EQ(catcher.Boxes()[0].title, L"Paylevix");
    form->Unload();
}

TEST(Form, WindowlessControlsPaintAndGetTheMouse) {
    auto form = NewTestForm();
    form->Show();
    auto& label = form->ControlAs<TestLabel>(L"lblCity");
    UpdateWindow(form->Hwnd());
    EXPECT_GT(label.Paints(), 0);
    std::vector<std::wstring> seen;
    form->On(L"lblCity", L"MouseDown", [&](Host::Event& e) {
        seen.push_back(L"MouseDown " + std::to_wstring(e.Int16Arg(0)) + L" " +
                       std::to_wstring(e.Int16Arg(1)) + L" " +
                       std::to_wstring(static_cast<int>(e.FloatArg(2))) + L" " +
                       std::to_wstring(static_cast<int>(e.FloatArg(3))));
    });
    form->On(L"lblCity", L"Click", [&](Host::Event&) { seen.push_back(L"Click"); });
    // The label is at (20, 60) pixels: a press 5, 4 pixels inside it.
    SendMessageW(form->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 64));
    SendMessageW(form->Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(25, 64));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"MouseDown 1 0 75 60", L"Click"}));
    // Outside it nothing happens.
    SendMessageW(form->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(390, 290));
    SendMessageW(form->Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(390, 290));
    EXPECT_EQ(seen.size(), 2u);
    // Shift and Ctrl come with the message; Alt, which a mouse message does not carry, from
    // the keyboard.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] |= 0x80;
    SetKeyboardState(keys);
    SendMessageW(form->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL,
                 MAKELPARAM(25, 64));
    keys[VK_MENU] &= 0x7F;
    SetKeyboardState(keys);
    SendMessageW(form->Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(25, 64));
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[2], L"MouseDown 1 7 75 60");
    // A refresh repaints it.
    const int before = label.Paints();
    label.SetCaption(L"&Town:");
    UpdateWindow(form->Hwnd());
    EXPECT_GT(label.Paints(), before);
    EXPECT_EQ(form->Site(L"lblCity").AccessKeys(), L"T");
    form->Unload();
}

TEST(Form, AManualDragTellsWhatItIsOverAndWhereItDrops) {
    auto form = NewTestForm();
    form->Show();
    Host::ControlSite& ok = form->Site(L"cmdOk");
    ComPtr<IDispatch> okObject;
    ok.Object()->QueryInterface(IID_IDispatch, okObject.PutVoid());
    std::vector<std::wstring> seen;
    form->OnAnyEvent([&](Host::Event& e) {
        if (e.Name() != L"DragOver" && e.Name() != L"DragDrop") return;
        EXPECT_EQ(e.Arg(0).Get().pdispVal, okObject.Get());  // the source
        std::wstring line =
            (e.Source() ? e.Source()->Name() : L"form") + L" " + std::wstring(e.Name());
        if (e.Name() == L"DragOver") line += L" " + std::to_wstring(e.Int16Arg(3));
        seen.push_back(line);
    });
    auto centre = [&](const wchar_t* name) {
        const RECT b = form->Site(name).Bounds();
        return MAKELPARAM((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    };
    ok.GetExtender().Drag(1);
    SendMessageW(form->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, centre(L"txtCity"));
    SendMessageW(form->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, centre(L"txtCity"));
    SendMessageW(form->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(390, 290));
    SendMessageW(form->Hwnd(), WM_LBUTTONUP, 0, centre(L"txtName"));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"txtCity DragOver 0", L"txtCity DragOver 2",
                                               L"txtCity DragOver 1", L"form DragOver 0",
                                               L"form DragOver 1", L"txtName DragDrop"}));
    // A cancelled drag leaves what it was over and drops nothing.
    seen.clear();
    ok.GetExtender().Drag(1);
    SendMessageW(form->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, centre(L"txtCity"));
    ok.GetExtender().Drag(0);
    SendMessageW(form->Hwnd(), WM_LBUTTONUP, 0, centre(L"txtName"));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"txtCity DragOver 0", L"txtCity DragOver 1"}));
    EXPECT_THROW(ok.GetExtender().Drag(3), ControlError);
    form->Unload();
}

TEST(Form, ControlsAddedAtRunTimeAreNewInstances) {
    auto form = NewTestForm();
    form->Show();
    Host::ControlSite& site = form->AddControl(L"TestButton", L"cmdMore", 150, 150, 1500, 450);
    auto& button = form->ControlAs<TestButton>(L"cmdMore");
    EXPECT_EQ(button.Caption(), L"cmdMore");  // InitProperties: the display name
    EXPECT_EQ(site.GetExtender().TabIndex(), 7);
    EXPECT_THROW(form->AddControl(L"TestButton", L"cmdmore", 0, 0, 10, 10), ControlError);
    EXPECT_THROW(form->AddControl(L"NoSuchType", L"x1", 0, 0, 10, 10), ControlError);
    EXPECT_THROW(form->AddControl(L"TestButton", L"1x", 0, 0, 10, 10), ControlError);
    form->Unload();
}

TEST(Form, ControlsRemovedAtRunTimeGoOnceTheirEventsHaveReturned) {
    auto form = NewTestForm();
    form->Show();
    HWND more = nullptr;
    bool aliveInClick = false;
    form->On(L"cmdMore", L"Click", [&](Host::Event&) {
        form->RemoveControl(L"cmdMore");
        aliveInClick = IsWindow(more);  // its window procedure is still on the stack
    });
    testsupport::ExpectNoGuiLeaks([&](int) {
        form->AddControl(L"TestButton", L"cmdMore", 150, 150, 1500, 450);
        more = form->ControlAs<TestButton>(L"cmdMore").ButtonHwnd();
        aliveInClick = false;
        SendMessageW(more, BM_CLICK, 0, 0);
        EXPECT_TRUE(aliveInClick);
        EXPECT_EQ(form->FindSite(L"cmdMore"), nullptr);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(more); }));
    });
    const size_t count = form->Controls().size();
    form->RemoveControl(L"lblCity");  // windowless, outside any event
    EXPECT_EQ(form->Controls().size(), count - 1);
    EXPECT_THROW(form->RemoveControl(L"lblCity"), ControlError);
    form->Unload();
}

TEST(Form, ControlTimersTickWhileEnabled) {
    int ticks = 0;
    Host::ControlTimer timer([&] { ++ticks; }, 20);
    testsupport::PumpFor(100);
    EXPECT_EQ(ticks, 0);  // disabled at start
    timer.SetEnabled(true);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return ticks >= 3; }, 2000));
    timer.SetInterval(0);
    const int stopped = ticks;
    testsupport::PumpFor(100);
    EXPECT_EQ(ticks, stopped);
    EXPECT_TRUE(timer.Enabled());
    timer.SetInterval(15);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return ticks > stopped; }, 2000));
    // A timer may end itself from its own tick.
    std::unique_ptr<Host::ControlTimer> self;
    int selfTicks = 0;
    self = std::make_unique<Host::ControlTimer>(
        [&] {
            ++selfTicks;
            self.reset();
        },
        10, true);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return self == nullptr; }, 2000));
    testsupport::PumpFor(50);
    EXPECT_EQ(selfTicks, 1);
}

TEST(Form, LoadingAndUnloadingLeavesNoObjectsBehind) {
    auto form = NewTestForm();
    testsupport::ExpectNoGuiLeaks([&](int) {
        form->Show();
        UpdateWindow(form->Hwnd());
        form->Site(L"cmdOk").GetExtender().SetToolTipText(L"tip");
        form->Unload();
        testsupport::PumpPending();
    });
}

TEST(Form, PointersAndToolTipsFollowTheirProperties) {
    auto form = NewTestForm();
    form->Show();
    Host::ControlSite& ok = form->Site(L"cmdOk");
    // Over the control's window, its MousePointer is the cursor; 0 leaves the window's own.
    const struct {
        int16_t pointer;
        LPCWSTR cursor;
    } pointers[] = {{11, IDC_WAIT}, {3, IDC_IBEAM}, {0, IDC_ARROW}};
    for (const auto& p : pointers) {
        SetCursor(nullptr);
        ok.SetMousePointer(p.pointer);
        SendMessageW(ok.Hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(ok.Hwnd()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, p.cursor)) << p.pointer;
    }

    // The form's tool tip holds one tool per control with a text, over its bounds.
    auto tools = [&] {
        std::vector<std::wstring> found;
        HWND tip = nullptr;
        while ((tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) &&
               GetWindow(tip, GW_OWNER) != form->Hwnd()) {
        }
        for (UINT i = 0; tip; ++i) {
            wchar_t text[80] = {};
            TTTOOLINFOW info{};
            info.cbSize = sizeof(info);
            info.lpszText = text;
            if (!SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info))) break;
            const RECT b = ok.Bounds();
            EXPECT_TRUE(EqualRect(&info.rect, &b));
            found.push_back(text);
        }
        return found;
    };
    for (const std::wstring text : {L"tip", L"other", L""}) {
        ok.GetExtender().SetToolTipText(text);
        EXPECT_EQ(tools(),
                  text.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{text});
    }
    form->Unload();
}

TEST(Form, TheSharedHelpersSeeSitesAsControlsOfAForm) {
    auto form = NewTestForm();
    form->Show();
    // An image list among the controls, as the buttons look for one by type name.
    ControlTypes::Register<TestLabel>(L"ImageList");
    form->AddControl(L"ImageList", L"imlIcons", 0, 0, 480, 480);
    Host::ControlSite& ok = form->Site(L"cmdOk");
    std::vector<std::wstring> strings, names;
    std::vector<int32_t> cookies;
    const std::vector<const ControlHost::IControl*> controls = ok.SiblingControls();
    Common::ImageListPredefinedStrings(strings, cookies, controls, names);
    EXPECT_EQ(strings, (std::vector<std::wstring>{L"(None)", L"imlIcons"}));
    EXPECT_EQ(Common::ControlName(ok.AsControl()), L"cmdOk");

    // The outermost user control is the control itself: its container is the form.
    EXPECT_EQ(Common::TopUserControl(&ok.AsUserControl()), &ok.AsUserControl());
    EXPECT_EQ(ok.AsUserControl().Container(), form.get());
    EXPECT_TRUE(form->IsForm());

    // Validation of the top form through the helper: a refusal reaches it as error 380.
    bool refuse = true;
    form->On(L"txtName", L"Validate", [&](Host::Event& e) { e.SetArg(0, refuse); });
    form->Site(L"txtName").GetExtender().SetFocus();
    testsupport::ExpectControlError(380, nullptr,
                                    [&] { Common::ValidateTopParent(&ok.AsUserControl()); });
    refuse = false;
    EXPECT_NO_THROW(Common::ValidateTopParent(&ok.AsUserControl()));

    // The host measures the screen as the system does: no correction.
    ASSERT_TRUE(ControlHost::HostServices());
    EXPECT_DOUBLE_EQ(ControlHost::HostServices()->TwipsPerPixelX() * Units::Dpi(Units::Axis::X),
                     1440);
    EXPECT_DOUBLE_EQ(Common::DPICorrectionFactor(), 1.0);
    form->Unload();
}

TEST(Program, ServicesOfTheRunningProgram) {
    EXPECT_EQ(Program::Instance(), GetModuleHandleW(nullptr));
    EXPECT_STREQ(Program::Title(), L"Paylevix");
    EXPECT_EQ(Program::Folder(), Common::GetAppFolder());
    HWND main = Program::MainWindow();
    ASSERT_TRUE(main);
    EXPECT_EQ(Program::MainWindow(), main);
    const std::wstring cls = ClassOf(main);
    EXPECT_EQ(cls.substr(0, 7), L"Thunder");
    EXPECT_EQ(cls.substr(cls.size() - 4), L"Main");
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(GetWindow(main, GW_OWNER), nullptr);
    EXPECT_FALSE(Program::PrevInstance());  // this test program runs once
}

// The rich text box on a real form: the system rich edit window, TextRTF, ScrollBars
// re-creating the window with content, selection and scroll position kept, and Locked.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/RichTextBoxBase.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/GuiResources.h"
#include "tests/support/Pump.h"
#include "tests/support/FormLayout.h"
#include "tests/support/ControlErrors.h"
#include "tests/support/Dispatch.h"

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FTest", 6000, 4000, {},
    {{"RichTextBox", "rtbText", 150, 150, 4500, 1500,
      "Property MultiLine = True\nProperty TextRTF = Utf16(\"{\\\\rtf1\\\\ansi{\\\\fonttbl{\\\\f0 "
      "Arial;}}\\\\f0\\\\fs20 Stored\\\\par}\")"}});

std::unique_ptr<Host::Form> NewForm() {
    return testsupport::FormOf<RichTextBox>(kLayout);
}

std::wstring PlainText(HWND hwnd) {
    GETTEXTLENGTHEX length{GTL_DEFAULT, 1200};
    const auto n = SendMessageW(hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GETTEXTEX get{static_cast<DWORD>((n + 1) * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr,
                  nullptr};
    SendMessageW(hwnd, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return text;
}

// A document of many lines, with Cyrillic text beyond ASCII.
std::wstring LongDocument() {
    std::wstring rtf = L"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    for (int i = 0; i < 60; ++i)
        rtf += L"Строка " + std::to_wstring(i) + L"\\par ";
    rtf += std::wstring(400, L'w') + L"\\par ";
    return rtf + L"}";
}

}  // namespace

TEST(RichTextBox, StoredDocumentAndMultiLineMakeTheWindow) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    ASSERT_NE(box.hWnd(), nullptr);
    wchar_t cls[32] = {};
    GetClassNameW(box.hWnd(), cls, 32);
    EXPECT_STREQ(cls, RichTextBoxBase::RichEditClass());
    EXPECT_TRUE(GetWindowLongW(box.hWnd(), GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ(PlainText(box.hWnd()).substr(0, 6), L"Stored");
    EXPECT_NE(box.TextRTF().find(L"Stored"), std::wstring::npos);
    testsupport::ExpectControlError(382, L"MultiLine property is read-only at run time",
                                    [&] { box.SetMultiLine(false); });
    form->Unload();
}

TEST(RichTextBox, ScrollBarsKeepContentSelectionAndScrollPosition) {
    auto form = NewForm();
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    box.SetTextRTF(LongDocument());
    const std::wstring text = PlainText(box.hWnd());
    EXPECT_EQ(text.substr(0, 8), L"Строка 0");
    POINT top{-1, -1};
    SendMessageW(box.hWnd(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&top));
    EXPECT_EQ(top.y, 0);

    box.SetScrollBars(2);
    EXPECT_EQ(box.ScrollBars(), 2);
    const HWND first = box.hWnd();
    EXPECT_TRUE(GetWindowLongW(first, GWL_STYLE) & WS_VSCROLL);
    EXPECT_FALSE(GetWindowLongW(first, GWL_STYLE) & WS_HSCROLL);
    EXPECT_EQ(PlainText(first), text);
    SendMessageW(first, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&top));
    EXPECT_EQ(top.y, 0);

    // Scroll down and select, then add a horizontal bar: both stay.
    SendMessageW(first, WM_VSCROLL, SB_PAGEDOWN, 0);
    SendMessageW(first, WM_VSCROLL, SB_PAGEDOWN, 0);
    POINT scrolled{};
    SendMessageW(first, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scrolled));
    ASSERT_GT(scrolled.y, 0);
    CHARRANGE selection{20, 30};
    SendMessageW(first, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    SendMessageW(first, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scrolled));

    box.SetScrollBars(3);
    const HWND second = box.hWnd();
    EXPECT_TRUE(GetWindowLongW(second, GWL_STYLE) & WS_HSCROLL);
    EXPECT_EQ(PlainText(second), text);
    CHARRANGE kept{};
    SendMessageW(second, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    EXPECT_EQ(kept.cpMin, 20);
    EXPECT_EQ(kept.cpMax, 30);
    POINT after{};
    SendMessageW(second, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&after));
    EXPECT_EQ(after.y, scrolled.y);

    // Without a vertical bar the text starts at its top again.
    box.SetScrollBars(1);
    SendMessageW(box.hWnd(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&after));
    EXPECT_EQ(after.y, 0);
    EXPECT_EQ(PlainText(box.hWnd()), text);

    // The same value again changes nothing: the window stays, the text is not read again.
    const HWND third = box.hWnd();
    box.SetScrollBars(1);
    EXPECT_EQ(box.hWnd(), third);

    testsupport::ExpectControlError(380, nullptr, [&] { box.SetScrollBars(4); });
    form->Unload();
}

TEST(RichTextBox, LockedRefusesTypingButScrolls) {
    auto form = NewForm();
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    box.SetTextRTF(LongDocument());
    box.SetScrollBars(2);
    box.SetLocked(true);
    EXPECT_TRUE(box.Locked());
    EXPECT_TRUE(SendMessageW(box.hWnd(), EM_GETOPTIONS, 0, 0) & ECO_READONLY);
    const std::wstring before = PlainText(box.hWnd());
    SetFocus(box.hWnd());
    SendMessageW(box.hWnd(), WM_CHAR, L'x', 0);
    SendMessageW(box.hWnd(), WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(PlainText(box.hWnd()), before);
    SendMessageW(box.hWnd(), WM_VSCROLL, SB_PAGEDOWN, 0);
    POINT pos{};
    SendMessageW(box.hWnd(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
    EXPECT_GT(pos.y, 0);
    box.SetLocked(false);
    SendMessageW(box.hWnd(), WM_CHAR, L'x', 0);
    EXPECT_NE(PlainText(box.hWnd()), before);
    form->Unload();
}

TEST(RichTextBox, TheLibraryGoesWithTheLastBoxAndNothingLeaks) {
    auto form = NewForm();
    form->Load();
    EXPECT_NE(RichTextBoxBase::RichEditModule(), nullptr);
    form->Unload();
    EXPECT_EQ(RichTextBoxBase::RichEditModule(), nullptr);
    testsupport::ExpectNoGuiLeaks(
        [&](int i) {
            form->Load();
            form->ControlAs<RichTextBox>(L"rtbText").SetScrollBars(i % 4);
            form->Unload();
        },
        4);
}

TEST(RichTextBox, MembersAnswerTheirDispatchIdentifiers) {
    auto form = NewForm();
    form->Load();
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    ComPtr<IDispatch> dispatch;
    form->Site(L"rtbText").Object()->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    const wchar_t* names[] = {L"TextRTF", L"ScrollBars", L"Locked"};
    const DISPID expected[] = {0x6803001A, 0x68030029, 0x6803002F};
    for (int i = 0; i < 3; ++i) {
        LPOLESTR name[] = {const_cast<LPOLESTR>(names[i])};
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, expected[i]) << i;
    }
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = 2;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    EXPECT_EQ(dispatch->Invoke(0x68030029, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                               nullptr, nullptr),
              S_OK);
    EXPECT_EQ(box.ScrollBars(), 2);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    EXPECT_EQ(dispatch->Invoke(0x6803002F, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                               nullptr, nullptr),
              S_OK);
    EXPECT_TRUE(SendMessageW(box.hWnd(), EM_GETOPTIONS, 0, 0) & ECO_READONLY);
    VARIANT rtf;
    VariantInit(&rtf);
    DISPPARAMS none{};
    EXPECT_EQ(dispatch->Invoke(0x6803001A, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &rtf, nullptr,
                               nullptr),
              S_OK);
    ASSERT_EQ(rtf.vt, VT_BSTR);
    EXPECT_NE(std::wstring(rtf.bstrVal).find(L"Stored"), std::wstring::npos);
    VariantClear(&rtf);
    form->Unload();
}

TEST(RichTextBox, BrowsesItsPointerAndIsSafeForScripting) {
    auto form = NewForm();
    form->Load();
    form->ControlAs<RichTextBox>(L"rtbText").SetMousePointer(4);
    IUnknown* object = form->Site(L"rtbText").Object();
    ComPtr<IPerPropertyBrowsing> browsing;
    ASSERT_HRESULT_SUCCEEDED(object->QueryInterface(IID_IPerPropertyBrowsing, browsing.PutVoid()));
    BSTR shown = nullptr;
    ASSERT_HRESULT_SUCCEEDED(browsing->GetDisplayString(RichTextBox::kDispIdMousePointer, &shown));
    EXPECT_STREQ(shown, L"4 - Hand");
    SysFreeString(shown);
    CALPOLESTR strings{};
    CADWORD cookies{};
    ASSERT_HRESULT_SUCCEEDED(
        browsing->GetPredefinedStrings(RichTextBox::kDispIdMousePointer, &strings, &cookies));
    EXPECT_EQ(strings.cElems, 18u);
    for (ULONG i = 0; i < strings.cElems; ++i)
        CoTaskMemFree(strings.pElems[i]);
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    shown = nullptr;
    EXPECT_HRESULT_FAILED(browsing->GetDisplayString(RichTextBox::kDispIdLocked, &shown));

    testsupport::ExpectSafeForScripting(object);
    form->Unload();
}

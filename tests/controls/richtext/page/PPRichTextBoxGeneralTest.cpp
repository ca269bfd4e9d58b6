// The rich text box's General page in the host's property frame, with real windows: loading
// from the first selected box, the key filter, validation as a box is left (message boxes
// captured), the file button through the dialog seam, and Apply writing only the changed
// properties, in order, to the first selected box.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/AllControls.h"
#include "controls/base/ComPtr.h"
#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "controls/dialogs/CommonDialog.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/page/PPRichTextBoxGeneral.h"
#include "host/ComboBox.h"
#include "host/Form.h"
#include "host/PropertyFrame.h"
#include "host/TextBox.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"
#include "tests/support/FormLayout.h"

namespace {

std::vector<std::wstring> g_writes;

// A selected object as the page sees it: the box's dispatch interface, noting every property
// written and answering chosen values for reading.
class Recorder final : public IDispatch {
public:
    Recorder(IUnknown* inner, std::wstring name) : name_(std::move(name)) {
        inner->QueryInterface(IID_IDispatch, inner_.PutVoid());
    }
    std::map<std::wstring, Host::Variant> answers;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(iid, object);  // its pages
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return inner_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
        return inner_->GetTypeInfo(i, l, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        const HRESULT hr = inner_->GetIDsOfNames(iid, names, count, lcid, ids);
        if (SUCCEEDED(hr)) names_[ids[0]] = names[0];
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                     UINT* arg) override {
        const std::wstring& name = names_[id];
        if (flags & DISPATCH_PROPERTYPUT) g_writes.push_back(name_ + L"." + name);
        if ((flags & DISPATCH_PROPERTYGET) && answers.count(name)) {
            VariantCopy(result, &answers[name].Get());
            return S_OK;
        }
        return inner_->Invoke(id, iid, lcid, flags, params, result, info, arg);
    }

private:
    ComPtr<IDispatch> inner_;
    std::wstring name_;
    std::map<DISPID, std::wstring> names_;
    ULONG refs_ = 1;
};

// The open dialog's stand-in: notes what it was given and chooses a file.
struct OpenDialog {
    static inline DWORD flags = 0;
    static inline std::wstring filter, title, chosen;
    static BOOL WINAPI Show(OPENFILENAMEW* ofn) {
        flags = ofn->Flags;
        filter.clear();
        for (const wchar_t* p = ofn->lpstrFilter; p && *p; p += wcslen(p) + 1) {
            if (!filter.empty()) filter += L'\0';
            filter += p;
        }
        title = ofn->lpstrTitle ? ofn->lpstrTitle : L"";
        wcsncpy(ofn->lpstrFile, chosen.c_str(), ofn->nMaxFile - 1);
        // As the system's dialog answers: where the name starts after its folder.
        ofn->nFileOffset = static_cast<WORD>(chosen.find_last_of(L'\\') + 1);
        return TRUE;
    }
};

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        AllControls::Register();
        form_ = Host::Form::FromText(
            testsupport::LayoutText(
                "FDesign", 6000, 3000, {},
                {{"RichTextBox", "rtbFirst", 0, 0, 2800, 1500,
                  "Property MultiLine = True\nProperty MaxLength = 50\nProperty ScrollBars = "
                  "2\nProperty Locked = True\nProperty MousePointer = Integer(2)"},
                 {"RichTextBox", "rtbSecond", 3000, 0, 2800, 1500}}),
            "design.layout");
        form_->SetUserMode(false);  // designing
        form_->Show();
        First().SetPasswordChar(L"*");
        First().SetText(L"keep me");
        first_ = std::make_unique<Recorder>(form_->Site(L"rtbFirst").Object(), L"first");
        second_ = std::make_unique<Recorder>(form_->Site(L"rtbSecond").Object(), L"second");
        g_writes.clear();
    }
    void TearDown() override {
        frame_.reset();
        form_->Unload();
        CommonDialogs::Testing::SetDialogFunctions(nullptr);
    }

    void Open(bool both = false) {
        IUnknown* selection[] = {first_.get(), second_.get()};
        frame_ = std::make_unique<Host::PropertyFrame>(
            L"Properties", std::span<IUnknown* const>(selection, both ? 2 : 1));
        testsupport::DrivenDialog(frame_->Create(form_->Hwnd()));
        page_ = static_cast<PPRichTextBoxGeneral*>(frame_->Page(0));
        g_writes.clear();
    }
    RichTextBox& First() { return form_->ControlAs<RichTextBox>(L"rtbFirst"); }
    Host::Form& Page() { return *page_->PageForm(); }
    Host::TextBox& Text(const wchar_t* name) { return Page().ControlAs<Host::TextBox>(name); }
    Host::ComboBox& Combo(const wchar_t* name) { return Page().ControlAs<Host::ComboBox>(name); }
    CheckBoxW& Check(const wchar_t* name) { return Page().ControlAs<CheckBoxW>(name); }
    void Type(const wchar_t* box, std::wstring_view keys) {
        for (wchar_t c : keys)
            SendMessageW(Text(box).hWnd(), WM_CHAR, c, 0);
    }
    void Leave(const wchar_t* box, const wchar_t* to) {
        Page().Site(box).GetExtender().SetFocus();
        testsupport::PumpPending();
        Page().Site(to).GetExtender().SetFocus();
        testsupport::PumpPending();
    }
    void Apply() {
        SendMessageW(GetDlgItem(frame_->Hwnd(), Host::PropertyFrame::kApplyId), BM_CLICK, 0, 0);
    }
    bool Dirty() { return page_->IsPageDirty() == S_OK; }

    std::unique_ptr<Host::Form> form_;
    std::unique_ptr<Recorder> first_, second_;
    std::unique_ptr<Host::PropertyFrame> frame_;
    PPRichTextBoxGeneral* page_ = nullptr;
};

}  // namespace

TEST_F(PageTest, LoadsTheFirstOfTwoAndAppliesOnlyChangesInOrderToIt) {
    Open(true);
    EXPECT_EQ(Check(L"CheckLocked").Value(), 1);
    EXPECT_EQ(Check(L"CheckEnabled").Value(), 1);
    EXPECT_EQ(Check(L"CheckMouseTrack").Value(), 0);
    EXPECT_EQ(Combo(L"ComboMousePointer").ItemData(Combo(L"ComboMousePointer").ListIndex()), 2);
    EXPECT_EQ(Combo(L"ComboScrollBars").Text(), L"2 - Vertical");
    EXPECT_EQ(Combo(L"ComboTextMode").Text(), L"0 - RichText");
    EXPECT_EQ(Combo(L"ComboIMEMode").Text(), L"0 - NoControl");
    EXPECT_EQ(Combo(L"ComboIMEMode").ListCount(), 11);
    EXPECT_EQ(Combo(L"ComboIMEMode").List(6), L"6 - KatakanaHalf");
    EXPECT_EQ(Combo(L"ComboIMEMode").ItemData(10), 10);
    EXPECT_EQ(Combo(L"ComboScrollBars").List(3), L"3 - Both");
    EXPECT_EQ(Combo(L"ComboTextMode").List(1), L"1 - PlainText");
    EXPECT_EQ(Combo(L"ComboMousePointer").List(0), L"0 - Default");
    EXPECT_EQ(Text(L"TextMaxLength").Text(), L"50");
    EXPECT_EQ(Text(L"TextPasswordChar").Text(), L"*");
    EXPECT_EQ(Text(L"TextUndoLimit").Text(), L"100");
    EXPECT_EQ(Text(L"TextBulletIndent").Text(), L"0");
    EXPECT_EQ(Text(L"TextFileName").Text(), L"");
    EXPECT_FALSE(Dirty());  // loading is no change (Freeze)

    // A click, a choice and typing; the key filter drops the minus sign.
    SendMessageW(Check(L"CheckLocked").hWnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(Dirty());
    SendMessageW(Combo(L"ComboScrollBars").hWnd(), CB_SETCURSEL, 3, 0);
    SendMessageW(Page().Site(L"ComboScrollBars").Hwnd(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Combo(L"ComboScrollBars").hWnd()));
    Text(L"TextMaxLength").SetSelStart(0);
    Text(L"TextMaxLength").SetSelLength(2);
    Type(L"TextMaxLength", L"-75x");
    EXPECT_EQ(Text(L"TextMaxLength").Text(), L"75");
    Apply();
    EXPECT_EQ(g_writes, (std::vector<std::wstring>{L"first.Locked", L"first.MaxLength",
                                                   L"first.ScrollBars"}));
    EXPECT_FALSE(First().Locked());
    EXPECT_EQ(First().MaxLength(), 75);
    EXPECT_EQ(First().ScrollBars(), 3);
    // TextMode was not written, and writing the same mode keeps the content anyway.
    EXPECT_EQ(First().Text(), L"keep me");
    First().SetTextMode(0);
    EXPECT_EQ(First().Text(), L"keep me");
    EXPECT_FALSE(Dirty());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame_->Hwnd(), Host::PropertyFrame::kApplyId)));
    auto& second = form_->ControlAs<RichTextBox>(L"rtbSecond");
    EXPECT_FALSE(second.Locked());
    EXPECT_EQ(second.ScrollBars(), 0);
}

TEST_F(PageTest, LeavingABoxValidatesItsValue) {
    Open();
    struct Case {
        const wchar_t* box;
        const wchar_t* typed;
        const wchar_t* after;  // the box's text after leaving it
        bool refused;
    };
    const Case cases[] = {
        {L"TextPasswordChar", L"ab", L"*", true},         {L"TextPasswordChar", L"", L"", false},
        {L"TextUndoLimit", L"99999999999", L"100", true}, {L"TextUndoLimit", L"007", L"7", false},
        {L"TextBulletIndent", L"1e3", L"1000", false},    {L"TextBulletIndent", L"abc", L"0", true},
        {L"TextBulletIndent", L"-2.5", L"-2.5", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.box << " " << testing::PrintToString(std::wstring(c.typed)));
        testsupport::MessageBoxCatcher catcher;
        Page().Site(c.box).GetExtender().SetFocus();
        testsupport::PumpPending();
        Text(c.box).SetText(c.typed);  // as pasted
        Page().Site(L"CheckEnabled").GetExtender().SetFocus();
        testsupport::PumpPending();
        EXPECT_EQ(Text(c.box).Text(), c.after);
        ASSERT_TRUE(catcher.Saw(c.refused ? 1 : 0));
        if (!c.refused) continue;
        const testsupport::CaughtBox& box = catcher.Boxes()[0];
        EXPECT_EQ(box.title, L"Paylevix");
        EXPECT_EQ(box.text, L"Invalid property value");
        EXPECT_EQ(box.style & MB_ICONMASK, static_cast<DWORD>(MB_ICONHAND));
        EXPECT_EQ(GetFocus(), Text(c.box).hWnd());  // the focus stayed
    }

    // Entering a box with the caret at its start selects it all; leaving puts the caret back.
    Text(L"TextUndoLimit").SetSelStart(0);
    Leave(L"CheckEnabled", L"TextUndoLimit");
    EXPECT_EQ(Text(L"TextUndoLimit").SelLength(), 1);  // all of "7"
    Leave(L"TextUndoLimit", L"CheckEnabled");
    EXPECT_EQ(Text(L"TextUndoLimit").SelStart(), 0);
    EXPECT_EQ(Text(L"TextUndoLimit").SelLength(), 0);

    // Clearing a number box brings the control's value back at once, selected.
    Text(L"TextMaxLength").SetText(L"");
    EXPECT_EQ(Text(L"TextMaxLength").Text(), L"50");
    EXPECT_EQ(Text(L"TextMaxLength").SelLength(), 2);

    // Editing shortcuts pass the digits-only filter: Ctrl+C copies.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    Text(L"TextMaxLength").SetSelStart(0);
    Text(L"TextMaxLength").SetSelLength(2);
    Type(L"TextMaxLength", L"\x03");
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, L"50");
}

TEST_F(PageTest, TheFileButtonUsesTheOpenDialogAndApplyChecksTheFile) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    OpenDialog::chosen = std::wstring(temp) + L"pp_general_test.rtf";
    const std::wstring& chosen = OpenDialog::chosen;
    {
        std::ofstream file(chosen.c_str(), std::ios::binary);
        file << "{\\rtf1 from the file}";
    }
    CommonDialogs::Testing::DialogFunctions functions;
    functions.getOpenFileName = OpenDialog::Show;
    CommonDialogs::Testing::SetDialogFunctions(&functions);
    Open();

    // A name that names no file: nothing is written, the page stays changed.
    Text(L"TextFileName").SetText(L"Z:\\no\\such\\file.rtf");
    {
        testsupport::MessageBoxCatcher catcher;
        Apply();
        ASSERT_TRUE(catcher.Saw(1));
        EXPECT_EQ(catcher.Boxes()[0].text,
                  L"The specified file name cannot be accessed or is invalid.");
        EXPECT_EQ(catcher.Boxes()[0].style & MB_ICONMASK, static_cast<DWORD>(MB_ICONEXCLAMATION));
    }
    EXPECT_TRUE(g_writes.empty());
    EXPECT_TRUE(Dirty());
    EXPECT_EQ(GetFocus(), Text(L"TextFileName").hWnd());

    SendMessageW(Page().ControlAs<CommandButtonW>(L"CommandFileName").hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(OpenDialog::flags, 0x81800u);
    constexpr wchar_t kFilter[] = L"Rich Text Files (*.RTF)\0*.RTF\0Text Files (*.TXT)\0*.TXT";
    EXPECT_EQ(OpenDialog::filter, std::wstring(kFilter, std::size(kFilter) - 1));
    EXPECT_EQ(OpenDialog::title, L"Select File");
    EXPECT_EQ(Text(L"TextFileName").Text(), chosen);
    Apply();
    EXPECT_EQ(g_writes, std::vector<std::wstring>{L"first.FileName"});
    EXPECT_EQ(First().FileName(), chosen);
    EXPECT_EQ(First().Text().substr(0, 13), L"from the file");
    EXPECT_FALSE(Dirty());

    // Editing FileName through the frame brings the user to its box.
    SetFocus(nullptr);
    EXPECT_TRUE(frame_->EditProperty(L"FileName"));
    EXPECT_EQ(GetFocus(), Text(L"TextFileName").hWnd());
    EXPECT_FALSE(frame_->EditProperty(L"MaxLength"));
    DeleteFileW(chosen.c_str());
}

TEST_F(PageTest, AListWithoutAnItemForTheValueChoosesNoneAndIsNotWritten) {
    first_->answers[L"MousePointer"] = Host::Variant::Int16(42);
    Open();
    EXPECT_EQ(Combo(L"ComboMousePointer").ListIndex(), -1);
    SendMessageW(Check(L"CheckMouseTrack").hWnd(), BM_CLICK, 0, 0);
    Apply();
    EXPECT_EQ(g_writes, std::vector<std::wstring>{L"first.MouseTrack"});
    EXPECT_FALSE(Dirty());
}

TEST(PageNumbers, WhatIsNumeric) {
    wchar_t separator[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    const std::wstring half = std::wstring(L"0") + separator + L"5";
    const struct {
        std::wstring text;
        std::optional<double> value;
    } cases[] = {
        {L"12", 12},
        {L" -1.5e2 ", -150},
        {L"+3", 3},
        {L"1.", 1},
        {L".5", 0.5},
        {half, 0.5},
        {L"2E-1", 0.2},
        {L"", std::nullopt},
        {L"-", std::nullopt},
        {L"e5", std::nullopt},
        {L"1e", std::nullopt},
        {L"&H10", std::nullopt},
        {L"1 000", std::nullopt},
        {L"$5", std::nullopt},
        {L"1e999", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PPRichTextBoxGeneral::NumericValue(c.text), c.value)
            << testing::PrintToString(c.text);
    }
}

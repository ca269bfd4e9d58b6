// The whole rich text box: window styles from its properties, every stored key, setters
// reaching the window, content kept across loads and re-creation, files and their errors at
// the COM boundary, and the rich edit library shared by the instances.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/RichTextBoxBase.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/Layout.h"
#include "tests/controls/richtext/RichTextTestSupport.h"
#include "tests/support/MessageBoxCatcher.h"

namespace {

using namespace richtexttest;

// The styles each rich edit window was created with.
struct CreatedStyles {
    static inline std::vector<std::pair<DWORD, DWORD>> seen;
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            wchar_t name[64] = {};
            GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
            if (std::wstring(name) == RichTextBoxBase::RichEditClass()) {
                const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
                seen.emplace_back(static_cast<DWORD>(create->style), create->dwExStyle);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

}  // namespace

TEST(RichTextBoxControl, WindowStylesFollowTheProperties) {
    std::vector<testsupport::LayoutControl> controls;
    int n = 0;
    for (int multi = 0; multi < 2; ++multi)
        for (int bars = 0; bars < 4; ++bars)
            for (int border = 0; border < 2; ++border)
                for (int locked = 0; locked < 2; ++locked) {
                    controls.push_back(
                        Box("rtb" + std::to_string(n++),
                            "Property MultiLine = " + std::string(multi ? "True" : "False") +
                                "\nProperty ScrollBars = " + std::to_string(bars) +
                                "\nProperty Border = " + (border ? "True" : "False") +
                                "\nProperty Locked = " + (locked ? "True" : "False")));
                }
    auto form = FormOf(controls);
    CreatedStyles::seen.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, CreatedStyles::Hook, nullptr, GetCurrentThreadId());
    form->Load();
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(CreatedStyles::seen.size(), 32u);
    n = 0;
    for (int multi = 0; multi < 2; ++multi)
        for (int bars = 0; bars < 4; ++bars)
            for (int border = 0; border < 2; ++border)
                for (int locked = 0; locked < 2; ++locked) {
                    SCOPED_TRACE(n);
                    const auto [style, exStyle] = CreatedStyles::seen[static_cast<size_t>(n++)];
                    EXPECT_EQ(style & 0xFFFF0000u & ~static_cast<DWORD>(WS_HSCROLL | WS_VSCROLL),
                              static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
                    EXPECT_EQ(!!(style & ES_MULTILINE), !!multi);
                    EXPECT_EQ(!!(style & WS_HSCROLL), multi && (bars & 1));
                    EXPECT_EQ(!!(style & WS_VSCROLL), multi && (bars & 2));
                    EXPECT_EQ(!!(style & ES_AUTOHSCROLL), !multi || (bars & 1));
                    EXPECT_EQ(!!(style & ES_AUTOVSCROLL), !!multi);
                    EXPECT_EQ(!!(style & ES_SUNKEN), !!border);
                    EXPECT_EQ(exStyle, border ? static_cast<DWORD>(WS_EX_CLIENTEDGE) : 0u);
                    EXPECT_EQ(!!(style & ES_READONLY), !!locked);
                    // Selection hidden, no password, drag and drop on, no want-return.
                    EXPECT_EQ(style & (ES_NOHIDESEL | ES_PASSWORD | ES_NOOLEDRAGDROP |
                                       ES_WANTRETURN | ES_SAVESEL | ES_DISABLENOSCROLL),
                              0u);
                }
    form->Unload();
}

TEST(RichTextBoxControl, EveryKeyIsStoredAndReadBack) {
    // A new instance writes what differs from the stored defaults: it starts multi-line and
    // shows its own name.
    auto form = FormOf({}, false);
    form->Load();
    form->AddControl(RichTextBox::kTypeName, L"rtbNew", 0, 0, 3000, 1500);
    auto& fresh = form->ControlAs<RichTextBox>(L"rtbNew");
    EXPECT_EQ(fresh.Text(), L"rtbNew");
    Layout::FormLayout saved = form->SaveLayout();
    std::vector<std::string> keys;
    for (const auto& p : saved.controls.at(0).properties)
        keys.push_back(p.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"MultiLine", "Text", "TextRTF"}));

    // Every property away from its default, while designing.
    fresh.SetVisualStyles(false);
    fresh.SetEnabled(false);
    fresh.SetOLEDragDrop(false);
    fresh.SetMousePointer(11);
    fresh.SetMouseTrack(true);
    fresh.SetRightToLeftMode(0);
    fresh.SetBorder(false);
    fresh.SetBackColor(0x00336699);
    fresh.SetLocked(true);
    fresh.SetHideSelection(false);
    fresh.SetPasswordChar(L"*");
    fresh.SetMultiLine(false);
    fresh.SetMaxLength(5000);
    fresh.SetScrollBars(3);
    fresh.SetWantReturn(false);
    fresh.SetDisableNoScroll(true);
    fresh.SetAutoURLDetect(false);
    fresh.SetBulletIndent(300);  // twips: 20 pixels
    fresh.SetSelectionBar(true);
    fresh.SetUndoLimit(7);
    fresh.SetIMEMode(3);
    fresh.SetAllowOverType(false);
    fresh.SetTextMode(1);
    fresh.SetText(L"plain \U0001F600");
    const std::string text = Layout::Write(form->SaveLayout());
    form->Unload();

    // Loaded at run time: every value back, the content in its mode.
    auto again = Host::Form::FromText(text, "saved.layout");
    again->Load();
    auto& box = again->ControlAs<RichTextBox>(L"rtbNew");
    EXPECT_FALSE(box.VisualStyles());
    EXPECT_FALSE(box.Enabled());
    EXPECT_FALSE(box.OLEDragDrop());
    EXPECT_EQ(box.MousePointer(), 11);
    EXPECT_TRUE(box.MouseTrack());
    EXPECT_EQ(box.RightToLeftMode(), 0);
    EXPECT_FALSE(box.Border());
    EXPECT_EQ(box.BackColor(), 0x00336699u);
    EXPECT_TRUE(box.Locked());
    EXPECT_FALSE(box.HideSelection());
    EXPECT_EQ(box.PasswordChar(), L"*");
    EXPECT_FALSE(box.MultiLine());
    EXPECT_EQ(box.MaxLength(), 5000);
    EXPECT_EQ(box.ScrollBars(), 3);
    EXPECT_FALSE(box.WantReturn());
    EXPECT_TRUE(box.DisableNoScroll());
    EXPECT_FALSE(box.AutoURLDetect());
    EXPECT_FLOAT_EQ(box.BulletIndent(), 300);
    EXPECT_TRUE(box.SelectionBar());
    EXPECT_EQ(box.UndoLimit(), 7);
    EXPECT_EQ(box.TextMode(), 1);
    EXPECT_EQ(box.IMEMode(), 3);
    EXPECT_FALSE(box.AllowOverType());
    EXPECT_EQ(box.Text(), L"plain \U0001F600");
    EXPECT_EQ(Layout::Write(again->SaveLayout()), text);
    again->Unload();
}

TEST(RichTextBoxControl, SettersReachTheWindow) {
    auto form = FormOf({Box("rtbText")});
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    std::vector<Recorder::Sent> sent;
    ASSERT_TRUE(
        SetWindowSubclass(box.hWnd(), Recorder::Proc, 7, reinterpret_cast<DWORD_PTR>(&sent)));
    const DWORD options = static_cast<DWORD>(SendMessageW(box.hWnd(), EM_GETOPTIONS, 0, 0));
    struct Case {
        const wchar_t* member;
        Host::Variant value;
        std::vector<Recorder::Sent> expected;
    };
    const Case cases[] = {
        {L"SelectionBar",
         I4(-1),
         {{EM_GETOPTIONS, 0, 0},
          {EM_SETOPTIONS, ECOOP_SET, static_cast<LPARAM>(options | ECO_SELECTIONBAR)}}},
        {L"HideSelection", I4(0), {{EM_HIDESELECTION, 0, 0}}},
        {L"MaxLength", I4(10), {{EM_EXLIMITTEXT, 0, 10}}},
        {L"Locked", I4(-1), {{EM_SETREADONLY, 1, 0}}},
        {L"AutoURLDetect", I4(0), {{EM_AUTOURLDETECT, 0, 0}}},
        {L"PasswordChar", Str(L"#"), {{EM_SETPASSWORDCHAR, L'#', 0}}},
        {L"BackColor", I4(0x0000FF), {{EM_SETBKGNDCOLOR, 0, 0x0000FF}}},
        {L"UndoLimit", I4(0), {{EM_SETTEXTMODE, TM_SINGLELEVELUNDO, 0}, {EM_SETUNDOLIMIT, 0, 0}}},
        {L"OverTypeMode", I4(-1), {{WM_KEYDOWN, VK_INSERT, 0}, {WM_KEYUP, VK_INSERT, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        sent.clear();
        EXPECT_EQ(Invoke(*form, L"rtbText", c.member, DISPATCH_PROPERTYPUT, {c.value}).hr, S_OK);
        // In this order; the window may send itself more on the way.
        auto next = sent.begin();
        for (const Recorder::Sent& want : c.expected) {
            next = std::find(next, sent.end(), want);
            EXPECT_NE(next, sent.end())
                << std::hex << want.msg << " " << want.wParam << " " << want.lParam;
            if (next == sent.end()) break;
            ++next;
        }
    }
    EXPECT_TRUE(box.OverTypeMode());
    EXPECT_EQ(box.PasswordChar(), L"#");
    box.SetAllowOverType(false);
    EXPECT_FALSE(box.OverTypeMode());
    RemoveWindowSubclass(box.hWnd(), Recorder::Proc, 7);
    form->Unload();
}

TEST(RichTextBoxControl, ContentIsNeverCutAndSurvivesReCreation) {
    // Scrolling sideways, the window lays out the long document without wrapping it.
    auto form = FormOf({Box(
        "rtbText", "Property MultiLine = True\nProperty MaxLength = 10\nProperty ScrollBars = 3")});
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    std::wstring document;
    while (document.size() < 200000)
        document += std::wstring(97, L'y') + L"Ё\r\n";
    box.SetText(document);
    EXPECT_EQ(box.Text(), document);
    EXPECT_EQ(SendMessageW(box.hWnd(), EM_GETLIMITTEXT, 0, 0), 10);
    // A re-created window takes the whole document again and keeps the limit.
    box.SetScrollBars(1);
    EXPECT_EQ(box.Text(), document);
    EXPECT_EQ(SendMessageW(box.hWnd(), EM_GETLIMITTEXT, 0, 0), 10);

    // Outside the basic plane in plain-text mode; the selection as text.
    box.SetTextMode(1);
    box.SetText(L"face \U0001F600 end");
    EXPECT_EQ(box.Text(), L"face \U0001F600 end");
    CHARRANGE face{5, 7};
    SendMessageW(box.hWnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&face));
    EXPECT_EQ(box.SelText(), L"\U0001F600");
    box.SetSelText(L"smile");
    EXPECT_EQ(box.Text(), L"face smile end");
    form->Unload();
}

TEST(RichTextBoxControl, FilesAndErrorsAtTheComBoundary) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"rtbcontrol.rtf";
    auto form = FormOf({Box("rtbText", kMultiLine)});
    form->Show(Host::ShowMode::Modeless);
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    box.SetTextRTF(L"{\\rtf1\\ansi Saved \\b text\\b0\\par}");
    EXPECT_EQ(Invoke(*form, L"rtbText", L"SaveFile", DISPATCH_METHOD, {Str(file.c_str())}).hr,
              S_OK);
    box.SetText(L"");
    EXPECT_EQ(
        Invoke(*form, L"rtbText", L"LoadFile", DISPATCH_METHOD, {Str(file.c_str()), I4(0)}).hr,
        S_OK);
    EXPECT_EQ(box.Text().substr(0, 10), L"Saved text");
    Call selection = Invoke(*form, L"rtbText", L"SelRTF", DISPATCH_PROPERTYGET);
    EXPECT_EQ(selection.hr, S_OK);

    struct Case {
        const wchar_t* member;
        WORD flags;
        std::vector<Host::Variant> args;
        int32_t number;
        std::wstring description;
    };
    const Case cases[] = {
        {L"LoadFile",
         DISPATCH_METHOD,
         {Str(L"C:\\no\\such\\file.rtf")},
         75,
         L"The specified file name cannot be accessed or is invalid"},
        {L"SaveFile",
         DISPATCH_METHOD,
         {Str(L"C:\\no\\such\\file.rtf")},
         75,
         L"The specified file name cannot be accessed or is invalid"},
        {L"FileName",
         DISPATCH_PROPERTYPUT,
         {Str(L"C:\\no\\such\\file.rtf")},
         75,
         L"The specified file name cannot be accessed or is invalid"},
        {L"ScrollBars", DISPATCH_PROPERTYPUT, {I4(4)}, 380, L"Invalid property value"},
        {L"MaxLength", DISPATCH_PROPERTYPUT, {I4(-1)}, 380, L"Invalid property value"},
        {L"PasswordChar", DISPATCH_PROPERTYPUT, {Str(L"ab")}, 380, L"Invalid property value"},
        {L"MultiLine",
         DISPATCH_PROPERTYPUT,
         {I4(0)},
         382,
         L"MultiLine property is read-only at run time"},
        {L"DisableNoScroll",
         DISPATCH_PROPERTYPUT,
         {I4(-1)},
         382,
         L"DisableNoScroll property is read-only at run time"},
        {L"hWnd", DISPATCH_PROPERTYPUT, {I4(0)}, 383, L"Property is read-only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        const Call call = Invoke(*form, L"rtbText", c.member, c.flags, c.args);
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.number, c.number);
        EXPECT_EQ(call.description, c.description);
    }
    EXPECT_TRUE(box.MultiLine());
    EXPECT_EQ(box.MaxLength(), 0);
    form->Unload();

    // While designing, a message box with the text and nothing stored.
    auto design = FormOf({Box("rtbText", kMultiLine)}, false);
    design->Load();
    auto& designed = design->ControlAs<RichTextBox>(L"rtbText");
    testsupport::MessageBoxCatcher catcher;
    designed.SetMaxLength(-5);
    designed.LoadFile(L"C:\\no\\such\\file.rtf");
    ASSERT_TRUE(catcher.Saw(2));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Invalid property value");
    EXPECT_EQ(catcher.Boxes()[1].text,
              L"The specified file name cannot be accessed or is invalid.");
    EXPECT_EQ(catcher.Boxes()[1].style & 0xF0, static_cast<DWORD>(MB_ICONHAND));
    EXPECT_EQ(designed.MaxLength(), 0);
    // A plain-text box refuses an RTF file: nothing loaded, no file name.
    designed.SetTextMode(1);
    designed.SetText(L"kept");
    designed.SetFileName(file);
    EXPECT_EQ(designed.FileName(), L"");
    EXPECT_EQ(designed.Text(), L"kept");
    designed.SetTextMode(0);
    designed.SetFileName(file);
    EXPECT_EQ(designed.FileName(), file);
    // Re-created while designing: the file is read again, or kept when it is gone.
    DeleteFileW(file.c_str());
    designed.SetMultiLine(false);
    EXPECT_EQ(designed.Text().substr(0, 10), L"Saved text");
    design->Unload();
}

TEST(RichTextBoxControl, OneLibraryForAllInstances) {
    auto form = FormOf({Box("rtbOne"), Box("rtbTwo")});
    EXPECT_EQ(RichTextBoxBase::RichEditModule(), nullptr);
    form->Load();
    const HMODULE library = RichTextBoxBase::RichEditModule();
    ASSERT_NE(library, nullptr);
    // Re-creating a window keeps the library where it is.
    form->ControlAs<RichTextBox>(L"rtbOne").SetScrollBars(3);
    form->ControlAs<RichTextBox>(L"rtbOne").IDEStop();
    EXPECT_EQ(form->ControlAs<RichTextBox>(L"rtbOne").hWnd(), nullptr);
    EXPECT_EQ(RichTextBoxBase::RichEditModule(), library);
    form->Unload();
    EXPECT_EQ(RichTextBoxBase::RichEditModule(), nullptr);
}

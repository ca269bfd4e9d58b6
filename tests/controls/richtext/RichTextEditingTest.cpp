// Editing operations on a real rich edit window: lines, search, the clipboard and undo, and,
// where the window under test only stubs the message (margins, undo names), the messages
// the control sends and how it reads a scripted answer.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/richtext/RichTextBox.h"
#include "tests/controls/richtext/RichTextTestSupport.h"

using namespace richtexttest;

namespace {

// Answers the messages the window under test only stubs, and records what was sent.
struct Scripted {
    std::vector<Recorder::Sent> sent;
    LRESULT margins = 0;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
        auto& self = *reinterpret_cast<Scripted*>(data);
        switch (msg) {
            case EM_GETUNDONAME:
                return UID_CUT;
            case EM_GETREDONAME:
                return UID_PASTE;
            case EM_GETMARGINS:
                return self.margins;
            case EM_SETMARGINS:
                self.sent.push_back({msg, wParam, lParam});
                return 0;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
};

}  // namespace

TEST(RichTextEditing, LinesCountFromOneAndZeroIsTheCaretsLine) {
    LoadedBox f(L"first line\r\nsecond\r\n\r\nfourth");
    f.box->SetSelStart(12);  // in "second"
    struct Case {
        int32_t line;
        const wchar_t* text;  // null: error 380
    };
    const Case cases[] = {{1, L"first line"}, {2, L"second"}, {3, L""},     {4, L"fourth"},
                          {0, L"second"},     {5, nullptr},   {-1, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Call call = f.Do(L"GetLine", {I4(c.line)});
        if (c.text) {
            EXPECT_EQ(call.result.ToString(), c.text);
        } else {
            EXPECT_EQ(call.number, 380);
        }
    }
    EXPECT_EQ(f.Do(L"GetLineCount").result.ToInt32(), 4);
    f.box->SetSelStart(18);  // the empty third line
    EXPECT_EQ(f.Do(L"GetLineFromChar", {I4(-1)}).result.ToInt32(), 3);
    EXPECT_EQ(f.Do(L"GetLineFromChar", {I4(0)}).result.ToInt32(), 1);
    EXPECT_EQ(f.Do(L"GetLineFromChar", {I4(-2)}).number, 380);
    EXPECT_EQ(f.Do(L"ScrollToLine", {I4(9)}).number, 380);
    EXPECT_EQ(f.Do(L"CharFromPos", {R8(0), R8(0)}).result.ToInt32(), 0);
    EXPECT_EQ(f.Do(L"CharFromPos", {R8(1e12), R8(0)}).number, 6);
}

TEST(RichTextEditing, ScrollToLinePutsTheLineAtTheTop) {
    std::wstring text;
    for (int i = 1; i <= 40; ++i)
        text += L"line " + std::to_wstring(i) + L"\r\n";
    LoadedBox f(text.c_str());
    ASSERT_EQ(f.Do(L"ScrollToLine", {I4(7)}).hr, S_OK);
    EXPECT_EQ(SendMessageW(f.box->hWnd(), EM_GETFIRSTVISIBLELINE, 0, 0), 6);
    ASSERT_EQ(f.Do(L"ScrollToLine", {I4(2)}).hr, S_OK);
    EXPECT_EQ(SendMessageW(f.box->hWnd(), EM_GETFIRSTVISIBLELINE, 0, 0), 1);
}

TEST(RichTextEditing, FindSelectsTheMatchUnlessAskedNotTo) {
    LoadedBox f(L"One two three two Two");
    struct Case {
        const wchar_t* text;
        std::vector<Host::Variant> more;  // Start, End, Options
        int32_t found;
        CHARRANGE selection;
    };
    const Case cases[] = {
        {L"two", {}, 4, {4, 7}},
        {L"two", {I4(5)}, 14, {14, 17}},
        {L"two", {I4(5), I4(10)}, -1, {14, 17}},
        {L"Two", {I4(0), I4(-1), I4(4)}, 18, {18, 21}},
        {L"tw", {I4(0), I4(-1), I4(2)}, -1, {18, 21}},
        {L"three", {I4(0), I4(-1), I4(8)}, 8, {18, 21}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.found);
        std::vector<Host::Variant> args{Str(c.text)};
        args.insert(args.end(), c.more.begin(), c.more.end());
        EXPECT_EQ(f.Do(L"Find", args).result.ToInt32(), c.found);
        EXPECT_EQ(f.Selection().cpMin, c.selection.cpMin);
        EXPECT_EQ(f.Selection().cpMax, c.selection.cpMax);
    }
    EXPECT_EQ(f.Do(L"Find", {Str(L"x"), I4(-1)}).number, 380);
    EXPECT_EQ(f.Do(L"Find", {Str(L"x"), I4(0), I4(-2)}).number, 380);
}

TEST(RichTextEditing, ClipboardUndoAndTheModifiedFlag) {
    LoadedBox f(L"alpha beta");
    EXPECT_EQ(f.Do(L"GetSelType").result.ToInt32(), SEL_EMPTY);
    ASSERT_EQ(f.Put(L"Modified", {Host::Variant::Bool(false)}).hr, S_OK);
    f.box->SetSelStart(0);
    f.box->SetSelLength(5);
    EXPECT_EQ(f.Do(L"GetSelType").result.ToInt32(), SEL_TEXT | SEL_MULTICHAR);
    f.Do(L"Copy");
    EXPECT_TRUE(f.Do(L"CanPaste").result.ToBool());
    f.box->SetSelStart(10);
    f.Do(L"Paste");
    EXPECT_EQ(f.box->Text(), L"alpha betaalpha");
    EXPECT_TRUE(f.box->Modified());
    EXPECT_TRUE(f.Do(L"CanUndo").result.ToBool());
    f.Do(L"Undo");
    EXPECT_EQ(f.box->Text(), L"alpha beta");
    EXPECT_TRUE(f.Do(L"CanRedo").result.ToBool());
    f.Do(L"Redo");
    EXPECT_EQ(f.box->Text(), L"alpha betaalpha");
    f.box->SetSelStart(0);
    f.box->SetSelLength(6);
    f.Do(L"Cut");
    EXPECT_EQ(f.box->Text(), L"betaalpha");
    f.box->SetSelLength(4);
    f.Do(L"Clear");
    EXPECT_EQ(f.box->Text(), L"alpha");
    f.Do(L"ResetUndoQueue");
    EXPECT_FALSE(f.Do(L"CanUndo").result.ToBool());
    ASSERT_EQ(f.Put(L"Modified", {Host::Variant::Bool(false)}).hr, S_OK);
    EXPECT_FALSE(f.Get(L"Modified").result.ToBool());
}

TEST(RichTextEditing, MarginsUndoNamesAndZoom) {
    LoadedBox f(L"text");
    Scripted script;
    script.margins = MAKELONG(4, 8);
    ASSERT_TRUE(
        SetWindowSubclass(f.box->hWnd(), Scripted::Proc, 9, reinterpret_cast<DWORD_PTR>(&script)));
    EXPECT_EQ(f.box->UndoType(), UID_CUT);
    EXPECT_EQ(f.box->RedoType(), UID_PASTE);
    EXPECT_FLOAT_EQ(f.box->LeftMargin(), 60);  // twips: 4 pixels
    EXPECT_FLOAT_EQ(f.box->RightMargin(), 120);

    struct Case {
        const wchar_t* member;
        Host::Variant value;
        int32_t number;
        std::vector<Recorder::Sent> sent;
    };
    const Case cases[] = {
        {L"LeftMargin", I4(-1), 0, {{EM_SETMARGINS, EC_USEFONTINFO, 0}}},
        {L"RightMargin", I4(65535), 0, {{EM_SETMARGINS, EC_USEFONTINFO, 0}}},
        {L"LeftMargin", I4(150), 0, {{EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(10, 0)}}},
        {L"RightMargin", I4(150), 0, {{EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, 10)}}},
        {L"LeftMargin", I4(-2), 380, {}},
        {L"RightMargin", R8(1e6), 6, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.member, c.member + wcslen(c.member)));
        script.sent.clear();
        EXPECT_EQ(f.Put(c.member, {c.value}).number, c.number);
        EXPECT_EQ(script.sent, c.sent);
    }
    RemoveWindowSubclass(f.box->hWnd(), Scripted::Proc, 9);

    ASSERT_EQ(f.Put(L"ZoomFactor", {R8(2.5)}).hr, S_OK);
    EXPECT_DOUBLE_EQ(f.box->ZoomFactor(), 2.5);
    ASSERT_EQ(f.Put(L"ZoomFactor", {R8(1)}).hr, S_OK);
    int numerator = -1, denominator = -1;
    SendMessageW(f.box->hWnd(), EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator),
                 reinterpret_cast<LPARAM>(&denominator));
    EXPECT_EQ(numerator, 0);
    EXPECT_DOUBLE_EQ(f.box->ZoomFactor(), 1);
    EXPECT_EQ(f.Put(L"ZoomFactor", {R8(100)}).number, 380);
    EXPECT_EQ(f.Put(L"ZoomFactor", {R8(3e6)}).number, 6);
    EXPECT_EQ(f.Put(L"BulletIndent", {R8(1e12)}).number, 6);
}

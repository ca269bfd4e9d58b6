// formscript.exe run on small scripts through the system's VBScript and JScript engines:
// each case gives a script (and a layout), and what the program must write and return.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/FormLayout.h"

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FTest", 4800, 3000, {R"(Caption = "Test form")", "StartUpPosition = 2"},
    {{"CommandButtonW", "cmdOk", 120, 120, 1500, 450,
      "TabIndex = 0\nProperty Caption = Utf16(\"OK\")"},
     {"CheckBoxW", "chkAgree", 120, 720, 2400, 360,
      "TabIndex = 1\nProperty Caption = Utf16(\"Agree\")"},
     {"RichTextBox", "rtbText", 120, 1200, 4500, 1500, "TabIndex = 2\nProperty MultiLine = True"}});

constexpr char kRedLayout[] = R"(PaylevixLayout 1
Begin Form FRed
    Caption = "Red"
    StartUpPosition = 2
    BackColor = 0x000000FF
End
)";

enum class Encoding { Utf8, Utf8Bom, Utf16 };

struct Case {
    const char* name;
    const wchar_t* scriptFile;  // its extension chooses the engine
    const char* layout;         // none: the empty form
    const char* script;         // UTF-8
    const char* out;            // standard output, lines ending in \n
    const char* err;            // standard error
    long exitCode;
    Encoding encoding = Encoding::Utf8;
    std::vector<std::wstring> args = {};
};

std::string Unix(std::string text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring w(utf8.size(), L'\0');
    w.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                     static_cast<int>(utf8.size()), w.data(),
                                                     static_cast<int>(w.size()))));
    return w;
}

std::string Encode(const std::string& utf8, Encoding encoding) {
    if (encoding == Encoding::Utf8) return utf8;
    if (encoding == Encoding::Utf8Bom) return "\xEF\xBB\xBF" + utf8;
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : Wide(utf8)) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// A 2 x 2 pixel, 24-bit bitmap file.
std::string TinyBitmap() {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = 2;
    info.biHeight = 2;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const std::string pixels(16, '\x40');  // two rows of 6 bytes, each padded to 8
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    return std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
           std::string(reinterpret_cast<const char*>(&info), sizeof(info)) + pixels;
}

std::wstring Runner() {
    return testsupport::ExeFolder() + L"..\\..\\script\\formscript.exe";
}

testsupport::RunResult RunFormScript(const std::wstring& folder,
                                     const std::vector<std::wstring>& args) {
    std::wstring line = L"\"" + Runner() + L"\"";
    for (const std::wstring& a : args)
        line += L" \"" + a + L"\"";
    testsupport::RunResult r = testsupport::RunCaptured(line, folder, 30000);
    r.out = Unix(r.out);
    r.err = Unix(r.err);
    return r;
}

testsupport::RunResult RunCase(const Case& c) {
    const std::wstring folder = testsupport::FreshFolder(L"formscript-" + Wide(c.name));
    std::vector<std::wstring> args;
    testsupport::WriteFileBytes(folder + L"pic.bmp", TinyBitmap());
    if (c.layout) {
        testsupport::WriteFileBytes(folder + L"test.layout", c.layout);
        args.push_back(folder + L"test.layout");
    }
    testsupport::WriteFileBytes(folder + c.scriptFile, Encode(c.script, c.encoding));
    args.push_back(folder + c.scriptFile);
    args.insert(args.end(), c.args.begin(), c.args.end());
    return RunFormScript(folder, args);
}

const Case kCases[] = {
    {"NamedItemsAndLoadFirst",
     L"t.vbs",
     kLayout.c_str(),
     "Sub Form_Load\n"
     "    Host.Echo \"load\", Form.Caption, Form.Visible\n"
     "End Sub\n"
     "Host.Echo cmdOk.Caption, chkAgree.Caption, chkAgree.Value, Form.Controls.Count\n"
     "cmdOk.Move 240, 360\n"
     "Host.Echo cmdOk.Name, cmdOk.Left, cmdOk.Top, cmdOk.Width, Form.Controls(2).Name\n"
     "Host.Echo Host.Arguments.Count, Host.Arguments(1), Host.ClassName(Form.hWnd)\n"
     "For Each c In Form.Controls\n"
     "    names = names & c.Name & \" \"\n"
     "Next\n"
     "For Each a In Host.Arguments\n"
     "    names = names & a & \" \"\n"
     "Next\n"
     "Host.Echo names\n",
     "load Test form False\nOK Agree 0 3\ncmdOk 240 360 1500 rtbText\n"
     "2 two words ThunderRT6FormDC\ncmdOk chkAgree rtbText one two words \n",
     "",
     0,
     Encoding::Utf8,
     {L"one", L"two words"}},
    {"JScriptNamedItemsAndErrorNumbers", L"t.js", kLayout.c_str(),
     "function Form_Load() { Host.Echo('load'); }\n"
     "Host.Echo(cmdOk.Caption, Form.Controls.Count, Host.Arguments.Count, true);\n"
     "try { chkAgree.Value = 7; } catch (e) { Host.Echo(e.number & 0xFFFF, e.description); }\n"
     "var names = [];\n"
     "for (var e = new Enumerator(Form.Controls); !e.atEnd(); e.moveNext())\n"
     "    names.push(e.item().Name);\n"
     "Host.Echo(names.join(','));\n",
     "load\nOK 3 0 true\n380 Invalid property value\ncmdOk,chkAgree,rtbText\n", "", 0},
    {"ControlsAddAndRemove", L"t.vbs", nullptr,
     "Set b = Form.Controls.Add(\"CommandButtonW\", \"cmdNew\")\n"
     "b.Caption = \"New\"\n"
     "Host.Echo Form.Controls(\"cmdNew\").Caption, Form.Controls.Count, b.Width, Form.ScaleWidth\n"
     "Set c = Form.Controls.Add(\"CheckBoxW\", \"chkNew\", 0, 600, 2000, 300)\n"
     "Host.Echo c.Top, Form.Controls(1).Name\n"
     "Form.Controls.Remove \"cmdNew\"\n"
     "Host.Echo Form.Controls.Count\n"
     "On Error Resume Next\n"
     "Host.Echo b.Caption\n"
     "Host.Echo Err.Number, Err.Description\n"
     "Err.Clear\n"
     "Form.Controls.Add \"NoSuchControl\", \"x1\"\n"
     "Host.Echo Err.Number, Err.Description\n",
     "New 1 1215 6000\n600 chkNew\n1\n730 Control 'cmdNew' not found\n"
     "711 Invalid class string: NoSuchControl\n",
     "", 0},
    {"NumberedErrorsWithOnErrorResumeNext", L"t.vbs", kLayout.c_str(),
     "On Error Resume Next\n"
     "chkAgree.Value = 7\n"
     "Host.Echo Err.Number, Err.Description\n"
     "Err.Clear\n"
     "rtbText.ScrollBars = 9\n"
     "Host.Echo Err.Number, Err.Description, rtbText.ScrollBars\n"
     "Err.Clear\n"
     "Host.Echo Host.Arguments(5)\n"
     "Host.Echo Err.Number, Err.Description\n",
     "380 Invalid property value\n380 Invalid property value 0\n9 Subscript out of range\n", "", 0},
    {"EventsWithArgumentsByReference", L"t.vbs", kLayout.c_str(),
     "Dim n\n"
     "Sub cmdOk_Click()\n"
     "    n = n + 1\n"
     "    Host.Echo \"click\", n\n"
     "End Sub\n"
     "Sub Form_QueryUnload(Cancel, UnloadMode)\n"
     "    Host.Echo \"queryunload\", UnloadMode\n"
     "    If n < 2 Then Cancel = True\n"
     "End Sub\n"
     "Sub Form_Unload(Cancel)\n"
     "    Host.Echo \"unload\"\n"
     "End Sub\n"
     "Form.Show\n"
     "Host.Click cmdOk\n"
     "Host.Echo Form.Unload\n"
     "Host.Click cmdOk, 100, 100\n"
     "Host.Echo Form.Unload, Form.Visible\n",
     "click 1\nqueryunload 1\nFalse\nclick 2\nqueryunload 1\nunload\nTrue False\n", "", 0},
    {"SendKeysAndClickReachTheControls", L"t.vbs", kLayout.c_str(),
     "Dim refuse\n"
     "Sub chkAgree_Click()\n"
     "    Host.Echo \"agree\", chkAgree.Value\n"
     "End Sub\n"
     "Sub chkAgree_Validate(Cancel)\n"
     "    Host.Echo \"validate\"\n"
     "    Cancel = refuse\n"
     "End Sub\n"
     "Form.Show\n"
     "Host.Click chkAgree\n"
     "Host.SendKeys \" \"\n"
     "refuse = True\n"
     "Host.SendKeys \"{TAB}\"\n"
     "Host.Echo Form.ActiveControl.Name\n"
     "refuse = False\n"
     "Host.SendKeys \"{TAB}\"\n"
     "Host.Echo Form.ActiveControl.Name\n"
     "Host.SendKeys \"Hi{+}{{}~x\"\n"
     "Host.Echo Replace(Replace(Host.WindowText(Host.FocusedWindow), vbCrLf, \"|\"), vbCr, "
     "\"|\")\n"
     "Form.Hide\n",
     "agree 1\nagree 0\nvalidate\nchkAgree\nvalidate\nrtbText\nHi+{|x\n", "", 0},
    {"PropertyPagesInTheModalFrame", L"t.vbs", kLayout.c_str(),
     "Form.Show\n"
     "Host.DialogKeys \"%l~\"\n"
     "Host.Echo Host.ShowPropertyPages(rtbText), rtbText.Locked, Form.Visible\n"
     "Host.DialogKeys \"%l{ESC}\"\n"
     "Host.Echo Host.ShowPropertyPages(rtbText, \"FileName\"), rtbText.Locked\n"
     "On Error Resume Next\n"
     "Host.ShowPropertyPages cmdOk\n"
     "Host.Echo Err.Number, Err.Description\n"
     "Form.Hide\n",
     "True True True\nFalse True\n5 The object has no property pages\n", "", 0},
    {"KeyPressHandlerChangesOrSwallowsTheKey", L"t.vbs", kLayout.c_str(),
     "Sub rtbText_KeyPress(KeyAscii)\n"
     "    If KeyAscii = Asc(\"x\") Then KeyAscii = 0\n"
     "    If KeyAscii = Asc(\"b\") Then KeyAscii = Asc(\"B\")\n"
     "End Sub\n"
     "Form.Show\n"
     "rtbText.SetFocus\n"
     "Host.SendKeys \"axbx\"\n"
     "Host.Echo rtbText.Text\n"
     "Form.Hide\n",
     "aB\n", "", 0},
    {"DialogKeysAnswerTheNextCommonDialog", L"t.js", nullptr,
     "var d = Form.Controls.Add('CommonDialog', 'dlg');\n"
     "Form.Show();\n"
     "Host.DialogKeys('C:\\\\picked.txt~');\n"
     "d.ShowSave();\n"
     "Host.Echo(d.FileName, d.FileTitle);\n"
     "d.CancelError = true;\n"
     "Host.DialogKeys('{ESC}');\n"
     "try { d.ShowColor(); } catch (e) { Host.Echo(e.number & 0xFFFF, e.description); }\n"
     "Form.Hide();\n",
     "C:\\picked.txt picked.txt\n32755 Cancel was selected.\n", "", 0},
    {"ModalShowReturnsWhenHidden", L"t.vbs", kLayout.c_str(),
     "Sub Form_Activate\n"
     "    Host.Click cmdOk\n"
     "End Sub\n"
     "Sub cmdOk_Click\n"
     "    Form.Hide\n"
     "End Sub\n"
     "Form.Show 1\n"
     "Host.Echo \"returned\", Form.Visible\n",
     "returned False\n", "", 0},
    {"JScriptHandlersGetTheArguments", L"t.js", nullptr,
     "function Form_QueryUnload(cancel, mode) { Host.Echo('queryunload', mode); }\n"
     "function Form_Unload(cancel) { Host.Echo('unload', cancel); }\n"
     "Host.Echo(Form.Unload());\n",
     "queryunload 1\nunload false\ntrue\n", "", 0},
    {"PressInsideReleaseOutside", L"t.vbs", kLayout.c_str(),
     "Sub chkAgree_Click\n"
     "    Host.Echo \"click\"\n"
     "End Sub\n"
     "Form.Show\n"
     "Host.MouseDown chkAgree\n"
     "Host.MoveMouse chkAgree, -600, -600\n"
     "Host.MouseUp chkAgree, -600, -600\n"
     "Host.Echo chkAgree.Value\n"
     "Host.MouseDown chkAgree, 100, 100\n"
     "Host.MouseUp chkAgree, 100, 100\n"
     "Host.Echo chkAgree.Value\n"
     "Form.Hide\n",
     "0\nclick\n1\n", "", 0},
    {"WindowFactsPicturesAndClipboard", L"t.vbs", kRedLayout,
     "Form.Show\n"
     "Host.Echo Host.Pixel(Form.hWnd, 3, 3), Host.SendMessage(Form, 14, 0, 0), _\n"
     "    (Host.GetWindowLong(Form.hWnd, -16) And &H10000000) <> 0\n"
     "Set p = Host.LoadPicture(Host.ScriptFolder & \"\\pic.bmp\")\n"
     "Host.Echo p.Type, p.Width > 0\n"
     "On Error Resume Next\n"
     "Host.LoadPicture Host.ScriptFolder & \"\\none.bmp\"\n"
     "Host.Echo Err.Number\n"
     "On Error GoTo 0\n"
     "Set r = Form.Controls.Add(\"RichTextBox\", \"rtbNew\", 0, 600, 3000, 900)\n"
     "r.SetFocus\n"
     "Host.SendKeys \"copied^a^c\"\n"
     "Host.Echo Host.ClipboardText, Host.ClassName(Host.FocusedWindow) = \"RichEdit50W\"\n"
     "Form.Hide\n",
     // A new rich text box shows its own name, the caret before it.
     "255 3 True\n1 True\n53\ncopiedrtbNew True\n", "", 0},
    {"MessageBoxesAnswered", L"t.vbs", nullptr,
     "Host.AnswerBoxes 7\n"
     "Host.Echo MsgBox(\"Proceed?\", vbYesNo + vbQuestion, \"Title\")\n"
     "Host.AnswerBoxes 1\n"
     "Host.Echo MsgBox(\"Second\", vbOKOnly, \"Again\")\n",
     "BOX Title | Proceed?\n7\nBOX Again | Second\n1\n", "", 0},
    {"Utf16ScriptWithCyrillic", L"t.vbs", nullptr,
     "Form.Caption = \"Окно проверки\"\nHost.Echo Form.Caption, Len(\"Привет\")\n",
     "Окно проверки 6\n", "", 0, Encoding::Utf16},
    {"Utf8ScriptWithByteOrderMark", L"t.js", nullptr,
     "Form.Caption = 'Окно';\nHost.Echo(Form.Caption, 'Привет'.length);\n", "Окно 6\n", "", 0,
     Encoding::Utf8Bom},
    {"QuitEndsWithItsCode", L"t.vbs", nullptr,
     "Host.Echo \"bye\"\nForm.Show\nHost.Quit 3\nHost.Echo \"never\"\n", "bye\n", "", 3},
    {"QuitFromJScript", L"t.js", nullptr, "Host.Quit(4);\nHost.Echo('never');\n", "", "", 4},
    {"UnhandledControlError", L"t.vbs", kLayout.c_str(),
     "Host.Echo \"before\"\nchkAgree.Value = 7\nHost.Echo \"after\"\n", "before\n",
     "SCRIPT(2, 1): Invalid property value (380)\n", 1},
    {"UnhandledErrorInAnEventHandler", L"t.vbs", nullptr,
     "Sub Form_Load\n    x = 1 / 0\nEnd Sub\nHost.Echo \"top\"\n", "",
     "SCRIPT(2, 5): Division by zero (11)\n", 1},
    // The engine's own text for a syntax error differs between implementations.
    {"SyntaxError", L"t.vbs", nullptr, "Host.Echo \"a\"\nIf Then\n", "", "SCRIPT(2, 4): *", 1},
    {"UnhandledJScriptError", L"t.js", kLayout.c_str(),
     "Host.Echo('a');\nchkAgree.Value = 7;\nHost.Echo('b');\n", "a\n",
     "SCRIPT(2, 1): Invalid property value (380)\n", 1},
};

class FormScriptCase : public ::testing::TestWithParam<Case> {};

TEST_P(FormScriptCase, WritesAndReturnsWhatItShould) {
    const Case& c = GetParam();
    const testsupport::RunResult r = RunCase(c);
    EXPECT_EQ(r.out, c.out);
    if (const std::string err = c.err; err.ends_with("*")) {
        EXPECT_TRUE(r.err.starts_with(err.substr(0, err.size() - 1))) << r.err;
    } else {
        EXPECT_EQ(r.err, err);
    }
    EXPECT_EQ(r.exitCode, c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Scripts, FormScriptCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormScript, SaveLayoutThenLoadFormKeepsEveryPersistedProperty) {
    const std::wstring folder = testsupport::FreshFolder(L"formscript-layouts");
    testsupport::WriteFileBytes(folder + L"test.layout", kLayout);
    testsupport::WriteFileBytes(folder + L"t.vbs",
                                "cmdOk.Caption = \"Сохранить\"\n"
                                "chkAgree.Value = 1\n"
                                "chkAgree.Tag = \"tagged\"\n"
                                "rtbText.ScrollBars = 2\n"
                                "rtbText.Locked = True\n"
                                "rtbText.TextRTF = \"{\\rtf1 Hello}\"\n"
                                "cmdOk.Move 300, 405, 1605, 495\n"
                                "Form.SaveLayout Host.Arguments(0)\n"
                                "Set f = Host.LoadForm(Host.Arguments(0))\n"
                                "Set c = f.Controls\n"
                                "Host.Echo f.Name, c(\"cmdOk\").Caption, c(\"chkAgree\").Value, "
                                "c(\"chkAgree\").Tag, c(\"rtbText\").ScrollBars, "
                                "c(\"rtbText\").Locked, c(\"cmdOk\").Top\n"
                                "f.SaveLayout Host.Arguments(1)\n");
    const testsupport::RunResult r = RunFormScript(
        folder,
        {folder + L"test.layout", folder + L"t.vbs", folder + L"a.layout", folder + L"b.layout"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "FTest Сохранить 1 tagged 2 True 405\n");
    EXPECT_EQ(r.exitCode, 0);
    const std::string a = testsupport::ReadFileBytes(folder + L"a.layout");
    EXPECT_NE(a.find("Property ScrollBars = 2"), std::string::npos) << a;
    EXPECT_NE(a.find("Property Locked = True"), std::string::npos) << a;
    EXPECT_EQ(testsupport::ReadFileBytes(folder + L"b.layout"), a);
}

TEST(FormScript, EverySampleRunsToItsEnd) {
    const std::wstring samples = testsupport::ExeFolder() + L"samples\\";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((samples + L"*.*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int count = 0;
    do {
        const std::wstring name = data.cFileName;
        const size_t dot = name.find_last_of(L'.');
        if (dot == std::wstring::npos) continue;
        const std::wstring ext = name.substr(dot);
        if (ext != L".vbs" && ext != L".js") continue;
        ++count;
        const std::wstring layout = samples + name.substr(0, dot) + L".layout";
        std::vector<std::wstring> args;
        if (testsupport::FileExists(layout)) args.push_back(layout);
        args.push_back(samples + name);
        const testsupport::RunResult r =
            RunFormScript(testsupport::FreshFolder(L"formscript-sample"), args);
        EXPECT_EQ(r.exitCode, 0) << Wide(r.err).size() << r.err;
        EXPECT_EQ(r.err, "");
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_GE(count, 3);
}

TEST(FormScript, ABadCommandLineIsRefused) {
    const testsupport::RunResult r =
        RunFormScript(testsupport::FreshFolder(L"formscript-usage"), {L"x.txt"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: formscript.exe"), std::string::npos) << r.err;
}

}  // namespace

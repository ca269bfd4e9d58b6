// The stored layout format: what it reads, what it refuses and how it says so.
#include <gtest/gtest.h>

#include <string>

#include "host/Form.h"
#include "host/Layout.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"

using Layout::LayoutError;

namespace {

const char kHeader[] = "PaylevixLayout 1\nBegin Form F\n";

// The error of parsing `text`, or a failure when it parses.
LayoutError ErrorOf(const std::string& text) {
    try {
        Layout::Parse(text, "bad.layout");
    } catch (const LayoutError& e) {
        return e;
    }
    ADD_FAILURE() << "parsed: " << text.substr(0, 200);
    return LayoutError("", 0, 0, "");
}

::testing::AssertionResult Refused(const std::string& text, int line, int column,
                                   const std::string& words) {
    const LayoutError e = ErrorOf(text);
    if (e.Line() != line || e.Column() != column || e.Message().find(words) == std::string::npos ||
        e.File() != "bad.layout") {
        return ::testing::AssertionFailure() << "got " << e.what() << "; wanted line " << line
                                             << ", column " << column << ", \"" << words << "\"";
    }
    return ::testing::AssertionSuccess();
}

std::string Control(const std::string& body) {
    return std::string(kHeader) + "    Begin TestButton b\n" + body + "    End\nEnd\n";
}

}  // namespace

TEST(Layout, ReadsEveryKindOfValue) {
    const std::string text = std::string("\xEF\xBB\xBF# comment\r\n") + kHeader +
                             "    Caption = \"Q\\\"\\\\\\r\\n\\t\\u0001\\uD800 ё\"  # trailing\n"
                             "    Font = Font(Size = 8.25, Name = \"Tahoma\")\n"
                             "    BackColor = 0xFF\n"
                             "    Begin TestButton b\n"
                             "        Left = -15\n"
                             "        TabIndex = 32767\n"
                             "        DragIcon = Nothing\n"
                             // Every attribute away from its default, so that the round trip
                             // below covers each one.
                             "        Top = 30\n        Width = 45\n        Height = 60\n"
                             "        TabStop = False\n        Visible = False\n"
                             "        CausesValidation = False\n        Default = True\n"
                             "        Cancel = True\n        Tag = \"t\"\n"
                             "        ToolTipText = \"tip\"\n        HelpContextID = 5\n"
                             "        WhatsThisHelpID = 7\n        DragMode = 1\n"
                             "        Property A = True\n"
                             "        Property B = Integer(-32768)\n"
                             "        Property C = Integer(0xFFFF)\n"
                             "        Property D = -2147483648\n"
                             "        Property E = 0xFFFFFFFF\n"
                             "        Property F = Single(3.4028235e38)\n"
                             "        Property G = Double(-0.5)\n"
                             "        Property H = Bytes(00FF 7f)\n"
                             "        Property I = Utf16(\"A\\uD83D\\uDE00\")\n"
                             "        Property J = Empty\n"
                             "        Property K = Nothing\n"
                             "        Property L = \"\"\n"
                             "    End\n"
                             "End";
    const Layout::FormLayout f = Layout::Parse(text, "good.layout");
    EXPECT_EQ(f.caption, u"Q\"\\\r\n\t\u0001\xD800 ё");
    ASSERT_TRUE(f.font);
    EXPECT_EQ(f.font->size, 82500);
    EXPECT_EQ(f.font->charset, 1);
    EXPECT_EQ(f.backColor, 0xFF);
    ASSERT_EQ(f.controls.size(), 1u);
    const auto& c = f.controls[0];
    EXPECT_EQ(c.left, -15);
    EXPECT_EQ(c.tabIndex, 32767);
    EXPECT_EQ(c.line, 7);
    const auto& p = c.properties;
    ASSERT_EQ(p.size(), 12u);
    EXPECT_EQ(std::get<bool>(p[0].value), true);
    EXPECT_EQ(std::get<int16_t>(p[1].value), -32768);
    EXPECT_EQ(std::get<int16_t>(p[2].value), -1);
    EXPECT_EQ(std::get<int32_t>(p[3].value), INT32_MIN);
    EXPECT_EQ(std::get<int32_t>(p[4].value), -1);
    EXPECT_EQ(std::get<float>(p[5].value), 3.4028235e38f);
    EXPECT_EQ(std::get<double>(p[6].value), -0.5);
    EXPECT_EQ(std::get<Layout::Bytes>(p[7].value).data, (std::vector<uint8_t>{0, 0xFF, 0x7F}));
    EXPECT_EQ(std::get<Layout::Bytes>(p[8].value).data,
              (std::vector<uint8_t>{0x41, 0, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_TRUE(std::holds_alternative<Layout::Empty>(p[9].value));
    EXPECT_TRUE(std::holds_alternative<Layout::Nothing>(p[10].value));
    EXPECT_EQ(std::get<std::u16string>(p[11].value), u"");

    // Written and read again, nothing changes.
    const std::string written = Layout::Write(f);
    EXPECT_EQ(Layout::Parse(written, "again"), f);
    Layout::FormLayout other = f;
    other.controls[0].whatsThisHelpId = 0;
    EXPECT_NE(other, f);
    EXPECT_NE(written.find("Property I = Utf16(\"A😀\")"), std::string::npos);
    EXPECT_NE(written.find("\\uD800"), std::string::npos);
}

TEST(Layout, MalformedFilesAreRefusedWithWhereAndWhat) {
    // Empty, truncated, missing pieces.
    EXPECT_TRUE(Refused("", 1, 1, "expected the header"));
    EXPECT_TRUE(Refused("PaylevixLayout 2\n", 1, 16, "unsupported layout version 2"));
    EXPECT_TRUE(Refused("PaylevixLayout 1\n", 2, 1, "expected \"Begin Form <name>\""));
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Caption = \"x\"\n", 4, 1,
                        "expected \"End\" closing the form begun on line 2"));
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Begin TestButton b\n        Left = 1", 4, 17,
                        "expected \"End\" closing control \"b\" begun on line 3"));
    EXPECT_TRUE(
        Refused(std::string(kHeader) + "    Caption = \"abc\nEnd\n", 3, 15, "unterminated string"));
    EXPECT_TRUE(Refused(std::string(kHeader) + "End\nEnd\n", 4, 1, "after the \"End\""));
    EXPECT_TRUE(Refused(Control("        Left 15\n"), 4, 14, "expected \"=\""));
    EXPECT_TRUE(Refused(Control("    Begin TestButton c\n"), 4, 5, "cannot hold other controls"));

    // Wrong kinds of values.
    EXPECT_TRUE(Refused(Control("        Left = \"abc\"\n"), 4, 16, "Left must be a whole number"));
    EXPECT_TRUE(Refused(Control("        Visible = 1\n"), 4, 19, "Visible must be True or False"));
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Caption = 5\nEnd\n", 3, 15,
                        "Caption must be a string"));
    EXPECT_TRUE(
        Refused(Control("        Property X = 1.5\n"), 4, 22, "Single(...) or Double(...)"));
    EXPECT_TRUE(Refused(Control("        Property X = Colour(1)\n"), 4, 22, "expected a value"));
    EXPECT_TRUE(Refused(Control("        Property X = Bytes(ABC)\n"), 4, 31, "second hex digit"));
    EXPECT_TRUE(Refused(Control("        Property X = \"\\q\"\n"), 4, 23, "unknown escape \\q"));
    EXPECT_TRUE(Refused(Control("        Property X = Font(Name = \"A\")\n"), 4, 37,
                        "needs at least Name and Size"));
    EXPECT_TRUE(Refused(Control("        Colour = 1\n"), 4, 9, "unknown control attribute"));

    // Numbers out of range.
    EXPECT_TRUE(Refused(Control("        Width = -1\n"), 4, 17, "between 0 and 245760"));
    EXPECT_TRUE(Refused(Control("        Left = 99999999999999999999\n"), 4, 16,
                        "out of range for a Long"));
    EXPECT_TRUE(Refused(Control("        Property X = Integer(32768)\n"), 4, 30,
                        "out of range for an Integer"));
    EXPECT_TRUE(
        Refused(Control("        Property X = 0x100000000\n"), 4, 22, "hex number out of range"));
    EXPECT_TRUE(
        Refused(Control("        Property X = Single(1e39)\n"), 4, 29, "out of range for Single"));
    EXPECT_TRUE(Refused(Control("        TabIndex = 40000\n"), 4, 20, "between 0 and 32767"));
    EXPECT_TRUE(
        Refused(std::string(kHeader) + "    Font = Font(Name = \"A\", Size = 9.12345)\nEnd\n", 3,
                36, "at most four decimals"));
    EXPECT_TRUE(
        Refused(std::string(kHeader) + "    BorderStyle = 6\nEnd\n", 3, 19, "between 0 and 5"));

    // Duplicates.
    EXPECT_TRUE(
        Refused(Control("        Left = 1\n        Left = 2\n"), 5, 9, "already given on line 4"));
    EXPECT_TRUE(
        Refused(std::string(kHeader) +
                    "    Begin TestButton b\n    End\n    Begin TestButton B\n    End\nEnd\n",
                5, 5, "already used on line 3"));
    EXPECT_TRUE(Refused(std::string(kHeader) +
                            "    Begin TestButton b\n        TabIndex = 1\n    End\n"
                            "    Begin TestButton c\n        TabIndex = 1\n    End\nEnd\n",
                        6, 1, "TabIndex 1 of \"c\" is already used by \"b\" (line 3)"));

    // Huge strings and invalid UTF-8.
    const std::string huge(Layout::kMaxValueUnits + 10, 'x');
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Caption = \"" + huge + "\"\nEnd\n", 3, 15,
                        "string longer than 4194304 characters"));
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Caption = \"ab\xC3\x28\"\nEnd\n", 3, 18,
                        "invalid UTF-8"));
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Caption = \"\xED\xA0\x80\"\nEnd\n", 3, 16,
                        "invalid UTF-8"));  // an encoded surrogate
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Caption = \"\xC0\xAF\"\nEnd\n", 3, 16,
                        "invalid UTF-8"));  // an overlong form
    EXPECT_TRUE(Refused(std::string("PaylevixLayout 1\n\0", 18), 2, 1, "NUL character"));
    EXPECT_TRUE(Refused(std::string(kHeader) + "    Caption = \"a\x01\"\nEnd\n", 3, 17,
                        "control character"));
}

TEST(Layout, UnknownControlTypesAndRefusedPropertiesNameTheirLine) {
    testhost::RegisterTestControls();
    try {
        Host::Form::FromText(std::string(kHeader) +
                                 "    Begin TestButton ok\n    End\n"
                                 "    Begin NoSuchControl x\n    End\nEnd\n",
                             "types.layout");
        ADD_FAILURE() << "an unknown type was accepted";
    } catch (const LayoutError& e) {
        EXPECT_EQ(e.File(), "types.layout");
        EXPECT_EQ(e.Line(), 5);
        EXPECT_EQ(e.Message(), "unknown control type \"NoSuchControl\"");
    }
    // A stored value the control cannot take fails the load with the control's line.
    auto form = Host::Form::FromText(std::string(kHeader) +
                                         "    Begin TestEdit t\n        Property WantReturn = "
                                         "\"perhaps\"\n    End\nEnd\n",
                                     "values.layout");
    try {
        form->Load();
        ADD_FAILURE() << "a wrong value was accepted";
    } catch (const LayoutError& e) {
        EXPECT_EQ(e.Line(), 3);
        EXPECT_EQ(e.Message(), "control \"t\": Type mismatch");
    }
    EXPECT_FALSE(form->Loaded());
    EXPECT_EQ(form->Hwnd(), nullptr);
}

TEST(Layout, TheWriterRefusesWhatCouldNotBeReadBack) {
    Layout::FormLayout f;
    f.name = "F";
    f.controls.push_back({});
    f.controls[0].type = "T";
    f.controls[0].name = "bad name";
    EXPECT_THROW(Layout::Write(f), std::invalid_argument);
    f.controls[0].name = "ok";
    f.controls[0].width = -1;
    EXPECT_THROW(Layout::Write(f), std::invalid_argument);
    f.controls[0].width = 0;
    f.controls[0].properties.push_back({"P", 1.0f / 0.0f, {}});
    EXPECT_THROW(Layout::Write(f), std::invalid_argument);
}

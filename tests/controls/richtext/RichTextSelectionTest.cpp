// The selection and its formatting on a real rich edit window, through the control's
// dispatch interface: values read back as assigned, mixed selections read Null, and every
// refused value leaves the window untouched.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/richtext/RichTextBox.h"
#include "tests/controls/richtext/RichTextTestSupport.h"

using namespace richtexttest;

namespace {

// The box with the selection's character and paragraph formats as the window has them.
struct Fixture : LoadedBox {
    Fixture() : LoadedBox(L"Hello world\r\nSecond paragraph") {}
    CHARFORMAT2W Char() {
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof(cf);
        SendMessageW(box->hWnd(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return cf;
    }
    PARAFORMAT2 Para() {
        PARAFORMAT2 pf{};
        pf.cbSize = sizeof(pf);
        SendMessageW(box->hWnd(), EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
        return pf;
    }
};

Host::Variant Bool(bool v) {
    return Host::Variant::Bool(v);
}
Host::Variant R4(float v) {
    return Host::Variant::Float(v);
}
Host::Variant I2(int16_t v) {
    return Host::Variant::Int16(v);
}

::testing::AssertionResult Same(const Host::Variant& got, const Host::Variant& want) {
    if (got.Type() == want.Type() && VariantsEqual(got.Get(), want.Get())) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "type " << got.Type() << " (want " << want.Type() << "), value "
           << (got.Type() == VT_NULL || got.IsEmpty() ? 0.0 : Host::Variant(got).ToDouble());
}

}  // namespace

TEST(RichTextSelection, AttributesReadBackWhatWasAssigned) {
    Fixture f;
    struct Case {
        const wchar_t* member;
        Host::Variant value;
        Host::Variant expected;
    };
    const Case cases[] = {
        {L"SelBold", Bool(true), Bool(true)},
        {L"SelBold", I4(0), Bool(false)},
        {L"SelBold", R8(0.5), Bool(true)},
        {L"SelItalic", Bool(true), Bool(true)},
        {L"SelStrikethru", I4(-1), Bool(true)},
        {L"SelUnderline", Null(), Bool(true)},
        {L"SelVisible", Bool(false), Bool(false)},
        {L"SelVisible", Null(), Bool(true)},
        {L"SelCharOffset", I4(60), R4(60)},
        {L"SelColor", I4(0x0000FF), I4(0x0000FF)},
        {L"SelBkColor", I4(0x00FF00), I4(0x00FF00)},
        {L"SelFontName", Str(L"Courier New"), Str(L"Courier New")},
        {L"SelFontSize", R8(10.5), R4(10.5f)},
        {L"SelFontCharset", I4(204 + 256), I2(204)},
        {L"SelAlignment", I4(2), I2(2)},
        {L"SelAlignment", R8(3), I2(3)},
        {L"SelBullet", Bool(true), Bool(true)},
        {L"SelBullet", I4(0), Bool(false)},
        {L"SelIndent", I4(300), R4(300)},
        {L"SelRightIndent", I4(150), R4(150)},
        {L"SelHangingIndent", I4(90), R4(90)},
        {L"SelTabCount", I4(3), I2(3)},
        {L"SelProtected", Bool(true), Bool(true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.member, c.member + wcslen(c.member)));
        f.Select(0, -1);
        ASSERT_EQ(f.Put(c.member, {c.value}).hr, S_OK);
        EXPECT_TRUE(Same(f.Get(c.member).result, c.expected));
    }
    // What reached the window, in its own units.
    EXPECT_EQ(f.Char().yHeight, 210);
    EXPECT_EQ(f.Char().bCharSet, 204);
    EXPECT_EQ(f.Para().wAlignment, PFA_JUSTIFY);

    // Visible is the inverse of the window's hidden effect.
    ASSERT_EQ(f.Put(L"SelVisible", {Bool(false)}).hr, S_OK);
    EXPECT_TRUE(f.Char().dwEffects & CFE_HIDDEN);

    // System colours are translated; the automatic colour is dropped.
    f.Select(0, 5);
    ASSERT_EQ(f.Put(L"SelColor", {I4(static_cast<int32_t>(0x80000000 | COLOR_HIGHLIGHT))}).hr,
              S_OK);
    EXPECT_EQ(f.Char().crTextColor, GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_FALSE(f.Char().dwEffects & CFE_AUTOCOLOR);

    // The selection itself.
    ASSERT_EQ(f.Put(L"SelStart", {I4(6)}).hr, S_OK);
    ASSERT_EQ(f.Put(L"SelLength", {I4(5)}).hr, S_OK);
    EXPECT_EQ(f.box->SelText(), L"world");
    EXPECT_EQ(f.Get(L"SelStart").result.ToInt32(), 6);
    ASSERT_EQ(f.Put(L"SelStart", {I4(2)}).hr, S_OK);
    EXPECT_EQ(f.Get(L"SelLength").result.ToInt32(), 0);
}

TEST(RichTextSelection, MixedSelectionsReadNullAndNullSetsTheAttribute) {
    Fixture f;
    f.Select(0, 5);
    f.box->SetSelBold(Bool(true));
    f.box->SetSelFontSize(R8(14));
    f.Select(0, 11);
    EXPECT_EQ(f.Get(L"SelBold").result.Type(), VT_NULL);
    EXPECT_EQ(f.Get(L"SelFontSize").result.Type(), VT_NULL);
    ASSERT_EQ(f.Put(L"SelBold", {Null()}).hr, S_OK);
    EXPECT_TRUE(Same(f.Get(L"SelBold").result, Bool(true)));
    EXPECT_TRUE(f.Char().dwEffects & CFE_BOLD);

    // Paragraphs: the first centred, the second left.
    f.Select(0, 0);
    f.box->SetSelAlignment(I4(2));
    f.Select(0, -1);
    EXPECT_EQ(f.Get(L"SelAlignment").result.Type(), VT_NULL);

    // Without a window: silent, and Empty.
    f.box->IDEStop();
    EXPECT_TRUE(f.Get(L"SelBold").result.IsEmpty());
    EXPECT_EQ(f.Put(L"SelAlignment", {I4(9)}).hr, S_OK);
}

TEST(RichTextSelection, TabStopsAreSetOneByOne) {
    Fixture f;
    f.Select(0, 0);
    ASSERT_EQ(f.Put(L"SelTabCount", {I4(3)}).hr, S_OK);
    ASSERT_EQ(f.Put(L"SelTabs", {I4(1), I4(720)}).hr, S_OK);
    const PARAFORMAT2 pf = f.Para();
    ASSERT_EQ(pf.cTabCount, 3);
    EXPECT_EQ(pf.rgxTabs[0], 0);
    EXPECT_EQ(pf.rgxTabs[1], 720);
    EXPECT_EQ(pf.rgxTabs[2], 0);
    EXPECT_TRUE(Same(f.Get(L"SelTabs", {I4(1)}).result, R4(720)));
    for (int32_t element : {3, 5, 31, 32, -1}) {
        SCOPED_TRACE(element);
        EXPECT_EQ(f.Get(L"SelTabs", {I4(element)}).number, 381);
        const Call put = f.Put(L"SelTabs", {I4(element), I4(100)});
        EXPECT_EQ(put.number, 381);
        EXPECT_EQ(put.description, L"Invalid property array index");
    }
}

TEST(RichTextSelection, RefusedValuesSendNothing) {
    Fixture f;
    std::vector<Recorder::Sent> sent;
    ASSERT_TRUE(
        SetWindowSubclass(f.box->hWnd(), Recorder::Proc, 7, reinterpret_cast<DWORD_PTR>(&sent)));
    Host::Variant empty;
    struct Case {
        const wchar_t* member;
        std::vector<Host::Variant> args;
        int32_t number;
    };
    const std::wstring longName(300, L'x');
    const Case cases[] = {
        {L"SelBold", {Str(L"yes")}, 13},
        {L"SelItalic", {empty}, 13},
        {L"SelBullet", {Null()}, 13},
        {L"SelBullet", {empty}, 13},
        {L"SelFontSize", {Null()}, 13},
        {L"SelColor", {Str(L"red")}, 13},
        {L"SelColor", {I4(static_cast<int32_t>(0x800000FF))}, 380},
        {L"SelAlignment", {I4(4)}, 380},
        {L"SelAlignment", {I4(-1)}, 380},
        {L"SelTabCount", {I4(33)}, 380},
        {L"SelStart", {I4(-1)}, 380},
        {L"SelLength", {I4(-1)}, 380},
        {L"SelFontSize", {R8(2e8)}, 6},
        {L"SelIndent", {R8(3e9)}, 6},
        {L"SelCharOffset", {R8(-3e9)}, 6},
        {L"SelFontCharset", {R8(1e10)}, 6},
        {L"SelTabs", {I4(0), I4(1)}, 381},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.member, c.member + wcslen(c.member)));
        sent.clear();
        EXPECT_EQ(f.Put(c.member, c.args).number, c.number);
        for (const Recorder::Sent& s : sent) {
            EXPECT_NE(s.msg, static_cast<UINT>(EM_SETCHARFORMAT));
            EXPECT_NE(s.msg, static_cast<UINT>(EM_SETPARAFORMAT));
            EXPECT_NE(s.msg, static_cast<UINT>(EM_EXSETSEL));
        }
    }
    RemoveWindowSubclass(f.box->hWnd(), Recorder::Proc, 7);

    // A face name longer than the field is cut and terminated, not left running on.
    f.Select(0, -1);
    ASSERT_EQ(f.Put(L"SelFontName", {Str(longName.c_str())}).hr, S_OK);
    EXPECT_EQ(f.Get(L"SelFontName").result.ToString(), std::wstring(31, L'x'));
}

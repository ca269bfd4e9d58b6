// The property store and its round trip through stored layouts.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "controls/base/ControlError.h"
#include "host/Form.h"
#include "host/Layout.h"
#include "host/PropertyStore.h"
#include "host/StoredValue.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"

using Host::PropertyStore;
using Host::Variant;
using namespace testhost;

namespace {

Variant Font(const char16_t* name, int64_t size, bool bold = false) {
    Layout::Font f;
    f.name = name;
    f.size = size;
    f.weight = bold ? 700 : 400;
    return StoredValue::FontObject(f);
}

}  // namespace

TEST(PropertyStore, ReadsDefaultsAndLeavesOutValuesEqualToThem) {
    PropertyStore store;
    EXPECT_EQ(store.ReadInt32(L"Missing", 7), 7);
    EXPECT_TRUE(store.Read(L"Missing").IsEmpty());
    EXPECT_EQ(store.Read(L"Missing", Variant::String(L"x")).ToString(), L"x");

    // Equal to the default, whatever the integer kinds: not kept.
    store.Write(L"Margin", Variant::Int32(0), Variant::Int16(0));
    store.Write(L"Flag", Variant::Bool(true), Variant::Bool(true));
    store.Write(L"Caption", Variant{}, Variant{});
    store.Write(L"Name", Variant::String(L""), Variant{});
    store.Write(L"Bytes", Variant::Bytes("", 0), Variant{});
    store.Write(L"Font", Font(u"Tahoma", 97500), Font(u"Tahoma", 97500));
    EXPECT_TRUE(store.Entries().empty());

    // Different: kept, in the order first written.
    store.Write(L"Value", Variant::Int16(2), Variant::Int32(0));
    store.Write(L"Flag", Variant::Bool(false), Variant::Bool(true));
    store.Write(L"Text", Variant::String(L"Ä"), Variant::String(L""));
    store.Write(L"Font", Font(u"Tahoma", 97500, true), Font(u"Tahoma", 97500));
    const wchar_t text[] = L"hi";
    store.Write(L"Bytes", Variant::Bytes(text, 4), Variant{});
    ASSERT_EQ(store.Entries().size(), 5u);
    EXPECT_EQ(store.Entries()[0].first, L"Value");
    EXPECT_EQ(store.Entries()[0].second.Type(), VT_I2);
    EXPECT_EQ(store.ReadInt16(L"Value", 0), 2);
    EXPECT_FALSE(store.ReadBool(L"Flag", true));
    EXPECT_EQ(store.ReadString(L"Text", L""), L"Ä");

    // Writing the default again removes the key; a new value replaces in place.
    store.Write(L"Flag", Variant::Bool(true), Variant::Bool(true));
    EXPECT_FALSE(store.Contains(L"Flag"));
    store.Write(L"Value", Variant::Int16(1), Variant::Int32(0));
    EXPECT_EQ(store.Entries()[0].first, L"Value");
    EXPECT_EQ(store.ReadInt32(L"Value", 0), 1);

    // Kinds a layout cannot hold are refused, and nothing changes.
    Variant date;
    date.Get().vt = VT_DATE;
    date.Get().date = 1.0;
    EXPECT_THROW(store.Write(L"When", date, Variant{}), ControlError);
    EXPECT_FALSE(store.Contains(L"When"));
    // A stored value that does not convert is a type mismatch.
    EXPECT_THROW(store.ReadInt32(L"Text", 0), ControlError);
}

TEST(PropertyStore, ChangeNotificationsMarkTheStoreDirty) {
    PropertyStore store;
    std::vector<std::wstring> heard;
    store.SetChangeListener([&](std::wstring_view name) { heard.emplace_back(name); });
    EXPECT_FALSE(store.Dirty());
    store.PropertyChanged(L"Caption");
    EXPECT_TRUE(store.Dirty());
    EXPECT_EQ(heard, std::vector<std::wstring>{L"Caption"});
}

TEST(PropertyStore, RoundTripsThroughTheStoredLayout) {
    auto form = NewTestForm();
    form->Load();
    Host::ControlSite& okSite = form->Site(L"cmdOk");
    auto& ok = form->ControlAs<TestButton>(L"cmdOk");
    EXPECT_EQ(ok.Caption(), L"&OK");
    EXPECT_FALSE(okSite.Properties().Dirty());

    // What the control writes, less what equals its defaults.
    Layout::FormLayout saved = form->SaveLayout();
    const Layout::ControlLayout* okLayout = nullptr;
    for (const auto& c : saved.controls) {
        if (c.name == "cmdOk") okLayout = &c;
    }
    ASSERT_TRUE(okLayout);
    ASSERT_EQ(okLayout->properties.size(), 2u);  // Counter 0 is the default
    EXPECT_EQ(okLayout->properties[0].key, "Caption");
    EXPECT_EQ(okLayout->properties[1].key, "Ratio");
    EXPECT_EQ(std::get<float>(okLayout->properties[1].value), 2.5f);
    // The cancel button's properties are all defaults but its caption.
    EXPECT_EQ(saved.controls[2].properties.size(), 1u);
    EXPECT_EQ(saved.controls[0].properties.size(), 0u);  // an empty, plain edit box

    // Changes through the control and the extender are saved.
    ok.SetCounter(7);
    EXPECT_TRUE(okSite.Properties().Dirty());
    okSite.GetExtender().Move(4350, 3450);
    okSite.GetExtender().SetTag(L"главная");
    form->ControlAs<TestEdit>(L"txtCity").SetText(L"Пермь");
    const std::string text = Layout::Write(form->SaveLayout());
    EXPECT_FALSE(okSite.Properties().Dirty());
    EXPECT_NE(text.find("Property Counter = 7"), std::string::npos);
    EXPECT_NE(text.find("Property Caption = Utf16(\"&OK\")"), std::string::npos);
    EXPECT_NE(text.find("Property Text = \"Пермь\""), std::string::npos);
    EXPECT_NE(text.find("Tag = \"главная\""), std::string::npos);
    EXPECT_EQ(text.find("WantReturn"), std::string::npos);

    // The saved text builds the same form again.
    auto again = Host::Form::FromText(text, "saved.layout");
    again->Load();
    EXPECT_EQ(again->ControlAs<TestButton>(L"cmdOk").Counter(), 7);
    EXPECT_EQ(again->ControlAs<TestButton>(L"cmdOk").Caption(), L"&OK");
    EXPECT_EQ(again->ControlAs<TestEdit>(L"txtCity").Text(), L"Пермь");
    EXPECT_EQ(again->Site(L"cmdOk").GetExtender().Left(), 4350);
    EXPECT_EQ(again->Site(L"cmdOk").GetExtender().Tag(), L"главная");
    EXPECT_TRUE(again->Site(L"cmdOk").GetExtender().Default());
    EXPECT_EQ(Layout::Write(again->SaveLayout()), text);
    again->Unload();
    form->Unload();
}

TEST(PropertyStore, PicturesAndFontsSurviveTheLayout) {
    // A 1 x 1 monochrome bitmap in its file form.
    const uint8_t bmp[] = {'B', 'M', 0x42, 0, 0, 0, 0, 0, 0, 0,    0x3E, 0,    0, 0,    0x28, 0, 0,
                           0,   1,   0,    0, 0, 1, 0, 0, 0, 1,    0,    1,    0, 0,    0,    0, 0,
                           4,   0,   0,    0, 0, 0, 0, 0, 0, 0,    0,    0,    0, 0,    2,    0, 0,
                           0,   2,   0,    0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0x80, 0,    0, 0};
    Layout::Picture picture{std::vector<uint8_t>(std::begin(bmp), std::end(bmp))};
    Variant object = StoredValue::ToVariant(picture);
    ASSERT_EQ(object.Type(), VT_DISPATCH);
    ComPtr<IPicture> p;
    ASSERT_EQ(object.Get().pdispVal->QueryInterface(IID_IPicture, p.PutVoid()), S_OK);
    SHORT type = 0;
    p->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    const Layout::Value back = StoredValue::FromVariant(object.Get());
    ASSERT_TRUE(std::holds_alternative<Layout::Picture>(back));
    // What the picture writes loads as the same bitmap.
    Variant again = StoredValue::ToVariant(back);
    ComPtr<IPicture> q;
    again.Get().pdispVal->QueryInterface(IID_IPicture, q.PutVoid());
    OLE_XSIZE_HIMETRIC w1 = 0, w2 = 0;
    p->get_Width(&w1);
    q->get_Width(&w2);
    EXPECT_EQ(w1, w2);
    // Bytes that are no picture are refused.
    EXPECT_THROW(StoredValue::ToVariant(Layout::Picture{{1, 2, 3, 4}}), ControlError);

    Layout::Font font;
    font.name = u"Arial Unicode MS";
    font.size = 97500;
    font.charset = 204;
    font.italic = true;
    const Variant fontObject = StoredValue::FontObject(font);
    Layout::Font fontBack = std::get<Layout::Font>(StoredValue::FromVariant(fontObject.Get()));
    // A font object names the face the system realised, which is the one asked for where the
    // system has it.
    ComPtr<IFont> f;
    fontObject.Get().pdispVal->QueryInterface(IID_IFont, f.PutVoid());
    BSTR realised = nullptr;
    f->get_Name(&realised);
    EXPECT_EQ(std::wstring(fontBack.name.begin(), fontBack.name.end()), realised);
    SysFreeString(realised);
    fontBack.name = font.name;
    EXPECT_EQ(fontBack, font);
}

// The image list object on a real form: images of one size in a system image list whose
// handle stays, found by position or key, late-bound as a script uses it, and stored with
// the form's layout.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "controls/buttons/ButtonDraw.h"
#include "controls/buttons/ImageList.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "host/Layout.h"
#include "tests/support/Dispatch.h"
#include "tests/support/Pictures.h"
#include "tests/support/FormLayout.h"
#include "tests/support/ControlErrors.h"

using testsupport::AsPictureDisp;
using testsupport::BitmapPicture;
using namespace testsupport::colours;

namespace {

const std::string kLayout = testsupport::LayoutText(
    "FImages", 3000, 2000, {}, {{"ImageList", "imlIcons", 150, 150, 480, 480}});

std::unique_ptr<Host::Form> LoadForm(const std::string& layout = kLayout) {
    auto form = testsupport::FormOf<ImageList>(layout);
    form->Load();
    return form;
}

Host::Variant Text(const wchar_t* s) {
    return Host::Variant::String(s);
}

// The colour image `index` of the list shows at (x, y), drawn over white.
COLORREF DrawnAt(HIMAGELIST list, int index, int x, int y) {
    HDC screen = GetDC(nullptr);
    UniqueMemoryDC dc(CreateCompatibleDC(screen));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 32, 32));
    ReleaseDC(nullptr, screen);
    SelectedObject selected(dc.Get(), bitmap.Get());
    RECT all{0, 0, 32, 32};
    FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(list, index, dc.Get(), 0, 0, ILD_TRANSPARENT);
    return GetPixel(dc.Get(), x, y);
}

}  // namespace

TEST(ImageList, ImagesComeAndGoByPositionAndKeyInOneSystemList) {
    auto form = LoadForm();
    auto& images = form->ControlAs<ImageList>(L"imlIcons");
    EXPECT_EQ(images.hImageList(), nullptr);
    auto red = BitmapPicture(16, 16, kRed);
    auto blue = BitmapPicture(16, 16, kBlue);
    images.Add(std::nullopt, Text(L"red"), AsPictureDisp(red.Get()));
    images.Add(std::nullopt, Text(L"blue"), AsPictureDisp(blue.Get()));
    images.Add(Host::Variant::Int32(1), std::nullopt, AsPictureDisp(blue.Get()));
    const HIMAGELIST list = images.hImageList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(images.Count(), 3);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    EXPECT_EQ(images.ImageWidth(), 16);  // the first picture's size
    EXPECT_EQ(images.ImageHeight(), 16);
    EXPECT_EQ(images.KeyOf(2), L"red");
    EXPECT_EQ(DrawnAt(list, 0, 8, 8), kBlue);
    EXPECT_EQ(DrawnAt(list, 1, 8, 8), kRed);

    struct Refusal {
        const char* what;
        std::function<void()> call;
        int32_t error;
    };
    const Refusal refusals[] = {
        {"a key in use", [&] { images.Add({}, Text(L"red"), AsPictureDisp(red.Get())); }, 457},
        {"a numeric key", [&] { images.Add({}, Text(L"12"), AsPictureDisp(red.Get())); }, 5},
        {"no picture", [&] { images.Add({}, {}, {}); }, 380},
        {"a position past the end", [&] { images.Item(Host::Variant::Int32(4)); }, 9},
        {"an unknown key", [&] { images.Item(Text(L"green")); }, 9},
        {"another size with images", [&] { images.SetImageWidth(32); }, 380},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(testsupport::ErrorNumberOf(r.call), r.error);
    }
    EXPECT_EQ(images.Count(), 3);

    images.Remove(Text(L"red"));
    EXPECT_EQ(images.Count(), 2);
    EXPECT_EQ(ImageList_GetImageCount(list), 2);
    EXPECT_EQ(images.KeyOf(2), L"blue");
    images.Clear();
    EXPECT_EQ(images.Count(), 0);
    EXPECT_EQ(images.hImageList(), list);  // whoever was given it keeps a working list
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    images.SetImageWidth(24);  // empty: any size again
    EXPECT_EQ(images.ImageWidth(), 24);
    form->Unload();
}

TEST(ImageList, MaskColourMakesItsPixelsTransparentAndTogglingRemakesTheImages) {
    auto form = LoadForm();
    auto& images = form->ControlAs<ImageList>(L"imlIcons");
    images.SetMaskColor(kMagenta);
    images.SetUseMaskColor(true);
    auto framed = BitmapPicture(16, 16, kRed, kMagenta, 4);
    images.Add({}, {}, AsPictureDisp(framed.Get()));
    const HIMAGELIST list = images.hImageList();
    EXPECT_EQ(DrawnAt(list, 0, 1, 1), kWhite);
    EXPECT_EQ(DrawnAt(list, 0, 8, 8), kRed);
    images.SetUseMaskColor(false);
    EXPECT_EQ(images.hImageList(), list);
    EXPECT_EQ(DrawnAt(list, 0, 1, 1), kMagenta);
    form->Unload();
}

TEST(ImageList, ScriptsReachTheCollectionAndItsImagesLateBound) {
    using testsupport::InvokeByName;
    auto form = LoadForm();
    ComPtr<IDispatch> control;
    form->Site(L"imlIcons").Object()->QueryInterface(IID_IDispatch, control.PutVoid());
    auto red = BitmapPicture(16, 16, kRed);

    VARIANT collection, image, value;
    ASSERT_EQ(InvokeByName(control.Get(), L"ListImages", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {},
                           &collection),
              S_OK);
    ASSERT_EQ(collection.vt, VT_DISPATCH);
    VARIANT key, picture;
    key.vt = VT_BSTR;
    key.bstrVal = SysAllocString(L"first");
    picture.vt = VT_DISPATCH;
    picture.pdispVal = AsPictureDisp(red.Get()).Get();
    // Add , "first", picture
    EXPECT_EQ(InvokeByName(collection.pdispVal, L"Add", DISPATCH_METHOD,
                           {testsupport::Missing(), key, picture}, &image),
              S_OK);
    EXPECT_EQ(InvokeByName(collection.pdispVal, L"Count", DISPATCH_PROPERTYGET, {}, &value), S_OK);
    EXPECT_EQ(value.lVal, 1);
    // ListImages("first").Index
    VARIANT found;
    EXPECT_EQ(InvokeByName(control.Get(), L"ListImages", DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                           {key}, &found),
              S_OK);
    EXPECT_EQ(InvokeByName(found.pdispVal, L"Index", DISPATCH_PROPERTYGET, {}, &value), S_OK);
    EXPECT_EQ(value.lVal, 1);
    EXPECT_EQ(InvokeByName(control.Get(), L"hImageList", DISPATCH_PROPERTYGET, {}, &value), S_OK);
    EXPECT_NE(value.lVal, 0);
    VariantClear(&found);

    // An image whose list went answers with an error, not a crash.
    form->Unload();
    EXPECT_EQ(InvokeByName(image.pdispVal, L"Index", DISPATCH_PROPERTYGET, {}, &value),
              ControlErrors::ToHResult(ControlErrors::kObjectNotSet));
    VariantClear(&key);
    VariantClear(&image);
    VariantClear(&collection);
}

TEST(ImageList, ImagesKeysAndSettingsAreStoredWithTheLayout) {
    std::string saved;
    {
        auto form = LoadForm();
        auto& images = form->ControlAs<ImageList>(L"imlIcons");
        images.SetMaskColor(kMagenta);
        images.SetUseMaskColor(true);
        auto framed = BitmapPicture(16, 16, kRed, kMagenta, 4);
        images.Add({}, Text(L"framed"), AsPictureDisp(framed.Get()));
        images.Add({}, {}, AsPictureDisp(BitmapPicture(16, 16, kBlue).Get()));
        saved = Layout::Write(form->SaveLayout());
        form->Unload();
    }
    auto form = LoadForm(saved);
    auto& images = form->ControlAs<ImageList>(L"imlIcons");
    EXPECT_EQ(images.Count(), 2);
    EXPECT_EQ(images.KeyOf(1), L"framed");
    EXPECT_EQ(images.KeyOf(2), L"");
    EXPECT_EQ(images.MaskColor(), kMagenta);
    EXPECT_TRUE(images.UseMaskColor());
    EXPECT_EQ(images.ImageWidth(), 16);
    EXPECT_EQ(DrawnAt(images.hImageList(), 0, 1, 1), kWhite);
    EXPECT_EQ(DrawnAt(images.hImageList(), 0, 8, 8), kRed);
    EXPECT_EQ(DrawnAt(images.hImageList(), 1, 8, 8), kBlue);
    form->Unload();
}

TEST(ImageList, ButtonsFindItByNameOrAsAnObjectAndNothingElse) {
    auto form = LoadForm();
    auto& site = form->Site(L"imlIcons");
    auto& images = form->ControlAs<ImageList>(L"imlIcons");
    images.Add({}, {}, AsPictureDisp(BitmapPicture(16, 16, kRed).Get()));
    ComPtr<IDispatch> object, extender = site.ExtenderObject();
    site.Object()->QueryInterface(IID_IDispatch, object.PutVoid());
    struct Case {
        const char* what;
        Host::Variant value;
        bool found;
    };
    const Case cases[] = {
        {"its name", Text(L"imlIcons"), true},
        {"the object", Host::Variant::Object(object.Get()), true},
        {"its extender", Host::Variant::Object(extender.Get()), true},
        {"another name", Text(L"imlOther"), false},
        {"an object of another type", Host::Variant::Object(form->Object().Get()), false},
        {"a number", Host::Variant::Int32(1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto found = ButtonDraw::FindImageList(site, c.value.Get());
        EXPECT_EQ(found.found, c.found);
        EXPECT_EQ(found.handle, c.found ? images.hImageList() : nullptr);
        EXPECT_EQ(found.name, c.found ? L"imlIcons" : L"");
    }
    EXPECT_EQ(ButtonDraw::ImageListObject(site, L"imlIcons").Get(), object.Get());
    EXPECT_FALSE(ButtonDraw::ImageListObject(site, L"imlOther"));
    form->Unload();
}

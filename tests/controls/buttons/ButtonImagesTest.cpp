// Images and self-drawn looks of the command button and the check box on a real form: the
// image list found by name after loading, the picture coming back when the list goes, the
// graphical style and transparency through the controls' own windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "controls/base/VisualStyles.h"
#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "controls/buttons/ImageList.h"
#include "controls/label/LabelW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/ComCtlVersion.h"
#include "tests/support/Pictures.h"
#include "tests/support/Pump.h"
#include "tests/support/Rendering.h"
#include "tests/support/FormLayout.h"

using testsupport::AsPictureDisp;
using testsupport::BitmapPicture;
using testsupport::Rendering;
using namespace testsupport::colours;

namespace {

// The button is stored before the image list it names: only the deferred lookup finds it.
const std::string kLayout = testsupport::LayoutText(
    "FImages", 6000, 3000, {"BackColor = 255"},
    {{"CommandButtonW", "cmdPic", 150, 150, 1800, 900, "Property ImageList = \"imlIcons\""},
     {"CheckBoxW", "chkPic", 2100, 150, 1800, 900},
     {"LabelW", "lblBlue", 150, 1500, 1800, 900, "Property BackColor = 16711680"},
     {"ImageList", "imlIcons", 4500, 150, 480, 480}});

std::unique_ptr<Host::Form> NewForm() {
    return testsupport::FormOf<CommandButtonW, CheckBoxW, ImageList, LabelW>(kLayout);
}

HIMAGELIST ListOf(HWND button) {
    BUTTON_IMAGELIST info{};
    SendMessageW(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&info));
    return info.himl == reinterpret_cast<HIMAGELIST>(static_cast<INT_PTR>(-1)) ? nullptr
                                                                               : info.himl;
}

RECT All(const Rendering& r) {
    return RECT{0, 0, r.Width(), r.Height()};
}

}  // namespace

TEST(ButtonImages,
     ImageListNamedBeforeItLoadsIsFoundAfterLoadingAndAnUnknownNameBringsThePictureBack) {
    testsupport::ComCtlVersion comctl(6, 10);
    auto form = NewForm();
    form->Load();
    auto& button = form->ControlAs<CommandButtonW>(L"cmdPic");
    auto& images = form->ControlAs<ImageList>(L"imlIcons");
    images.Add({}, {}, AsPictureDisp(BitmapPicture(16, 16, kRed).Get()));
    // The lookup waits for loading to end: the 1 ms timer finds it.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return ListOf(button.hWnd()) != nullptr; }, 2000));
    EXPECT_EQ(ListOf(button.hWnd()), images.hImageList());
    const Host::Variant inUse = button.ImageList();
    ASSERT_EQ(inUse.Type(), VT_DISPATCH);
    EXPECT_NE(inUse.Get().pdispVal, nullptr);

    auto picture = BitmapPicture(16, 16, kBlue);
    button.SetPicture(AsPictureDisp(picture.Get()));
    EXPECT_EQ(SendMessageW(button.hWnd(), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);  // the list wins
    button.SetImageList(Host::Variant::String(L"imlNothing"));
    EXPECT_EQ(ListOf(button.hWnd()), nullptr);
    EXPECT_NE(SendMessageW(button.hWnd(), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_EQ(button.ImageList().Get().pdispVal, nullptr);
    form->Unload();

    // Read before the timer fired, ImageList looks the name up at once.
    auto again = NewForm();
    again->Load();
    auto& second = again->ControlAs<CommandButtonW>(L"cmdPic");
    again->ControlAs<ImageList>(L"imlIcons")
        .Add({}, {}, AsPictureDisp(BitmapPicture(16, 16, kRed).Get()));
    EXPECT_NE(second.ImageList().Get().pdispVal, nullptr);
    EXPECT_NE(ListOf(second.hWnd()), nullptr);
    again->Unload();
}

TEST(ButtonImages, GraphicalButtonsDrawTheirPicturesAndTheCheckedDither) {
    auto form = NewForm();
    form->Load();
    auto& button = form->ControlAs<CommandButtonW>(L"cmdPic");
    auto& box = form->ControlAs<CheckBoxW>(L"chkPic");
    auto up = BitmapPicture(16, 16, kRed);
    auto down = BitmapPicture(16, 16, kGreen);
    button.SetStyle(1);
    button.SetPicture(AsPictureDisp(up.Get()));
    button.SetDownPicture(AsPictureDisp(down.Get()));
    Rendering r = Rendering::OfClient(button.hWnd());
    EXPECT_GT(r.Count(All(r), kRed), 0);
    SendMessageW(button.hWnd(), BM_SETSTATE, TRUE, 0);
    r = Rendering::OfClient(button.hWnd());
    EXPECT_EQ(r.Count(All(r), kRed), 0);
    EXPECT_GT(r.Count(All(r), kGreen), 0);
    SendMessageW(button.hWnd(), BM_SETSTATE, FALSE, 0);
    button.SetEnabled(false);
    r = Rendering::OfClient(button.hWnd());
    EXPECT_EQ(r.Count(All(r), kRed), 0);  // embossed

    box.SetVisualStyles(false);
    box.SetBackColor(kNavy);
    box.SetStyle(1);
    box.SetValue(1);
    r = Rendering::OfClient(box.hWnd());
    const int cx = r.Width() / 2, cy = 4;  // above the caption, inside the face
    EXPECT_NE(r.At(cx, cy), r.At(cx + 1, cy));
    EXPECT_EQ(r.At(cx, cy), r.At(cx + 1, cy + 1));
    box.SetValue(0);
    r = Rendering::OfClient(box.hWnd());
    EXPECT_EQ(r.At(cx, cy), kNavy);
    EXPECT_EQ(r.At(cx + 1, cy), kNavy);
    form->Unload();
}

// Wine's themed push button paints its background through the parent instead of the control
// colour brush, so the answer to WM_CTLCOLORBTN is what is checked: the brush it gives paints
// what lies behind the control.
TEST(ButtonImages, TransparentButtonAnswersWithWhatIsBehindItAndRefreshTakesItAgain) {
    auto form = NewForm();
    form->Show(Host::ShowMode::Modeless);
    auto& button = form->ControlAs<CommandButtonW>(L"cmdPic");
    HWND userControl = form->Site(L"cmdPic").Hwnd();
    auto painted = [&] {
        HDC dc = GetDC(button.hWnd());
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(userControl, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(button.hWnd())));
        ReleaseDC(button.hWnd(), dc);
        HDC screen = GetDC(nullptr);
        UniqueMemoryDC memory(CreateCompatibleDC(screen));
        UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 8, 8));
        ReleaseDC(nullptr, screen);
        SelectedObject selected(memory.Get(), bitmap.Get());
        RECT all{0, 0, 8, 8};
        FillRect(memory.Get(), &all, brush);
        return GetPixel(memory.Get(), 4, 4);
    };
    EXPECT_NE(painted(), kRed);
    button.SetTransparent(true);
    EXPECT_EQ(painted(), kRed);  // the form's back colour
    // Moved over a blue label, the next refresh copies what is behind it now.
    form->Site(L"cmdPic").GetExtender().SetTop(1500);
    EXPECT_EQ(painted(), kRed);  // kept until a refresh
    button.Refresh();
    EXPECT_EQ(painted(), kBlue);
    form->Unload();
}

// The buttons' drawing module on real button windows: the graphical style rendered through
// WM_PRINTCLIENT and WM_DRAWITEM into a memory bitmap and compared relatively, pictures and
// image lists given to the window, the split glyph, and the backgrounds.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "controls/base/VisualStyles.h"
#include "controls/buttons/ButtonDraw.h"
#include "tests/support/ComCtlVersion.h"
#include "tests/support/GuiResources.h"
#include "tests/support/Pictures.h"
#include "tests/support/Rendering.h"
#include "tests/support/TestWindow.h"

using testsupport::BitmapPicture;
using testsupport::Rendering;
using namespace testsupport::colours;

namespace {

ButtonDraw::Look g_look;  // what the parent draws its owner-drawn button with

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DRAWITEM) {
        ButtonDraw::DrawGraphical(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), g_look);
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A visible top-level window holding one button window.
struct Harness {
    HWND parent = nullptr;
    HWND button = nullptr;

    explicit Harness(DWORD style = BS_OWNERDRAW, int width = 120, int height = 60) {
        parent = CreateWindowExW(0, testsupport::WindowClass(L"ButtonDrawTestParent", ParentProc),
                                 L"", WS_POPUP | WS_VISIBLE, 0, 0, width + 20, height + 20, nullptr,
                                 nullptr, nullptr, nullptr);
        button = CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | style, 0, 0, width,
                                 height, parent, nullptr, nullptr, nullptr);
    }
    ~Harness() { DestroyWindow(parent); }
    Rendering Render() const { return Rendering::OfClient(button); }
};

RECT All(const Rendering& r) {
    return RECT{0, 0, r.Width(), r.Height()};
}

// The bounding box of the pixels of one colour.
RECT InkOf(const Rendering& r, COLORREF color) {
    RECT ink{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (int y = 0; y < r.Height(); ++y) {
        for (int x = 0; x < r.Width(); ++x) {
            if (r.At(x, y) != color) continue;
            ink = RECT{std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                       std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
        }
    }
    return ink;
}

void ResetLook() {
    g_look = ButtonDraw::Look{};
    g_look.backColor = kNavy;
    g_look.foreColor = kRed;
}

}  // namespace

TEST(ButtonDraw, GraphicalStyleShowsThePictureOfEachStateInBothLooks) {
    auto picture = BitmapPicture(16, 16, kRed, kMagenta, 3);  // 10 x 10 red in magenta
    auto disabled = BitmapPicture(16, 16, kBlue);
    auto down = BitmapPicture(16, 16, kGreen);
    struct Case {
        const char* name;
        bool pushed, enabled, withDown, withDisabled, useMask;
        std::vector<COLORREF> shown, hidden;
    };
    const Case cases[] = {
        {"plain", false, true, true, true, false, {kRed, kMagenta}, {kGreen, kBlue}},
        {"mask colour", false, true, false, false, true, {kRed}, {kMagenta}},
        {"pushed: the down picture", true, true, true, false, false, {kGreen}, {kRed}},
        {"pushed without one", true, true, false, false, false, {kRed}, {kGreen}},
        {"disabled: its own picture", false, false, false, true, false, {kBlue}, {kRed}},
        {"disabled without: embossed", false, false, false, false, false, {}, {kRed, kMagenta}},
    };
    for (const bool themed : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (themed ? " (themed)" : " (classic)"));
            Harness h;
            ResetLook();
            g_look.visualStyles = themed;
            g_look.picture = picture.Get();
            g_look.downPicture = c.withDown ? down.Get() : nullptr;
            g_look.disabledPicture = c.withDisabled ? disabled.Get() : nullptr;
            g_look.useMaskColor = c.useMask;
            g_look.maskColor = kMagenta;
            EnableWindow(h.button, c.enabled);
            SendMessageW(h.button, BM_SETSTATE, c.pushed, 0);
            const Rendering r = h.Render();
            for (COLORREF color : c.shown)
                EXPECT_GT(r.Count(All(r), color), 0) << std::hex << color;
            for (COLORREF color : c.hidden)
                EXPECT_EQ(r.Count(All(r), color), 0) << std::hex << color;
        }
    }

    // Classic: where the mask colour was, the face shows (the back colour).
    Harness h;
    ResetLook();
    g_look.visualStyles = false;
    const int bare = [&] {
        const Rendering r = h.Render();
        return r.Count(All(r), kNavy);
    }();
    g_look.picture = picture.Get();
    g_look.useMaskColor = true;
    g_look.maskColor = kMagenta;
    InvalidateRect(h.button, nullptr, TRUE);
    const Rendering masked = h.Render();
    EXPECT_EQ(masked.Count(All(masked), kNavy), bare - 100);
    g_look = {};
}

TEST(ButtonDraw, CaptionMovesWhenPushedInTheClassicLookOnly) {
    testsupport::ComCtlVersion comctl(
        6, 10);  // the themed caption is drawn in ForeColor (DrawThemeTextEx)
    for (const bool themed : {false, true}) {
        SCOPED_TRACE(themed ? "themed" : "classic");
        Harness h;
        ResetLook();
        g_look.visualStyles = themed;
        g_look.caption = L"Wg";
        const RECT up = InkOf(h.Render(), kRed);
        SendMessageW(h.button, BM_SETSTATE, TRUE, 0);
        const RECT pushed = InkOf(h.Render(), kRed);
        ASSERT_LT(up.left, up.right);
        const int shift = themed ? 0 : 1;
        EXPECT_EQ(pushed.left, up.left + shift);
        EXPECT_EQ(pushed.top, up.top + shift);
    }
    g_look = {};
}

DTTOPTS g_options{};
int g_themeTextCalls = 0;
HRESULT WINAPI RecordThemeText(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, LPRECT,
                               const DTTOPTS* options) {
    ++g_themeTextCalls;
    g_options = *options;
    return S_OK;
}

TEST(ButtonDraw, ThemedCaptionGivesItsOptionsWithTheirRealSizeFrom61On) {
    ButtonDraw::Testing::SetDrawThemeTextEx(RecordThemeText);
    Harness h;
    ResetLook();
    g_look.caption = L"OK";
    h.Render();
    EXPECT_EQ(g_themeTextCalls, 0);  // before 6.1: DrawThemeText, in the theme's colour
    {
        testsupport::ComCtlVersion comctl(6, 10);
        InvalidateRect(h.button, nullptr, TRUE);
        h.Render();
    }
    EXPECT_EQ(g_themeTextCalls, 1);
    EXPECT_EQ(g_options.dwSize, sizeof(DTTOPTS));
    EXPECT_EQ(g_options.dwFlags, static_cast<DWORD>(DTT_TEXTCOLOR));
    EXPECT_EQ(g_options.crText, kRed);
    ButtonDraw::Testing::SetDrawThemeTextEx(nullptr);
    g_look = {};
}

TEST(ButtonDraw, CheckedGraphicalCheckBoxIsFilledWithTheDither) {
    UniqueBrush dither;
    Harness h;
    ResetLook();
    g_look.visualStyles = false;
    g_look.checkBox = true;
    g_look.checkedBrush = &dither;
    const Rendering unchecked = h.Render();
    EXPECT_FALSE(dither);  // made on first need only
    const int cx = unchecked.Width() / 2, cy = unchecked.Height() / 2;
    const RECT face{cx - 5, cy - 5, cx + 5, cy + 5};
    EXPECT_EQ(unchecked.Count(face, kNavy), 100);

    g_look.value = 1;
    const Rendering checked = h.Render();
    EXPECT_TRUE(dither);
    const COLORREF a = checked.At(cx, cy), b = checked.At(cx + 1, cy);
    EXPECT_TRUE((a == kWhite && b == kNavy) || (a == kNavy && b == kWhite));
    EXPECT_EQ(checked.At(cx + 1, cy + 1), a);
    EXPECT_EQ(checked.At(cx, cy + 1), b);
    EXPECT_EQ(checked.Count(face, kWhite), 50);
    g_look = {};
}

TEST(ButtonDraw, PictureOnTheWindowReplacesOrJoinsTheCaption) {
    auto bitmap = BitmapPicture(16, 16, kRed);
    const HANDLE handle = ButtonDraw::InfoOf(bitmap.Get()).handle;
    struct Case {
        const char* name;
        IPicture* picture;
        bool withCaption;
        LONG_PTR style;  // BS_ICON / BS_BITMAP expected
        LRESULT bitmapImage;
    };
    const Case cases[] = {
        {"bitmap instead of the caption", bitmap.Get(), false, BS_BITMAP,
         reinterpret_cast<LRESULT>(handle)},
        {"bitmap and caption", bitmap.Get(), true, 0, reinterpret_cast<LRESULT>(handle)},
        {"none", nullptr, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h(BS_PUSHBUTTON | BS_ICON);
        ButtonDraw::ShowPicture(h.button, c.picture, c.withCaption);
        EXPECT_EQ(GetWindowLongPtrW(h.button, GWL_STYLE) & (BS_ICON | BS_BITMAP), c.style);
        EXPECT_EQ(SendMessageW(h.button, BM_GETIMAGE, IMAGE_BITMAP, 0), c.bitmapImage);
    }
    // Owner drawing keeps its style: the control draws the picture itself.
    Harness owner;
    ButtonDraw::ShowPicture(owner.button, bitmap.Get(), false);
    EXPECT_EQ(GetWindowLongPtrW(owner.button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

TEST(ButtonDraw, ImageListTakesItsMarginOnTheAlignedSideAndReplacesThePicture) {
    UniqueImageList list(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 0));
    struct Case {
        int32_t alignment;
        RECT margin;
    };
    const Case cases[] = {{0, {5, 0, 0, 0}},
                          {1, {0, 0, 5, 0}},
                          {2, {0, 5, 0, 0}},
                          {3, {0, 0, 0, 5}},
                          {4, {0, 0, 0, 0}}};
    auto bitmap = BitmapPicture(16, 16, kRed);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alignment);
        Harness h(BS_PUSHBUTTON);
        ButtonDraw::ShowPicture(h.button, bitmap.Get(), false);
        ButtonDraw::GiveImageList(h.button, list.Get(), c.alignment, 5);
        BUTTON_IMAGELIST got{};
        ASSERT_TRUE(SendMessageW(h.button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&got)));
        EXPECT_EQ(got.himl, list.Get());
        EXPECT_EQ(got.uAlign, static_cast<UINT>(c.alignment));
        EXPECT_TRUE(EqualRect(&got.margin, &c.margin));
        EXPECT_EQ(GetWindowLongPtrW(h.button, GWL_STYLE) & BS_BITMAP, 0);
        EXPECT_EQ(SendMessageW(h.button, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    }
}

TEST(ButtonDraw, SplitGlyphIsMadeFromThePictureAndTheDefaultComesBack) {
    Harness h(BS_SPLITBUTTON);
    const HIMAGELIST initial = ButtonDraw::DefaultSplitGlyph(h.button);
    auto glyph = BitmapPicture(12, 10, kRed);
    UniqueImageList owned = ButtonDraw::SetSplitGlyph(h.button, glyph.Get(), initial);
    ASSERT_TRUE(owned);
    BUTTON_SPLITINFO info{};
    info.mask = BCSIF_GLYPH | BCSIF_STYLE;
    SendMessageW(h.button, BCM_GETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.himlGlyph, owned.Get());
    EXPECT_TRUE(info.uSplitStyle & BCSS_IMAGE);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(owned.Get(), &cx, &cy);
    EXPECT_EQ(cx, 12);
    EXPECT_EQ(cy, 10);
    EXPECT_EQ(ImageList_GetImageCount(owned.Get()), 1);

    EXPECT_FALSE(ButtonDraw::SetSplitGlyph(h.button, nullptr, initial));
    info = {};
    info.mask = BCSIF_GLYPH | BCSIF_STYLE;
    SendMessageW(h.button, BCM_GETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.himlGlyph, initial);
    EXPECT_FALSE(info.uSplitStyle & BCSS_IMAGE);

    ButtonDraw::SetSplitStyle(h.button, BCSS_ALIGNLEFT, true);
    ButtonDraw::SetSplitStyle(h.button, BCSS_NOSPLIT, true);
    ButtonDraw::SetSplitStyle(h.button, BCSS_NOSPLIT, false);
    info = {};
    info.mask = BCSIF_STYLE;
    SendMessageW(h.button, BCM_GETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.uSplitStyle & (BCSS_ALIGNLEFT | BCSS_NOSPLIT),
              static_cast<UINT>(BCSS_ALIGNLEFT));
}

// The container paints yellow left of x = 70 and cyan from there on, into whatever context
// it is given.
LRESULT CALLBACK TwoColourProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT && wParam) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        UniqueBrush yellow(CreateSolidBrush(RGB(255, 255, 0)));
        UniqueBrush cyan(CreateSolidBrush(RGB(0, 255, 255)));
        RECT left{0, 0, 70, 100}, right{70, 0, 200, 100};
        FillRect(dc, &left, yellow.Get());
        FillRect(dc, &right, cyan.Get());
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(ButtonDraw, TransparentBackgroundIsWhatTheContainerPaintsBehindTheControl) {
    HWND container = CreateWindowExW(
        0, testsupport::WindowClass(L"ButtonDrawTestContainer", TwoColourProc), L"",
        WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 50, 10, 40, 20,
                                   container, nullptr, nullptr, nullptr);
    UniqueBrush cache;
    HDC dc = GetDC(control);
    const LRESULT given = 12345;
    EXPECT_EQ(ButtonDraw::ControlColor(control, dc, false, cache, given), given);
    EXPECT_FALSE(cache);
    const LRESULT answer = ButtonDraw::ControlColor(control, dc, true, cache, given);
    ReleaseDC(control, dc);
    ASSERT_TRUE(cache);
    EXPECT_EQ(answer, reinterpret_cast<LRESULT>(cache.Get()));

    // Painted with the brush, the control shows the two colours split where the container's
    // are: 20 pixels of each.
    HDC screen = GetDC(nullptr);
    UniqueMemoryDC memory(CreateCompatibleDC(screen));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 40, 20));
    ReleaseDC(nullptr, screen);
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        RECT all{0, 0, 40, 20};
        FillRect(memory.Get(), &all, cache.Get());
        EXPECT_EQ(GetPixel(memory.Get(), 5, 10), RGB(255, 255, 0));
        EXPECT_EQ(GetPixel(memory.Get(), 19, 10), RGB(255, 255, 0));
        EXPECT_EQ(GetPixel(memory.Get(), 20, 10), RGB(0, 255, 255));
        EXPECT_EQ(GetPixel(memory.Get(), 35, 10), RGB(0, 255, 255));
    }
    DestroyWindow(container);
}

TEST(ButtonDraw, GlyphsBrushesAndEmbossingLeaveNoGdiObjectsBehind) {
    Harness split(BS_SPLITBUTTON);
    const HIMAGELIST initial = ButtonDraw::DefaultSplitGlyph(split.button);
    UniqueImageList glyphList;
    Harness graphical;
    UniqueBrush dither;
    testsupport::ExpectNoGuiLeaks([&](int) {
        auto glyph = BitmapPicture(12, 10, kRed);
        glyphList = ButtonDraw::SetSplitGlyph(split.button, glyph.Get(), initial);
        glyphList = ButtonDraw::SetSplitGlyph(split.button, nullptr, initial);

        auto picture = BitmapPicture(16, 16, kRed);
        ResetLook();
        g_look.picture = picture.Get();
        g_look.checkBox = true;
        g_look.value = 1;
        g_look.checkedBrush = &dither;
        EnableWindow(graphical.button, FALSE);  // embossed through a copy of the bitmap
        graphical.Render();
        dither.Reset();

        UniqueBrush background;
        HDC dc = GetDC(graphical.button);
        ButtonDraw::ControlColor(graphical.button, dc, true, background, 0);
        ReleaseDC(graphical.button, dc);
        g_look = {};
    });
}

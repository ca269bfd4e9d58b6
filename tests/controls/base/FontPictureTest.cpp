// Fonts, colours and pictures: real GDI objects and real OLE font and picture objects.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>

#include "controls/base/Common.h"
#include "tests/support/GuiResources.h"

using namespace testsupport;

namespace {

// An OLE font whose answers are exactly what the test sets (a real font object rounds its
// size to what the screen can show).
class FakeFont : public IFont {
public:
    std::wstring name = L"Tahoma";
    LONGLONG size = 80000;  // ten-thousandths of a point
    BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
    SHORT weight = FW_NORMAL, charset = DEFAULT_CHARSET;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IFont) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* p) override {
        *p = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Size(CY* p) override {
        p->int64 = size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Size(CY) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Bold(BOOL* p) override { return *p = bold, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Bold(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Italic(BOOL* p) override { return *p = italic, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Italic(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Underline(BOOL* p) override { return *p = underline, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Underline(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Strikethrough(BOOL* p) override {
        return *p = strikethrough, S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Strikethrough(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Weight(SHORT* p) override { return *p = weight, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Weight(SHORT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Charset(SHORT* p) override { return *p = charset, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Charset(SHORT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_hFont(HFONT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IFont**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsEqual(IFont*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetRatio(LONG, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryTextMetrics(TEXTMETRICOLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddRefHfont(HFONT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReleaseHfont(HFONT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHdc(HDC) override { return E_NOTIMPL; }
};

LOGFONTW LogFontOf(HFONT font) {
    LOGFONTW lf{};
    EXPECT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    return lf;
}

LONG HeightFor(LONGLONG tenThousandths) {
    FakeFont font;
    font.size = tenThousandths;
    UniqueFont gdi = Common::CreateGDIFont(&font);
    EXPECT_TRUE(gdi);
    return gdi ? LogFontOf(gdi.Get()).lfHeight : 0;
}

ComPtr<IFont> RealFont(const wchar_t* name, LONGLONG tenThousandths) {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.lpstrName = const_cast<LPOLESTR>(name);
    desc.cySize.int64 = tenThousandths;
    desc.sWeight = FW_NORMAL;
    ComPtr<IFont> font;
    EXPECT_EQ(OleCreateFontIndirect(&desc, IID_IFont, font.PutVoid()), S_OK);
    return font;
}

}  // namespace

TEST(CreateGDIFont, RoundsTheSizeToWholePointsHalvesToEvenBeforeScaling) {
    const int dpi = Common::DPI_Y();
    ASSERT_GT(dpi, 0);
    auto expected = [dpi](int points) { return -MulDiv(points, dpi, 72); };
    EXPECT_EQ(HeightFor(97500), expected(10));   // 9.75 pt is made as 10 pt
    EXPECT_EQ(HeightFor(105000), expected(10));  // a half goes to the even neighbour
    EXPECT_EQ(HeightFor(115000), expected(12));
    EXPECT_EQ(HeightFor(125000), expected(12));
    EXPECT_EQ(HeightFor(82500), expected(8));
    EXPECT_EQ(HeightFor(85001), expected(9));
    if (dpi == 96) {
        EXPECT_EQ(HeightFor(97500), -13);
        EXPECT_EQ(HeightFor(105000), -13);  // 10.5 pt unrounded would be -14
        EXPECT_EQ(HeightFor(115000), -16);  // 11.5 pt unrounded would be -15
    }
}

TEST(CreateGDIFont, CopiesFaceStyleAndCharacterSet) {
    FakeFont font;
    font.name = L"Courier New";
    font.bold = TRUE;
    font.weight = 300;  // the weight follows Bold alone
    font.italic = TRUE;
    font.strikethrough = TRUE;
    font.charset = 0x1CC;  // only the low byte is a character set: RUSSIAN_CHARSET
    UniqueFont gdi = Common::CreateGDIFont(&font);
    ASSERT_TRUE(gdi);
    LOGFONTW lf = LogFontOf(gdi.Get());
    EXPECT_STREQ(lf.lfFaceName, L"Courier New");
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 0);
    EXPECT_EQ(lf.lfStrikeOut, 1);
    EXPECT_EQ(lf.lfCharSet, RUSSIAN_CHARSET);
    EXPECT_EQ(lf.lfQuality, DEFAULT_QUALITY);
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfEscapement, 0);

    font.bold = FALSE;
    font.weight = 900;
    font.underline = TRUE;
    lf = LogFontOf(Common::CreateGDIFont(&font).Get());
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_EQ(lf.lfUnderline, 1);

    // A face name beyond the field is cut to 31 characters with its terminator.
    font.name = std::wstring(40, L'W');
    lf = LogFontOf(Common::CreateGDIFont(&font).Get());
    EXPECT_EQ(std::wstring(lf.lfFaceName), std::wstring(31, L'W'));

    EXPECT_FALSE(Common::CreateGDIFont(nullptr));
}

TEST(CreateGDIFont, MakesTheFaceOfARealOleFont) {
    ComPtr<IFont> font = RealFont(L"Tahoma", 120000);
    ASSERT_TRUE(font);
    BSTR name = nullptr;
    ASSERT_EQ(font->get_Name(&name), S_OK);
    const std::wstring expectedName(name);
    SysFreeString(name);
    CY size{};
    font->get_Size(&size);
    UniqueFont gdi = Common::CreateGDIFont(font.Get());
    ASSERT_TRUE(gdi);
    const LOGFONTW lf = LogFontOf(gdi.Get());
    EXPECT_EQ(std::wstring(lf.lfFaceName), expectedName);
    EXPECT_EQ(lf.lfHeight,
              -MulDiv(static_cast<int>((size.int64 + 5000) / 10000), Common::DPI_Y(), 72));
}

TEST(FontsEqual, ComparesNameSizeStyleWeightAndCharsetOnly) {
    EXPECT_TRUE(Common::FontsEqual(nullptr, nullptr));
    FakeFont a, b;
    EXPECT_FALSE(Common::FontsEqual(&a, nullptr));
    EXPECT_FALSE(Common::FontsEqual(nullptr, &b));
    EXPECT_TRUE(Common::FontsEqual(&a, &b));

    auto differs = [&](auto change) {
        FakeFont c;
        change(c);
        return !Common::FontsEqual(&a, &c) && !Common::FontsEqual(&c, &a);
    };
    EXPECT_TRUE(differs([](FakeFont& f) { f.name = L"tahoma"; }));  // case counts
    EXPECT_TRUE(differs([](FakeFont& f) { f.size = 80001; }));
    EXPECT_TRUE(differs([](FakeFont& f) { f.italic = TRUE; }));
    EXPECT_TRUE(differs([](FakeFont& f) { f.underline = TRUE; }));
    EXPECT_TRUE(differs([](FakeFont& f) { f.strikethrough = TRUE; }));
    EXPECT_TRUE(differs([](FakeFont& f) { f.weight = FW_BOLD; }));
    EXPECT_TRUE(differs([](FakeFont& f) { f.charset = RUSSIAN_CHARSET; }));
    // Bold is covered by the weight.
    EXPECT_FALSE(differs([](FakeFont& f) { f.bold = TRUE; }));

    ComPtr<IFont> real1 = RealFont(L"Tahoma", 90000), real2 = RealFont(L"Tahoma", 90000);
    ComPtr<IFont> real3 = RealFont(L"Tahoma", 140000);
    EXPECT_TRUE(Common::FontsEqual(real1.Get(), real2.Get()));
    EXPECT_FALSE(Common::FontsEqual(real1.Get(), real3.Get()));
}

TEST(WinColor, TranslatesSystemColoursAndRejectsInvalidOnes) {
    EXPECT_EQ(Common::WinColor(0x00123456), 0x00123456u);
    EXPECT_EQ(Common::WinColor(0x8000000F), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(Common::WinColor(0x80000005), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(Common::WinColor(0x800000FF), CLR_INVALID);
    EXPECT_EQ(Common::WinColor(0x05000000), CLR_INVALID);
}

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

HBITMAP SolidBitmap(int cx, int cy, COLORREF color) {
    WindowDC screen;
    HBITMAP bitmap = CreateCompatibleBitmap(screen.Get(), cx, cy);
    UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
    SelectedObject selected(dc.Get(), bitmap);
    UniqueBrush brush(CreateSolidBrush(color));
    RECT rect{0, 0, cx, cy};
    FillRect(dc.Get(), &rect, brush.Get());
    return bitmap;
}

// A 32x32 icon: red on the left half, transparent on the right half.
HICON HalfIcon() {
    const int size = 32;
    UniqueBitmap color(SolidBitmap(size, size, kRed));
    WindowDC screen;
    UniqueBitmap mask(CreateBitmap(size, size, 1, 1, nullptr));
    {
        UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
        SelectedObject selected(dc.Get(), mask.Get());
        PatBlt(dc.Get(), 0, 0, size / 2, size, BLACKNESS);
        PatBlt(dc.Get(), size / 2, 0, size / 2, size, WHITENESS);
    }
    {
        UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
        SelectedObject selected(dc.Get(), color.Get());
        PatBlt(dc.Get(), size / 2, 0, size / 2, size, BLACKNESS);
    }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask.Get();
    info.hbmColor = color.Get();
    return CreateIconIndirect(&info);
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    WindowDC screen;
    UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
    SelectedObject selected(dc.Get(), bitmap);
    return GetPixel(dc.Get(), x, y);
}

SIZE SizeOf(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    return {info.bmWidth, info.bmHeight};
}

}  // namespace

TEST(Pictures, PictureFromHandleWrapsTheHandleAndDeletesItOnlyWhenItOwnsIt) {
    EXPECT_FALSE(Common::PictureFromHandle(nullptr, PICTYPE_BITMAP, true));
    struct Case {
        SHORT type;
        bool owns;
    } const cases[] = {{PICTYPE_BITMAP, true},
                       {PICTYPE_BITMAP, false},
                       {PICTYPE_ICON, true},
                       {PICTYPE_ICON, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << (c.owns ? " owned" : " borrowed"));
        const HANDLE handle = c.type == PICTYPE_BITMAP
                                  ? static_cast<HANDLE>(SolidBitmap(20, 10, kRed))
                                  : static_cast<HANDLE>(HalfIcon());
        auto alive = [&] {
            if (c.type == PICTYPE_BITMAP) return GetObjectType(handle) == OBJ_BITMAP;
            ICONINFO info{};
            if (!GetIconInfo(static_cast<HICON>(handle), &info)) return false;
            DeleteObject(info.hbmMask);
            DeleteObject(info.hbmColor);
            return true;
        };
        {
            ComPtr<IPicture> picture = Common::PictureFromHandle(handle, c.type, c.owns);
            ASSERT_TRUE(picture);
            SHORT type = 0;
            OLE_HANDLE held = 0;
            picture->get_Type(&type);
            picture->get_Handle(&held);
            EXPECT_EQ(type, c.type);
            EXPECT_EQ(LongToHandle(static_cast<LONG>(held)), handle);
        }
        EXPECT_EQ(alive(), !c.owns);
        if (!c.owns && c.type == PICTYPE_BITMAP) DeleteObject(handle);
        if (!c.owns && c.type == PICTYPE_ICON) DestroyIcon(static_cast<HICON>(handle));
    }

    // A shared system cursor wrapped without ownership keeps working after the picture goes.
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    Common::PictureFromHandle(arrow, PICTYPE_ICON, false);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), arrow);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(arrow, &info));
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
}

namespace {

HENHMETAFILE RedEnhMetafile() {
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    UniqueBrush brush(CreateSolidBrush(kRed));
    RECT r{0, 0, 40, 20};
    FillRect(dc, &r, brush.Get());
    return CloseEnhMetaFile(dc);
}

HMETAFILE RedMetafile() {
    HDC dc = CreateMetaFileW(nullptr);
    UniqueBrush brush(CreateSolidBrush(kRed));
    RECT r{0, 0, 40, 20};
    FillRect(dc, &r, brush.Get());
    return CloseMetaFile(dc);
}

bool HandleAlive(SHORT type, HANDLE h) {
    switch (type) {
        case PICTYPE_BITMAP:
            return GetObjectType(h) == OBJ_BITMAP;
        case PICTYPE_METAFILE:
            return GetMetaFileBitsEx(static_cast<HMETAFILE>(h), 0, nullptr) > 0;
        case PICTYPE_ENHMETAFILE:
            return GetEnhMetaFileHeader(static_cast<HENHMETAFILE>(h), 0, nullptr) > 0;
        default: {
            ICONINFO info{};
            if (!GetIconInfo(static_cast<HICON>(h), &info)) return false;
            DeleteObject(info.hbmMask);
            if (info.hbmColor) DeleteObject(info.hbmColor);
            return true;
        }
    }
}

HANDLE HandleOf(IPicture* picture) {
    OLE_HANDLE h = 0;
    picture->get_Handle(&h);
    return LongToHandle(static_cast<LONG>(h));
}

}  // namespace

TEST(Pictures, CopyPictureMakesAnIndependentCopyOfEachKind) {
    EXPECT_FALSE(Common::CopyPicture(nullptr));
    struct Case {
        SHORT type;
        HANDLE (*make)();
    } const cases[] = {
        {PICTYPE_BITMAP, [] { return static_cast<HANDLE>(SolidBitmap(20, 10, kRed)); }},
        {PICTYPE_ICON, [] { return static_cast<HANDLE>(HalfIcon()); }},
        {PICTYPE_METAFILE, [] { return static_cast<HANDLE>(RedMetafile()); }},
        {PICTYPE_ENHMETAFILE, [] { return static_cast<HANDLE>(RedEnhMetafile()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        const HANDLE original = c.make();
        ComPtr<IPicture> source = Common::PictureFromHandle(original, c.type, true);
        ComPtr<IPicture> copy = Common::CopyPicture(source.Get());
        ASSERT_TRUE(copy);
        SHORT type = 0;
        copy->get_Type(&type);
        EXPECT_EQ(type, c.type);
        OLE_XSIZE_HIMETRIC sourceWidth = 0, copyWidth = 0;
        source->get_Width(&sourceWidth);
        copy->get_Width(&copyWidth);
        EXPECT_EQ(copyWidth, sourceWidth);
        const HANDLE copied = HandleOf(copy.Get());
        EXPECT_NE(copied, original);

        source = {};  // the caller lets go of its picture, and its handle goes with it
        EXPECT_FALSE(HandleAlive(c.type, original));
        EXPECT_TRUE(HandleAlive(c.type, copied));
        if (c.type == PICTYPE_BITMAP || c.type == PICTYPE_ICON) {
            UniqueBitmap drawn = Common::BitmapFromPicture(copy.Get(), kBlue);
            ASSERT_TRUE(drawn);
            EXPECT_EQ(PixelOf(drawn.Get(), 2, 5), kRed);
        }
    }
}

TEST(Pictures, BitmapFromPictureDrawsThePictureOverTheBackColour) {
    EXPECT_FALSE(Common::BitmapFromPicture(nullptr, 0));

    ComPtr<IPicture> picture =
        Common::PictureFromHandle(SolidBitmap(20, 10, kRed), PICTYPE_BITMAP, true);
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    UniqueBitmap bitmap = Common::BitmapFromPicture(picture.Get(), kBlue);
    ASSERT_TRUE(bitmap);
    const SIZE size = SizeOf(bitmap.Get());
    EXPECT_EQ(size.cx, Common::HimetricToPixelX(width));
    EXPECT_EQ(size.cy, Common::HimetricToPixelY(height));
    EXPECT_EQ(size.cx, 20);
    EXPECT_EQ(size.cy, 10);
    EXPECT_EQ(PixelOf(bitmap.Get(), 0, 0), kRed);
    EXPECT_EQ(PixelOf(bitmap.Get(), 19, 9), kRed);  // not upside down or cut

    // An icon: its transparent part shows the back colour (a system colour here).
    ComPtr<IPicture> icon = Common::PictureFromHandle(HalfIcon(), PICTYPE_ICON, true);
    UniqueBitmap fromIcon = Common::BitmapFromPicture(icon.Get(), 0x80000005);
    ASSERT_TRUE(fromIcon);
    EXPECT_EQ(SizeOf(fromIcon.Get()).cx, 32);
    EXPECT_EQ(PixelOf(fromIcon.Get(), 2, 5), kRed);
    EXPECT_EQ(PixelOf(fromIcon.Get(), 29, 5), GetSysColor(COLOR_WINDOW));
}

TEST(Pictures, FontAndPictureHelpersLeakNoGdiObjects) {
    FakeFont font;
    auto cycle = [&] {
        UniqueFont gdi = Common::CreateGDIFont(&font);
        ComPtr<IPicture> picture =
            Common::PictureFromHandle(SolidBitmap(16, 16, kRed), PICTYPE_BITMAP, true);
        UniqueBitmap a = Common::BitmapFromPicture(picture.Get(), kBlue);
        ComPtr<IPicture> icon = Common::PictureFromHandle(HalfIcon(), PICTYPE_ICON, true);
        UniqueBitmap b = Common::BitmapFromPicture(icon.Get(), 0x8000000F);
        ComPtr<IPicture> copies[] = {Common::CopyPicture(picture.Get()),
                                     Common::CopyPicture(icon.Get())};
        ASSERT_TRUE(gdi && a && b && copies[0] && copies[1]);
    };
    cycle();  // warm the system's caches
    const GuiObjectCounts before = CountGuiObjects();
    if (before.gdi < 0) GTEST_SKIP() << "GDI objects cannot be counted here";
    for (int i = 0; i < 100; ++i)
        cycle();
    EXPECT_EQ(CountGuiObjects(), before);
}

// The shared control helpers that work on windows, keyboard state, numbers, strings, files,
// libraries, containers and modeless dialogs.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "tests/support/ControlErrors.h"
#include "tests/support/Process.h"
#include "tests/support/Pump.h"
#include "tests/support/Input.h"
#include "tests/support/TestWindow.h"

using namespace testsupport;

namespace {

std::vector<UINT> g_messages;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_messages.push_back(msg);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct TestWindow {
    HWND hwnd;
    explicit TestWindow(DWORD style = WS_OVERLAPPEDWINDOW, DWORD exStyle = 0) {
        hwnd = CreateWindowExW(
            exStyle, testsupport::WindowClass(L"HelpersTestWindow", RecordingProc), L"", style, 100,
            100, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() { DestroyWindow(hwnd); }
};

bool Seen(UINT msg) {
    for (UINT m : g_messages) {
        if (m == msg) return true;
    }
    return false;
}

}  // namespace

TEST(MousePointers, TheListAgreesWithTheLookupsAndNamesRealSystemCursors) {
    std::vector<std::wstring> strings{L"stale"};
    std::vector<int32_t> cookies{-5};
    Common::PointerPredefinedStrings(strings, cookies);
    ASSERT_EQ(strings.size(), 18u);
    ASSERT_EQ(cookies.size(), 18u);
    for (size_t i = 0; i < strings.size(); ++i) {
        const int32_t value = cookies[i];
        SCOPED_TRACE(value);
        EXPECT_EQ(value, i < 17 ? static_cast<int32_t>(i) : 99);
        EXPECT_EQ(strings[i], Common::PointerDisplayString(value));
        EXPECT_EQ(strings[i].rfind(std::to_wstring(value) + L" - ", 0), 0u);
        const int32_t id = Common::MousePointerID(value);
        // 16's cursor is not one of the standard IDC_ names.
        if (id && value != 16) {
            EXPECT_TRUE(LoadCursorW(nullptr, MAKEINTRESOURCEW(id)));
        }
    }
    EXPECT_EQ(strings[4], L"4 - Hand");
    EXPECT_EQ(strings[13], L"13 - Arrow and Hourglass");
    EXPECT_EQ(strings[17], L"99 - Custom");
    EXPECT_EQ(Common::MousePointerID(0), 0);
    EXPECT_EQ(Common::MousePointerID(4), 32649);
    EXPECT_EQ(Common::MousePointerID(5), Common::MousePointerID(15));  // both IDC_SIZEALL
    EXPECT_EQ(Common::MousePointerID(16), 32663);
    EXPECT_EQ(Common::MousePointerID(99), 0);
    for (int32_t outside : {-1, 17, 98, 100}) {
        EXPECT_EQ(Common::PointerDisplayString(outside), L"");
        EXPECT_EQ(Common::MousePointerID(outside), 0);
    }
}

namespace {

struct FakeControl : ControlHost::IControl {
    std::wstring type, name;
    std::optional<int32_t> index;
    FakeControl(std::wstring t, std::wstring n, std::optional<int32_t> i = std::nullopt)
        : type(std::move(t)), name(std::move(n)), index(i) {}
    std::wstring TypeName() const override { return type; }
    std::wstring Name() const override { return name; }
    std::optional<int32_t> Index() const override { return index; }
};

}  // namespace

TEST(ImageListNames, NoneThenTheContainersImageListsByPosition) {
    const FakeControl images(L"ImageList", L"imlIcons");
    const FakeControl button(L"CommandButtonW", L"cmdOk");
    const FakeControl arrayMember(L"ImageList", L"imlArray", 3);
    const FakeControl lookalike(L"imagelist", L"imlLower");
    const std::vector<const ControlHost::IControl*> controls{&images, &button, &arrayMember,
                                                             &lookalike};
    std::vector<std::wstring> strings{L"old"}, names{L"old", L"old"};
    std::vector<int32_t> cookies{7};
    Common::ImageListPredefinedStrings(strings, cookies, controls, names);
    EXPECT_EQ(strings, (std::vector<std::wstring>{L"(None)", L"imlIcons", L"imlArray(3)"}));
    EXPECT_EQ(cookies, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(names, strings);
    EXPECT_EQ(Common::ControlName(button), L"cmdOk");
    EXPECT_EQ(Common::ControlName(FakeControl(L"X", L"opt", 0)), L"opt(0)");

    Common::ImageListPredefinedStrings(strings, cookies, {}, names);
    EXPECT_EQ(strings, std::vector<std::wstring>{L"(None)"});
    EXPECT_EQ(cookies, std::vector<int32_t>{0});
}

TEST(AccelCharCode, TakesTheLastSingleAmpersandsCharacterUpperCased) {
    EXPECT_EQ(Common::AccelCharCode(L"E&xit"), 88);
    EXPECT_EQ(Common::AccelCharCode(L"&"), 0);
    EXPECT_EQ(Common::AccelCharCode(L"Exit&"), 0);
    EXPECT_EQ(Common::AccelCharCode(L"&&A"), 0);
    EXPECT_EQ(Common::AccelCharCode(L"Save && Exit"), 0);  // a pair never marks a key
    EXPECT_EQ(Common::AccelCharCode(L""), 0);
    EXPECT_EQ(Common::AccelCharCode(L"No key"), 0);
    EXPECT_EQ(Common::AccelCharCode(L"&Open"), 79);
    EXPECT_EQ(Common::AccelCharCode(L"&File &Edit"), 69);  // the last one wins
    EXPECT_EQ(Common::AccelCharCode(L"&1st"), 49);
    EXPECT_EQ(Common::AccelCharCode(L"Copy &&&Paste"), 80);  // a literal "&" before the key
    EXPECT_EQ(Common::AccessKey(L"&Установить && выйти"), L'У');
}

TEST(KeyboardAndMouse, StateBitsFromKeysAndMouseFlags) {
    BYTE saved[256] = {}, keys[256] = {};
    ASSERT_TRUE(GetKeyboardState(saved));
    auto shiftWith = [&](std::initializer_list<int> down) {
        std::fill(std::begin(keys), std::end(keys), 0);
        for (int vk : down)
            keys[vk] = 0x80;
        SetKeyboardState(keys);
        return Common::GetShiftState();
    };
    EXPECT_EQ(shiftWith({}), 0);
    EXPECT_EQ(shiftWith({VK_SHIFT}), 1);
    EXPECT_EQ(shiftWith({VK_CONTROL}), 2);
    EXPECT_EQ(shiftWith({VK_MENU}), 4);
    EXPECT_EQ(shiftWith({VK_SHIFT, VK_CONTROL, VK_MENU}), 7);

    shiftWith({});
    EXPECT_EQ(Common::ShiftFromMouseFlags(MK_SHIFT | MK_LBUTTON), 1);
    EXPECT_EQ(Common::ShiftFromMouseFlags(MK_CONTROL), 2);
    EXPECT_EQ(Common::ShiftFromMouseFlags(MK_SHIFT | MK_CONTROL), 3);
    shiftWith({VK_MENU});
    EXPECT_EQ(Common::ShiftFromMouseFlags(MK_SHIFT), 5);
    SetKeyboardState(saved);

    EXPECT_EQ(Common::ButtonFromMouseFlags(MK_LBUTTON), 1);
    EXPECT_EQ(Common::ButtonFromMouseFlags(MK_RBUTTON), 2);
    EXPECT_EQ(Common::ButtonFromMouseFlags(MK_MBUTTON), 4);
    EXPECT_EQ(Common::ButtonFromMouseFlags(MK_LBUTTON | MK_MBUTTON | MK_SHIFT), 5);
    EXPECT_EQ(Common::ButtonFromMouseFlags(MK_SHIFT | MK_CONTROL), 0);
}

TEST(KeyboardAndMouse, PeekCharCodeLeavesTheCharacterQueued) {
    TestWindow w;
    PumpPending();
    EXPECT_EQ(Common::PeekCharCode(w.hwnd), 0);
    PostMessageW(w.hwnd, WM_KEYDOWN, 'Q', 0);
    PostMessageW(w.hwnd, WM_CHAR, L'ж', 0);
    EXPECT_EQ(Common::PeekCharCode(w.hwnd), L'ж');
    EXPECT_EQ(Common::PeekCharCode(w.hwnd), L'ж');
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, w.hwnd, WM_CHAR, WM_CHAR, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(L'ж'));
    EXPECT_EQ(Common::PeekCharCode(w.hwnd), 0);
    PumpPending();
}

TEST(KeyboardAndMouse, RequestMouseLeaveBringsWmMouseLeave) {
    TestWindow w(WS_POPUP | WS_VISIBLE);
    ASSERT_TRUE(MoveCursor(POINT{150, 150}));  // over the window
    g_messages.clear();
    EXPECT_TRUE(Common::RequestMouseLeave(w.hwnd));
    PumpFor(100);
    EXPECT_FALSE(Seen(WM_MOUSELEAVE));
    SetCursorPos(5, 5);
    EXPECT_TRUE(PumpUntil([] { return Seen(WM_MOUSELEAVE); }, 3000));
}

TEST(Packing, WordsAndUnsignedConversions) {
    EXPECT_EQ(Common::MakeDWord(-1, 1), 0x1FFFF);
    EXPECT_EQ(Common::MakeDWord(0x1234, -2), static_cast<int32_t>(0xFFFE1234));
    EXPECT_EQ(Common::LoWord(static_cast<int32_t>(0x8000FFFF)), -1);
    EXPECT_EQ(Common::HiWord(static_cast<int32_t>(0x8000FFFF)), -32768);
    EXPECT_EQ(Common::HiWord(0x00050000), 5);
    EXPECT_EQ(Common::GetXFromLParam(MAKELPARAM(-5, -7)), -5);
    EXPECT_EQ(Common::GetYFromLParam(MAKELPARAM(-5, -7)), -7);
    EXPECT_EQ(Common::GetXFromLParam(MAKELPARAM(300, 40000)), 300);
    EXPECT_EQ(Common::GetYFromLParam(MAKELPARAM(300, 40000)), 40000 - 65536);

    EXPECT_EQ(Common::UnsignedAdd(0x7FFFFFFF, 1), static_cast<int32_t>(0x80000000));
    EXPECT_EQ(Common::UnsignedAdd(-2, 1), -1);
    EXPECT_EQ(Common::UnsignedAdd(0x10, -0x10), 0);
    EXPECT_EQ(ErrorNumberOf([] { Common::UnsignedAdd(-1, 1); }), 6);
    EXPECT_EQ(ErrorNumberOf([] { Common::UnsignedAdd(0, -1); }), 6);

    EXPECT_EQ(Common::UnsignedToInteger(65535), -1);
    EXPECT_EQ(Common::UnsignedToInteger(32768), -32768);
    EXPECT_EQ(Common::UnsignedToInteger(32767), 32767);
    EXPECT_EQ(Common::UnsignedToInteger(0), 0);
    EXPECT_EQ(ErrorNumberOf([] { Common::UnsignedToInteger(65536); }), 6);
    EXPECT_EQ(ErrorNumberOf([] { Common::UnsignedToInteger(-1); }), 6);
    ExpectControlError(6, L"Overflow", [] { Common::UnsignedToInteger(65536); });

    EXPECT_EQ(Common::IntegerToUnsigned(-1), 65535);
    EXPECT_EQ(Common::IntegerToUnsigned(-32768), 32768);
    EXPECT_EQ(Common::IntegerToUnsigned(12), 12);
    EXPECT_EQ(Common::UnsignedToDouble(-1), 4294967295.0);
    EXPECT_EQ(Common::UnsignedToDouble(static_cast<int32_t>(0x80000000)), 2147483648.0);
    EXPECT_EQ(Common::UnsignedToDouble(7), 7.0);
}

namespace {

struct FakeHost : ControlHost::IHostServices {
    double twipsPerPixel = 15;
    double TwipsPerPixelX() const override { return twipsPerPixel; }
};

}  // namespace

TEST(Scaling, DotsPerInchHimetricAndTheCachedFactors) {
    // An inch is as many pixels as the screen has dots per inch.
    const int dpiX = Common::DPI_X(), dpiY = Common::DPI_Y();
    ASSERT_GT(dpiX, 0);
    ASSERT_GT(dpiY, 0);
    EXPECT_EQ(Common::HimetricToPixelX(2540), dpiX);
    EXPECT_EQ(Common::HimetricToPixelY(2540 * 2), dpiY * 2);
    EXPECT_EQ(Common::HimetricToPixelX(0), 0);
    if (dpiX == 96) {
        EXPECT_EQ(Common::HimetricToPixelX(529), 20);  // 19.99 rounds up
        EXPECT_EQ(Common::HimetricToPixelX(502), 19);  // 18.97
        EXPECT_EQ(Common::HimetricToPixelX(-529), -20);
    }

    FakeHost host;
    host.twipsPerPixel = 1440.0 / dpiX;
    ControlHost::SetHostServices(&host);
    Common::Testing::ForgetScalingCaches();
    EXPECT_EQ(Common::DPICorrectionFactor(), 1.0);
    host.twipsPerPixel = 1152.0 / dpiX;  // a host that measures the screen otherwise
    EXPECT_EQ(Common::DPICorrectionFactor(), 1.0) << "cached";
    Common::Testing::ForgetScalingCaches();
    EXPECT_DOUBLE_EQ(Common::DPICorrectionFactor(), 0.8);
    ControlHost::SetHostServices(nullptr);
    Common::Testing::ForgetScalingCaches();
    EXPECT_EQ(Common::DPICorrectionFactor(), 1.0);
    EXPECT_DOUBLE_EQ(Common::DPIScaleY(), dpiY / 96.0);
}

TEST(WindowHelpers, FrameChangedRecalculatesTheFrameAndRtlStylesReplaceOnlyTheirBits) {
    TestWindow w(WS_OVERLAPPEDWINDOW, WS_EX_TOOLWINDOW | WS_EX_RIGHT);
    RECT before{};
    GetWindowRect(w.hwnd, &before);
    g_messages.clear();
    Common::FrameChanged(w.hwnd);
    EXPECT_TRUE(Seen(WM_NCCALCSIZE));
    RECT after{};
    GetWindowRect(w.hwnd, &after);
    EXPECT_TRUE(EqualRect(&before, &after));

    g_messages.clear();
    Common::SetRightToLeftStyles(w.hwnd, WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_TOPMOST);
    const auto ex = static_cast<DWORD>(GetWindowLongPtrW(w.hwnd, GWL_EXSTYLE));
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(ex & WS_EX_RTLREADING);
    EXPECT_TRUE(ex & WS_EX_LEFTSCROLLBAR);
    EXPECT_FALSE(ex & WS_EX_RIGHT);
    EXPECT_FALSE(ex & WS_EX_TOPMOST);  // not one of the four
    EXPECT_TRUE(Seen(WM_NCCALCSIZE));
    EXPECT_TRUE(GetUpdateRect(w.hwnd, nullptr, FALSE) || !IsWindowVisible(w.hwnd));
    Common::SetRightToLeftStyles(w.hwnd, 0);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(w.hwnd, GWL_EXSTYLE)) &
                  (WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_RIGHT | WS_EX_LAYOUTRTL),
              0u);
}

TEST(WindowHelpers, RightToLeftResolution) {
    EXPECT_EQ(
        Common::LanguageReadsRightToLeft(MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA)),
        std::optional<bool>(true));
    EXPECT_EQ(Common::LanguageReadsRightToLeft(MAKELANGID(LANG_HEBREW, SUBLANG_DEFAULT)),
              std::optional<bool>(true));
    EXPECT_EQ(Common::LanguageReadsRightToLeft(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              std::optional<bool>(false));
    EXPECT_EQ(Common::LanguageReadsRightToLeft(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
              std::optional<bool>(false));

    auto resolve = [](bool value, bool container, int32_t mode) {
        Common::ResolveRightToLeft(value, container, mode);
        return value;
    };
    for (int32_t mode : {0, 1, 2, 3, 4, 5}) {
        EXPECT_FALSE(resolve(false, true, mode)) << mode;  // only a true value is settled
    }
    EXPECT_TRUE(resolve(true, false, 0));
    EXPECT_FALSE(resolve(true, false, 1));
    EXPECT_TRUE(resolve(true, true, 1));
    EXPECT_EQ(resolve(true, false, 2), *Common::LanguageReadsRightToLeft(GetSystemDefaultLangID()));
    EXPECT_EQ(resolve(true, false, 3), *Common::LanguageReadsRightToLeft(GetUserDefaultLangID()));
    EXPECT_EQ(resolve(true, false, 4),
              *Common::LanguageReadsRightToLeft(GetUserDefaultUILanguage()));
    EXPECT_TRUE(resolve(true, false, 5));
}

TEST(PropertyBagStrings, AnyTextRoundTripsAsUtf16LeBytes) {
    const std::wstring text = L"A\U0001D11E Привет";
    Variant v = Common::StrToVar(text);
    ASSERT_EQ(v.Type(), VT_ARRAY | VT_UI1);
    SAFEARRAY* array = v.Get().parray;
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(lower, 0);
    ASSERT_EQ(upper - lower + 1, static_cast<LONG>(text.size() * 2));
    unsigned char* bytes = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void**>(&bytes));
    const unsigned char head[] = {0x41, 0x00, 0x34, 0xD8, 0x1E, 0xDD};  // A, then the pair
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), bytes));
    SafeArrayUnaccessData(array);
    EXPECT_EQ(Common::VarToStr(v.Get()), text);

    Variant empty = Common::StrToVar(L"");
    EXPECT_EQ(empty.Type(), VT_EMPTY);
    EXPECT_EQ(Common::VarToStr(empty.Get()), L"");

    // A lone surrogate and embedded NULs are kept too.
    const std::wstring odd(L"x\xD800y\0z", 5);
    EXPECT_EQ(Common::VarToStr(Common::StrToVar(odd).Get()), odd);
}

TEST(PropertyBagStrings, OtherStoredValues) {
    Variant text;
    VARIANT* p = text.Put();
    p->vt = VT_BSTR;
    p->bstrVal = SysAllocString(L"plain");
    EXPECT_EQ(Common::VarToStr(text.Get()), L"plain");

    Variant number;
    number.Put()->vt = VT_I4;
    const_cast<VARIANT&>(number.Get()).lVal = 42;
    EXPECT_EQ(Common::VarToStr(number.Get()), L"42");

    Variant null;
    null.Put()->vt = VT_NULL;
    EXPECT_EQ(ErrorNumberOf([&] { Common::VarToStr(null.Get()); }), 13);

    // An odd byte cannot be half a character: it is dropped.
    Variant bytes;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 3);
    unsigned char* data = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
    data[0] = 'A';
    data[1] = 0;
    data[2] = 'B';
    SafeArrayUnaccessData(array);
    bytes.Put()->vt = VT_ARRAY | VT_UI1;
    const_cast<VARIANT&>(bytes.Get()).parray = array;
    EXPECT_EQ(Common::VarToStr(bytes.Get()), L"A");

    // By reference, as a property bag may hand it over.
    Variant stored = Common::StrToVar(L"ref");
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = const_cast<VARIANT*>(&stored.Get());
    EXPECT_EQ(Common::VarToStr(byRef), L"ref");
}

TEST(Files, LongPathForms) {
    EXPECT_EQ(Common::LongPathForm(L"\\\\server\\share\\folder\\a.txt"),
              L"\\\\?\\UNC\\server\\share\\folder\\a.txt");
    EXPECT_EQ(Common::LongPathForm(L"C:\\folder\\a.txt"), L"\\\\?\\C:\\folder\\a.txt");
    EXPECT_EQ(Common::LongPathForm(L"C:/folder/sub/../a.txt"), L"\\\\?\\C:\\folder\\a.txt");
    EXPECT_EQ(Common::LongPathForm(L"\\\\?\\C:\\already"), L"\\\\?\\C:\\already");
    EXPECT_EQ(Common::LongPathForm(L"\\\\?\\UNC\\s\\x"), L"\\\\?\\UNC\\s\\x");
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring folder = current;
    if (folder.back() != L'\\') folder += L'\\';
    EXPECT_EQ(Common::LongPathForm(L"rel.txt"), L"\\\\?\\" + folder + L"rel.txt");
}

TEST(Files, GetAttributesLongReadsFilesAndFoldersBeyondMaxPath) {
    const std::wstring root = FreshFolder(L"attributes");
    const std::wstring file = root + L"plain.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    if (GetFileAttributesW(file.c_str()) == FILE_ATTRIBUTE_NORMAL) {
        EXPECT_EQ(Common::GetAttributesLong(file), 0u);  // "normal" reads as no attributes
    }
    EXPECT_EQ(Common::GetAttributesLong(file),
              GetFileAttributesW(file.c_str()) & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(Common::GetAttributesLong(file) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A folder whose path is longer than MAX_PATH characters.
    std::wstring deep = L"\\\\?\\" + root;
    for (int i = 0; i < 6; ++i) {
        deep += std::wstring(50, static_cast<wchar_t>(L'a' + i)) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    const std::wstring plainDeep = deep.substr(4);
    ASSERT_GT(plainDeep.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_TRUE(Common::GetAttributesLong(plainDeep) & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_EQ(ErrorNumberOf([&] { Common::GetAttributesLong(root + L"missing.txt"); }), 53);
    EXPECT_EQ(ErrorNumberOf([&] { Common::GetAttributesLong(plainDeep + L"missing"); }), 53);
    EXPECT_EQ(ErrorNumberOf([] { Common::GetAttributesLong(L"\\\\nosuchserver\\share\\x"); }), 53);
    ExpectControlError(53, L"File not found",
                       [&] { Common::GetAttributesLong(root + L"missing.txt"); });
    DeleteTree(root);
}

TEST(ShellLibrary, LoadedWhileAnyControlHoldsAReference) {
    ASSERT_EQ(Common::ShellModRefCount(), 0);
    EXPECT_FALSE(Common::ShellModLoaded());
    Common::ShellModAddRef();
    EXPECT_TRUE(Common::ShellModLoaded());
    Common::ShellModAddRef();
    EXPECT_EQ(Common::ShellModRefCount(), 2);
    Common::ShellModRelease();
    EXPECT_TRUE(Common::ShellModLoaded());
    Common::ShellModRelease();
    EXPECT_EQ(Common::ShellModRefCount(), 0);
    EXPECT_FALSE(Common::ShellModLoaded());
    // An unbalanced release does not drive the count below zero.
    Common::ShellModRelease();
    EXPECT_EQ(Common::ShellModRefCount(), 0);
    Common::ShellModAddRef();
    EXPECT_TRUE(Common::ShellModLoaded());
    Common::ShellModRelease();
    EXPECT_FALSE(Common::ShellModLoaded());
}

namespace {

// A COM object that answers IUnknown and, when asked to, IPropertyPage.
class FakeUnknown : public IUnknown {
public:
    explicit FakeUnknown(bool propertyPage) : propertyPage_(propertyPage) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || (propertyPage_ && iid == IID_IPropertyPage)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;

private:
    bool propertyPage_;
};

struct FakeContainer : ControlHost::IContainer {
    ControlHost::IUserControl* userControl = nullptr;
    bool form = false;
    IUnknown* unknown = nullptr;
    bool refuse = false;
    int validations = 0;
    ControlHost::IUserControl* AsUserControl() override { return userControl; }
    bool IsForm() const override { return form; }
    IUnknown* Unknown() override { return unknown; }
    void ValidateControls() override {
        ++validations;
        if (refuse) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
};

struct FakeUserControl : ControlHost::IUserControl {
    ControlHost::IContainer* container = nullptr;
    ControlHost::IContainer* Container() const override { return container; }
};

}  // namespace

TEST(Containers, TopUserControlAndValidationOfTheTopForm) {
    // inner sits in middle, middle in outer, outer on a form.
    FakeUserControl inner, middle, outer;
    FakeContainer middleAsContainer, outerAsContainer, form;
    middleAsContainer.userControl = &middle;
    outerAsContainer.userControl = &outer;
    form.form = true;
    inner.container = &middleAsContainer;
    middle.container = &outerAsContainer;
    outer.container = &form;

    EXPECT_EQ(Common::TopUserControl(&inner), &outer);
    EXPECT_EQ(Common::TopUserControl(&outer), &outer);
    FakeUserControl loose;
    EXPECT_EQ(Common::TopUserControl(&loose), &loose);
    EXPECT_EQ(Common::TopUserControl(nullptr), nullptr);

    Common::ValidateTopParent(&inner);
    EXPECT_EQ(form.validations, 1);
    EXPECT_EQ(middleAsContainer.validations + outerAsContainer.validations, 0);
    form.refuse = true;
    EXPECT_EQ(ErrorNumberOf([&] { Common::ValidateTopParent(&inner); }), 380);
    Common::ValidateTopParent(&loose);  // not sited: nothing to validate

    // A property page is validated; any other container is left alone.
    FakeUnknown page(true), other(false);
    FakeContainer pageContainer, otherContainer;
    pageContainer.unknown = &page;
    otherContainer.unknown = &other;
    FakeUserControl onPage, onOther;
    onPage.container = &pageContainer;
    onOther.container = &otherContainer;
    Common::ValidateTopParent(&onPage);
    Common::ValidateTopParent(&onOther);
    EXPECT_EQ(pageContainer.validations, 1);
    EXPECT_EQ(otherContainer.validations, 0);
    EXPECT_EQ(page.refs, 1u);
    EXPECT_EQ(other.refs, 1u);
}

TEST(Containers, SupportsInterface) {
    FakeUnknown page(true);
    EXPECT_TRUE(Common::SupportsInterface(&page, L"{B196B28D-BAB4-101A-B69C-00AA00341D07}"));
    EXPECT_TRUE(Common::SupportsInterface(&page, L"{00000000-0000-0000-C000-000000000046}"));
    EXPECT_FALSE(Common::SupportsInterface(&page, L"{00020400-0000-0000-C000-000000000046}"));
    EXPECT_FALSE(Common::SupportsInterface(&page, L"not an identifier"));
    EXPECT_FALSE(Common::SupportsInterface(nullptr, L"{00000000-0000-0000-C000-000000000046}"));
    EXPECT_EQ(page.refs, 1u);
}

namespace {

// A dialog window class of our own (the system's dialog procedure), so that the message-box
// catcher, which watches the system's dialog class, leaves these dialogs alone.
const wchar_t* DialogClass() {
    return testsupport::WindowClass(L"HelpersTestDialog", DefDlgProcW, DLGWINDOWEXTRA,
                                    reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

// A modeless dialog of two edit boxes; Tab moves between them only through dialog handling.
struct ModelessDialog {
    HWND dialog, first, second;
    ModelessDialog() {
        dialog = CreateWindowExW(WS_EX_CONTROLPARENT, DialogClass(), L"Find",
                                 WS_POPUP | WS_CAPTION | WS_VISIBLE, 50, 50, 200, 120, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        first = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 5, 5, 150, 20,
                                dialog, reinterpret_cast<HMENU>(101), nullptr, nullptr);
        second = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 5, 40, 150,
                                 20, dialog, reinterpret_cast<HMENU>(102), nullptr, nullptr);
    }
    ~ModelessDialog() { DestroyWindow(dialog); }
};

// The program's own message loop, without IsDialogMessage: what reaches it.
std::vector<UINT> RunOwnLoop() {
    std::vector<UINT> seen;
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        seen.push_back(msg.message);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return seen;
}

bool Has(const std::vector<UINT>& seen, UINT msg) {
    return std::find(seen.begin(), seen.end(), msg) != seen.end();
}

}  // namespace

TEST(ModelessDialogs, KeysReachTheRegisteredDialogsBeforeTheProgramsLoop) {
    ModelessDialog a, b;
    ASSERT_TRUE(a.dialog && b.dialog);
    Common::AddModelessDialog(a.dialog);
    Common::AddModelessDialog(b.dialog);

    SetFocus(b.first);
    RunOwnLoop();
    PostMessageW(b.first, WM_KEYDOWN, VK_TAB, 0);
    std::vector<UINT> seen = RunOwnLoop();
    EXPECT_EQ(GetFocus(), b.second) << "the second dialog took Tab";
    EXPECT_FALSE(Has(seen, WM_KEYDOWN));
    EXPECT_TRUE(Has(seen, WM_NULL));

    // Removing one dialog keeps the other's handling.
    Common::RemoveModelessDialog(a.dialog);
    Common::RemoveModelessDialog(a.dialog);  // not registered any more: no effect
    PostMessageW(b.second, WM_KEYDOWN, VK_TAB, 0);
    RunOwnLoop();
    EXPECT_EQ(GetFocus(), b.first);

    // Mouse and other messages pass untouched.
    PostMessageW(b.first, WM_USER + 3, 0, 0);
    EXPECT_TRUE(Has(RunOwnLoop(), WM_USER + 3));

    // With the last one gone, the program's loop sees the keys again.
    Common::RemoveModelessDialog(b.dialog);
    PostMessageW(b.first, WM_KEYDOWN, VK_TAB, 0);
    seen = RunOwnLoop();
    EXPECT_TRUE(Has(seen, WM_KEYDOWN));
    EXPECT_EQ(GetFocus(), b.first);
}

#include "controls/base/Common.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "controls/base/ControlError.h"

namespace Common {

namespace {

HWND g_ownActiveWindow = nullptr;

bool IsOwnWindow(HWND hwnd) {
    DWORD pid = 0;
    return hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, &pid) &&
           pid == GetCurrentProcessId();
}

// The program's folder as the system reports it for the running process, used when the
// module file name cannot be had; the current folder as the last resort.
std::wstring ProcessImageFolder() {
    std::wstring folder(32768, L'\0');
    DWORD length = static_cast<DWORD>(folder.size());
    if (QueryFullProcessImageNameW(GetCurrentProcess(), 0, folder.data(), &length)) {
        folder.resize(length);
        const size_t slash = folder.find_last_of(L'\\');
        folder.resize(slash == std::wstring::npos ? 0 : slash);
    } else {
        folder.clear();
    }
    if (folder.empty()) {
        length = GetCurrentDirectoryW(0, nullptr);
        if (length) {
            folder.resize(length);
            folder.resize(GetCurrentDirectoryW(length, folder.data()));
        }
    }
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

}  // namespace

int32_t ShowMessageBox(const std::wstring& text, uint32_t style, const std::wstring& title) {
    MSGBOXPARAMSW params{};
    params.cbSize = sizeof(params);
    if (style & MB_SYSTEMMODAL) {
        params.hwndOwner = GetForegroundWindow();
    } else if (HWND own = GetOwnActiveWindow()) {
        params.hwndOwner = own;
    } else {
        params.hwndOwner = GetActiveWindow();
    }
    params.hInstance = GetModuleHandleW(nullptr);
    params.lpszText = text.c_str();
    params.lpszCaption = title.empty() ? kAppTitle : title.c_str();
    params.dwStyle = style;
    return MessageBoxIndirectW(&params);
}

std::wstring GetAppFolder() {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), MAX_PATH);
    if (length == MAX_PATH) {
        // The name was cut: long paths go up to the system's limit of 32,767 characters.
        buffer.assign(32767, L'\0');
        length = GetModuleFileNameW(nullptr, buffer.data(), 32767);
    }
    if (length == 0) return ProcessImageFolder();
    std::wstring path(buffer.data(), length);
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return ProcessImageFolder();
    path.resize(slash + 1);
    return path;
}

void SetOwnActiveWindow(HWND hwnd) {
    g_ownActiveWindow = hwnd;
}

void ClearOwnActiveWindow(HWND hwnd) {
    if (g_ownActiveWindow == hwnd) g_ownActiveWindow = nullptr;
}

HWND GetOwnActiveWindow() {
    if (!IsOwnWindow(g_ownActiveWindow)) g_ownActiveWindow = nullptr;
    return g_ownActiveWindow;
}

// ---- Fonts ------------------------------------------------------------------------------

namespace {

std::wstring FontName(IFont* font) {
    UniqueBstr name;
    if (FAILED(font->get_Name(name.Put())) || !name) return {};
    return std::wstring(name.Get(), SysStringLen(name.Get()));
}

// A size in ten-thousandths of a point rounded to whole points, halves to the even neighbour.
LONGLONG RoundToWholePoints(LONGLONG tenThousandths) {
    LONGLONG whole = tenThousandths / 10000;
    const LONGLONG rest = tenThousandths % 10000;
    if (rest > 5000 || (rest == 5000 && (whole & 1))) ++whole;
    if (rest < -5000 || (rest == -5000 && (whole & 1))) --whole;
    return whole;
}

struct FontFacts {
    std::wstring name;
    CY size{};
    BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
    SHORT weight = 0, charset = 0;
};

FontFacts ReadFont(IFont* font) {
    FontFacts f;
    f.name = FontName(font);
    font->get_Size(&f.size);
    font->get_Bold(&f.bold);
    font->get_Italic(&f.italic);
    font->get_Underline(&f.underline);
    font->get_Strikethrough(&f.strikethrough);
    font->get_Weight(&f.weight);
    font->get_Charset(&f.charset);
    return f;
}

}  // namespace

LOGFONTW LogFontOf(const FontDescription& font) {
    LOGFONTW lf{};
    // The face field holds 31 characters and its terminator; no face name is longer.
    const size_t length = std::min<size_t>(font.name.size(), LF_FACESIZE - 1);
    std::copy_n(font.name.data(), length, lf.lfFaceName);
    const LONGLONG points = std::clamp<LONGLONG>(RoundToWholePoints(font.size.int64), 0, SHRT_MAX);
    lf.lfHeight = -MulDiv(static_cast<int>(points), DPI_Y(), 72);
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font.italic ? 1 : 0;
    lf.lfUnderline = font.underline ? 1 : 0;
    lf.lfStrikeOut = font.strikethrough ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(font.charset & 0xFF);
    lf.lfQuality = DEFAULT_QUALITY;
    return lf;
}

UniqueFont CreateGDIFont(IFont* font) {
    if (!font) return {};
    const FontFacts f = ReadFont(font);
    const LOGFONTW lf = LogFontOf({f.name, f.size, f.bold != FALSE, f.italic != FALSE,
                                   f.underline != FALSE, f.strikethrough != FALSE, f.charset});
    return UniqueFont(CreateFontIndirectW(&lf));
}

bool FontsEqual(IFont* a, IFont* b) {
    if (!a || !b) return !a && !b;
    const FontFacts x = ReadFont(a), y = ReadFont(b);
    return x.name == y.name && x.size.int64 == y.size.int64 && !x.italic == !y.italic &&
           !x.underline == !y.underline && !x.strikethrough == !y.strikethrough &&
           x.weight == y.weight && x.charset == y.charset;
}

// ---- Colours and pictures -----------------------------------------------------------------

COLORREF WinColor(OLE_COLOR color, HPALETTE palette) {
    COLORREF result = 0;
    if (FAILED(OleTranslateColor(color, palette, &result))) return CLR_INVALID;
    return result;
}

COLORREF DrawColor(OLE_COLOR color) {
    const COLORREF result = WinColor(color);
    return result == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : result;
}

namespace {

ComPtr<IPicture> CreatePicture(PICTDESC& desc, bool ownsHandle) {
    desc.cbSizeofstruct = sizeof(desc);
    ComPtr<IPicture> picture;
    OleCreatePictureIndirect(&desc, IID_IPicture, ownsHandle, picture.PutVoid());
    return picture;
}

}  // namespace

ComPtr<IPicture> PictureFromHandle(HANDLE handle, SHORT type, bool ownsHandle) {
    if (!handle) return {};
    PICTDESC desc{};
    desc.picType = static_cast<UINT>(type);
    switch (type) {
        case PICTYPE_ICON:
            desc.icon.hicon = static_cast<HICON>(handle);
            break;
        case PICTYPE_METAFILE:
            desc.wmf.hmeta = static_cast<HMETAFILE>(handle);
            break;
        case PICTYPE_ENHMETAFILE:
            desc.emf.hemf = static_cast<HENHMETAFILE>(handle);
            break;
        default:
            desc.bmp.hbitmap = static_cast<HBITMAP>(handle);
            break;
    }
    return CreatePicture(desc, ownsHandle);
}

ComPtr<IPicture> CopyPicture(IPicture* picture) {
    if (!picture) return {};
    OLE_HANDLE oleHandle = 0;
    SHORT type = PICTYPE_NONE;
    if (FAILED(picture->get_Handle(&oleHandle)) || FAILED(picture->get_Type(&type)) || !oleHandle) {
        return {};
    }
    // OLE handles are 32-bit values; system handles widen by sign extension.
    const HANDLE handle = LongToHandle(static_cast<LONG>(oleHandle));
    PICTDESC desc{};
    desc.picType = static_cast<UINT>(type);
    switch (type) {
        case PICTYPE_BITMAP:
            desc.bmp.hbitmap =
                static_cast<HBITMAP>(CopyImage(handle, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
            if (!desc.bmp.hbitmap) return {};
            break;
        case PICTYPE_ICON:
            // CopyIcon keeps every frame and the hot spot: cursors stay cursors.
            desc.icon.hicon = CopyIcon(static_cast<HICON>(handle));
            if (!desc.icon.hicon) return {};
            break;
        case PICTYPE_METAFILE: {
            OLE_XSIZE_HIMETRIC width = 0;
            OLE_YSIZE_HIMETRIC height = 0;
            picture->get_Width(&width);
            picture->get_Height(&height);
            desc.wmf.hmeta = CopyMetaFileW(static_cast<HMETAFILE>(handle), nullptr);
            desc.wmf.xExt = static_cast<int>(width);
            desc.wmf.yExt = static_cast<int>(height);
            if (!desc.wmf.hmeta) return {};
            break;
        }
        case PICTYPE_ENHMETAFILE:
            desc.emf.hemf = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(handle), nullptr);
            if (!desc.emf.hemf) return {};
            break;
        default:
            return {};
    }
    ComPtr<IPicture> copy = CreatePicture(desc, true);
    if (!copy) {
        // Nobody took the new handle.
        switch (type) {
            case PICTYPE_BITMAP:
                DeleteObject(desc.bmp.hbitmap);
                break;
            case PICTYPE_ICON:
                DestroyIcon(desc.icon.hicon);
                break;
            case PICTYPE_METAFILE:
                DeleteMetaFile(desc.wmf.hmeta);
                break;
            default:
                DeleteEnhMetaFile(desc.emf.hemf);
                break;
        }
    }
    return copy;
}

UniqueBitmap BitmapFromPicture(IPicture* picture, OLE_COLOR backColor) {
    if (!picture) return {};
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)) || !handle) return {};
    SHORT type = 0;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Type(&type);
    picture->get_Width(&width);
    picture->get_Height(&height);
    const int cx = HimetricToPixelX(width), cy = HimetricToPixelY(height);

    WindowDC screen;
    if (!screen) return {};
    UniqueMemoryDC memory(CreateCompatibleDC(screen.Get()));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.Get(), cx, cy));
    if (!memory || !bitmap) return {};
    UniqueBrush brush(CreateSolidBrush(WinColor(backColor)));
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        // OLE handles are 32-bit values; system handles widen by sign extension.
        const HANDLE h = LongToHandle(static_cast<LONG>(handle));
        if (type == PICTYPE_ICON) {
            DrawIconEx(memory.Get(), 0, 0, static_cast<HICON>(h), cx, cy, 0, brush.Get(),
                       DI_NORMAL);
        } else {
            RECT rect{0, 0, cx, cy};
            FillRect(memory.Get(), &rect, brush.Get());
            // Pictures take their source rectangle upside down, in HIMETRIC.
            picture->Render(memory.Get(), 0, 0, cx, cy, 0, height, width, -height, nullptr);
        }
    }
    return bitmap;
}

// ---- Late-bound objects -------------------------------------------------------------------

std::wstring TypeNameOf(IUnknown* object) {
    if (!object) return {};
    ComPtr<ITypeInfo> info;
    if (auto provider = ComPtr<IUnknown>(object).As<IProvideClassInfo>(IID_IProvideClassInfo)) {
        provider->GetClassInfo(info.Put());
    }
    if (!info) {
        if (auto dispatch = ComPtr<IUnknown>(object).As<IDispatch>(IID_IDispatch)) {
            UINT count = 0;
            if (SUCCEEDED(dispatch->GetTypeInfoCount(&count)) && count > 0) {
                dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put());
            }
        }
    }
    BSTR name = nullptr;
    if (!info || FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)) ||
        !name) {
        return {};
    }
    std::wstring result(name, SysStringLen(name));
    SysFreeString(name);
    return result;
}

// ---- Mouse pointers -----------------------------------------------------------------------

namespace {

struct PointerRow {
    int32_t value;
    const wchar_t* display;
    int32_t cursor;
};

constexpr PointerRow kPointers[] = {
    {0, L"0 - Default", 0},
    {1, L"1 - Arrow", 32512},
    {2, L"2 - Cross", 32515},
    {3, L"3 - I-Beam", 32513},
    {4, L"4 - Hand", 32649},
    {5, L"5 - Size", 32646},
    {6, L"6 - Size NE SW", 32643},
    {7, L"7 - Size N S", 32645},
    {8, L"8 - Size NW SE", 32642},
    {9, L"9 - Size W E", 32644},
    {10, L"10 - Up Arrow", 32516},
    {11, L"11 - Hourglass", 32514},
    {12, L"12 - No Drop", 32648},
    {13, L"13 - Arrow and Hourglass", 32650},
    {14, L"14 - Arrow and Question", 32651},
    {15, L"15 - Size All", 32646},
    {16, L"16 - Arrow and CD", 32663},
    {99, L"99 - Custom", 0},
};

const PointerRow* FindPointer(int32_t value) {
    for (const PointerRow& row : kPointers) {
        if (row.value == value) return &row;
    }
    return nullptr;
}

}  // namespace

int32_t MousePointerID(int32_t value) {
    const PointerRow* row = FindPointer(value);
    return row ? row->cursor : 0;
}

bool ValidMousePointer(int32_t value) {
    return (value >= 0 && value <= 16) || value == 99;
}

bool ValidMouseIcon(IPictureDisp* icon) {
    if (!icon) return true;
    ComPtr<IPicture> picture;
    icon->QueryInterface(IID_IPicture, picture.PutVoid());
    if (!picture) return false;
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    picture->get_Type(&type);
    picture->get_Handle(&handle);
    return type == PICTYPE_ICON || handle == 0;
}

std::wstring PointerDisplayString(int32_t value) {
    const PointerRow* row = FindPointer(value);
    return row ? row->display : L"";
}

void PointerPredefinedStrings(std::vector<std::wstring>& strings, std::vector<int32_t>& cookies) {
    strings.clear();
    cookies.clear();
    for (const PointerRow& row : kPointers) {
        strings.emplace_back(row.display);
        cookies.push_back(row.value);
    }
}

HRESULT PutPredefinedStrings(const std::vector<std::wstring>& strings,
                             const std::vector<int32_t>& cookies, SAFEARRAY*& stringsOut,
                             SAFEARRAY*& cookiesOut) {
    SAFEARRAY* newStrings = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(strings.size()));
    SAFEARRAY* newCookies = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(cookies.size()));
    if (!newStrings || !newCookies) {
        if (newStrings) SafeArrayDestroy(newStrings);
        if (newCookies) SafeArrayDestroy(newCookies);
        return E_OUTOFMEMORY;
    }
    for (LONG i = 0; i < static_cast<LONG>(strings.size()); ++i) {
        BSTR text = SysAllocString(strings[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(newStrings, &i, text);  // copies the string
        SysFreeString(text);
    }
    for (LONG i = 0; i < static_cast<LONG>(cookies.size()); ++i) {
        LONG cookie = cookies[static_cast<size_t>(i)];
        SafeArrayPutElement(newCookies, &i, &cookie);
    }
    if (stringsOut) SafeArrayDestroy(stringsOut);
    if (cookiesOut) SafeArrayDestroy(cookiesOut);
    stringsOut = newStrings;
    cookiesOut = newCookies;
    return S_OK;
}

// ---- Image list names ---------------------------------------------------------------------

void ImageListPredefinedStrings(std::vector<std::wstring>& strings, std::vector<int32_t>& cookies,
                                std::span<const ControlHost::IControl* const> controls,
                                std::vector<std::wstring>& names) {
    strings.assign(1, L"(None)");
    cookies.assign(1, 0);
    for (const ControlHost::IControl* control : controls) {
        if (!control || control->TypeName() != L"ImageList") continue;
        cookies.push_back(static_cast<int32_t>(strings.size()));
        strings.push_back(ControlName(*control));
    }
    names = strings;
}

std::wstring ControlName(const ControlHost::IControl& control) {
    std::wstring name = control.Name();
    if (const std::optional<int32_t> index = control.Index()) {
        name += L"(" + std::to_wstring(*index) + L")";
    }
    return name;
}

// ---- Access keys --------------------------------------------------------------------------

namespace {

// The ANSI code (system code page) of the upper-case form of `ch`; a double-byte character
// gives its lead byte in the high half.
uint16_t UpperAnsiCode(wchar_t ch) {
    CharUpperBuffW(&ch, 1);
    char bytes[2] = {};
    const int n = WideCharToMultiByte(CP_ACP, 0, &ch, 1, bytes, 2, nullptr, nullptr);
    if (n == 2) {
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                     static_cast<unsigned char>(bytes[1]));
    }
    return n == 1 ? static_cast<unsigned char>(bytes[0]) : 0;
}

}  // namespace

wchar_t AccessKey(std::wstring_view caption) {
    wchar_t key = 0;
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        ++i;  // the marked character, or the second "&" of a literal pair
        if (caption[i] != L'&') key = caption[i];
    }
    if (key) CharUpperBuffW(&key, 1);
    return key;
}

uint16_t AccelCharCode(const std::wstring& caption) {
    const wchar_t key = AccessKey(caption);
    return key ? UpperAnsiCode(key) : 0;
}

// ---- Keyboard and mouse state -------------------------------------------------------------

int16_t ShiftBits(bool shift, bool control, bool alt) {
    return static_cast<int16_t>((shift ? 1 : 0) | (control ? 2 : 0) | (alt ? 4 : 0));
}

int16_t GetShiftState() {
    return ShiftBits(GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                     GetKeyState(VK_MENU) < 0);
}

int16_t ShiftFromMouseFlags(WPARAM wParam) {
    // A mouse message's flags carry no Alt.
    return ShiftBits(wParam & MK_SHIFT, wParam & MK_CONTROL, GetKeyState(VK_MENU) < 0);
}

int16_t ButtonFromMouseFlags(WPARAM wParam) {
    int16_t button = 0;
    if (wParam & MK_LBUTTON) button |= 1;
    if (wParam & MK_RBUTTON) button |= 2;
    if (wParam & MK_MBUTTON) button |= 4;
    return button;
}

int32_t PeekCharCode(HWND hWnd) {
    MSG msg{};
    if (!PeekMessageW(&msg, hWnd, WM_CHAR, WM_CHAR, PM_NOREMOVE)) return 0;
    return static_cast<int32_t>(msg.wParam);
}

bool RequestMouseLeave(HWND hWnd) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hWnd;
    track.dwHoverTime = 0;
    return TrackMouseEvent(&track) != FALSE;
}

// ---- Word and number packing --------------------------------------------------------------

int32_t MakeDWord(int16_t lo, int16_t hi) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16 |
                                static_cast<uint16_t>(lo));
}

int16_t LoWord(int32_t value) {
    return static_cast<int16_t>(value & 0xFFFF);
}

int16_t HiWord(int32_t value) {
    return static_cast<int16_t>((static_cast<uint32_t>(value) >> 16) & 0xFFFF);
}

int32_t GetXFromLParam(LPARAM value) {
    return static_cast<int16_t>(value & 0xFFFF);
}

int32_t GetYFromLParam(LPARAM value) {
    return static_cast<int16_t>((value >> 16) & 0xFFFF);
}

int32_t UnsignedAdd(int32_t start, int32_t increment) {
    const long long sum = static_cast<long long>(static_cast<uint32_t>(start)) + increment;
    if (sum < 0 || sum > 0xFFFFFFFFLL) ControlErrors::Raise(ControlErrors::kOverflow);
    return static_cast<int32_t>(static_cast<uint32_t>(sum));
}

int16_t UnsignedToInteger(int32_t value) {
    if (value < 0 || value > 65535) ControlErrors::Raise(ControlErrors::kOverflow);
    return static_cast<int16_t>(value > 32767 ? value - 65536 : value);
}

int32_t IntegerToUnsigned(int16_t value) {
    return value < 0 ? value + 65536 : value;
}

double UnsignedToDouble(int32_t value) {
    return value < 0 ? static_cast<double>(value) + 4294967296.0 : static_cast<double>(value);
}

// ---- Screen scaling -----------------------------------------------------------------------

namespace {

bool g_correctionCached = false;
double g_correction = 1.0;
bool g_scaleYCached = false;
double g_scaleY = 1.0;

int32_t ScreenCaps(int index) {
    WindowDC screen;
    return screen ? GetDeviceCaps(screen.Get(), index) : 0;
}

int32_t HimetricToPixel(int32_t himetric, int32_t dpi) {
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(dpi) * himetric / 2540.0));
}

}  // namespace

int32_t DPI_X() {
    return ScreenCaps(LOGPIXELSX);
}

int32_t DPI_Y() {
    return ScreenCaps(LOGPIXELSY);
}

int32_t HimetricToPixelX(int32_t himetric) {
    return HimetricToPixel(himetric, DPI_X());
}

int32_t HimetricToPixelY(int32_t himetric) {
    return HimetricToPixel(himetric, DPI_Y());
}

double DPICorrectionFactor() {
    if (!g_correctionCached) {
        g_correction = 1.0;
        const int32_t dpi = DPI_X();
        const ControlHost::IHostServices* host = ControlHost::HostServices();
        if (dpi > 0 && host) {
            const double factor = host->TwipsPerPixelX() / (15.0 * 96.0 / dpi);
            // A host that rounds its twips per pixel agrees with the system all the same.
            if (factor > 0 && std::fabs(factor - 1.0) > 1e-6) g_correction = factor;
        }
        g_correctionCached = true;
    }
    return g_correction;
}

double DPIScaleY() {
    if (!g_scaleYCached) {
        g_scaleY = DPI_Y() / 96.0;
        g_scaleYCached = true;
    }
    return g_scaleY;
}

namespace Testing {

void ForgetScalingCaches() {
    g_correctionCached = false;
    g_scaleYCached = false;
}

}  // namespace Testing

// ---- Windows ------------------------------------------------------------------------------

void FrameChanged(HWND hWnd) {
    SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
}

std::optional<bool> LanguageReadsRightToLeft(LANGID language) {
    LOCALESIGNATURE signature{};
    static_assert(sizeof(signature) == 16 * sizeof(wchar_t));
    if (GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_FONTSIGNATURE,
                       reinterpret_cast<LPWSTR>(&signature),
                       sizeof(signature) / sizeof(wchar_t)) == 0) {
        return std::nullopt;
    }
    // Unicode subset bit 123: the locale's layout runs from right to left.
    return (signature.lsUsb[3] & (1u << (123 - 96))) != 0;
}

void ResolveRightToLeft(bool& rightToLeft, bool containerRightToLeft, int32_t mode) {
    if (!rightToLeft) return;
    LANGID language = 0;
    switch (mode) {
        case 1:
            rightToLeft = containerRightToLeft;
            return;
        case 2:
            language = GetSystemDefaultLangID();
            break;
        case 3:
            language = GetUserDefaultLangID();
            break;
        case 4:
            language = GetUserDefaultUILanguage();
            break;
        default:
            return;
    }
    if (const std::optional<bool> rtl = LanguageReadsRightToLeft(language)) rightToLeft = *rtl;
}

void SetRightToLeftStyles(HWND hWnd, DWORD styles) {
    constexpr DWORD kMask = WS_EX_LAYOUTRTL | WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_EXSTYLE));
    SetWindowLongPtrW(hWnd, GWL_EXSTYLE,
                      static_cast<LONG_PTR>((exStyle & ~kMask) | (styles & kMask)));
    FrameChanged(hWnd);
    InvalidateRect(hWnd, nullptr, TRUE);
}

// ---- Property-bag strings -----------------------------------------------------------------

Variant StrToVar(const std::wstring& text) {
    if (text.empty()) return {};
    // UTF-16LE: the code units as they lie in memory on every Windows machine.
    return Variant::Bytes(text.data(), text.size() * sizeof(wchar_t));
}

std::wstring VarToStr(const VARIANT& value) {
    Variant direct;
    if (FAILED(VariantCopyInd(direct.Put(), const_cast<VARIANT*>(&value)))) {
        ControlErrors::Raise(ControlErrors::kTypeMismatch);
    }
    const VARIANT& v = direct.Get();
    if (v.vt == VT_EMPTY) return {};
    if (v.vt == (VT_ARRAY | VT_UI1)) {
        SAFEARRAY* array = v.parray;
        const size_t bytes = ArrayLength(array);
        if (bytes < sizeof(wchar_t)) return {};
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            ControlErrors::Raise(ControlErrors::kTypeMismatch);
        }
        // A stray odd byte cannot be part of a code unit.
        std::wstring text(bytes / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
        SafeArrayUnaccessData(array);
        return text;
    }
    Variant text;
    if (FAILED(VariantChangeType(text.Put(), const_cast<VARIANT*>(&v), 0, VT_BSTR))) {
        ControlErrors::Raise(ControlErrors::kTypeMismatch);
    }
    const BSTR b = text.Get().bstrVal;
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

// ---- Files --------------------------------------------------------------------------------

std::wstring LongPathForm(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    // The long form is taken literally by the system: relative parts, "." and "..", and
    // forward slashes must be resolved first.
    std::wstring full = path;
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed) {
        full.assign(needed, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
        full.resize(length < needed ? length : 0);
        if (full.empty()) full = path;
    }
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

DWORD GetAttributesLong(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) ControlErrors::Raise(ControlErrors::kFileNotFound);
    return attributes == FILE_ATTRIBUTE_NORMAL ? 0 : attributes;
}

// ---- Shell library ------------------------------------------------------------------------

namespace {
int32_t g_shellRefs = 0;
UniqueModule g_shellModule;
}  // namespace

void ShellModAddRef() {
    if (g_shellRefs == 0 && !g_shellModule) g_shellModule.Reset(LoadLibraryW(L"Shell32.dll"));
    ++g_shellRefs;
}

void ShellModRelease() {
    if (g_shellRefs == 0) return;  // unbalanced: nothing of ours is held
    if (--g_shellRefs == 0) g_shellModule.Reset();
}

int32_t ShellModRefCount() {
    return g_shellRefs;
}

bool ShellModLoaded() {
    return static_cast<bool>(g_shellModule);
}

// ---- Containers ---------------------------------------------------------------------------

ControlHost::IUserControl* TopUserControl(ControlHost::IUserControl* userControl) {
    ControlHost::IUserControl* top = userControl;
    // Bounded, so that a container chain that loops back cannot hang the caller.
    for (int depth = 0; top && depth < 1000; ++depth) {
        ControlHost::IContainer* container = top->Container();
        ControlHost::IUserControl* outer = container ? container->AsUserControl() : nullptr;
        if (!outer || outer == userControl) break;
        top = outer;
    }
    return top;
}

void ValidateTopParent(ControlHost::IUserControl* userControl) {
    ControlHost::IUserControl* top = TopUserControl(userControl);
    ControlHost::IContainer* container = top ? top->Container() : nullptr;
    if (!container) return;
    if (container->IsForm()) {
        container->ValidateControls();
    } else if (SupportsInterface(container->Unknown(), L"{B196B28D-BAB4-101A-B69C-00AA00341D07}")) {
        container->ValidateControls();
    }
}

bool SupportsInterface(IUnknown* object, const std::wstring& iid) {
    if (!object) return false;
    IID id{};
    if (FAILED(CLSIDFromString(iid.c_str(), &id))) return false;
    ComPtr<IUnknown> answer;
    return SUCCEEDED(object->QueryInterface(id, answer.PutVoid())) && answer;
}

// ---- Modeless dialogs ---------------------------------------------------------------------

namespace {

UniqueHook g_dialogHook;
std::vector<HWND> g_dialogs;

constexpr UINT kKeyFirst = 0x0100;
constexpr UINT kKeyLast = 0x0108;

LRESULT CALLBACK ModelessDialogHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == PM_REMOVE) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->message >= kKeyFirst && msg->message <= kKeyLast) {
            // A copy: a dialog may close (and leave the list) while handling the key.
            const std::vector<HWND> dialogs = g_dialogs;
            for (HWND dialog : dialogs) {
                if (IsDialogMessageW(dialog, msg)) {
                    // Handled: the program's own loop gets a message that does nothing.
                    msg->message = WM_NULL;
                    msg->wParam = 0;
                    msg->lParam = 0;
                    break;
                }
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void AddModelessDialog(HWND hDlg) {
    if (g_dialogs.empty()) {
        g_dialogHook.Reset(
            SetWindowsHookExW(WH_GETMESSAGE, ModelessDialogHook, nullptr, GetCurrentThreadId()));
    }
    g_dialogs.push_back(hDlg);
}

void RemoveModelessDialog(HWND hDlg) {
    const auto found = std::find(g_dialogs.begin(), g_dialogs.end(), hDlg);
    // A window that was never registered must not cost a registered one its keyboard.
    if (found == g_dialogs.end()) return;
    g_dialogs.erase(found);
    if (g_dialogs.empty()) g_dialogHook.Reset();
}

}  // namespace Common

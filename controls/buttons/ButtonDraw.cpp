#include "controls/buttons/ButtonDraw.h"

#include <vssym32.h>

#include <cmath>

#include "controls/base/Common.h"
#include "controls/base/VisualStyles.h"
#include "controls/buttons/ImageList.h"

namespace ButtonDraw {

namespace {

constexpr LONG_PTR kImageStyles = BS_ICON | BS_BITMAP;

LONG_PTR StyleOf(HWND button) {
    return GetWindowLongPtrW(button, GWL_STYLE);
}

void RemoveImages(HWND button) {
    SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, 0);
    SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, 0);
}

IUnknown* Identity(IUnknown* object) {
    IUnknown* identity = nullptr;
    if (object &&
        SUCCEEDED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)))) {
        identity->Release();  // only compared, never used
    }
    return identity;
}

// The handle of an image list control: the whole handle from one of ours, else its hImageList
// read late-bound (32 bits).
std::optional<HIMAGELIST> HandleOf(Host::ControlSite& owner, IUnknown* object) {
    if (auto* own = dynamic_cast<ImageList*>(&owner.Control())) return own->hImageList();
    return ReadImageListHandle(object);
}

// The container's control that `object` is (its own object or its extender).
Host::ControlSite* SiteOfObject(const Host::ControlSite& site, IUnknown* object) {
    IUnknown* wanted = Identity(object);
    if (!wanted) return nullptr;
    for (Host::ControlSite* sibling : site.Siblings()) {
        if (Identity(sibling->Object()) == wanted) return sibling;
        if (Identity(sibling->ExtenderObject().Get()) == wanted) return sibling;
    }
    return nullptr;
}

Host::ControlSite* ImageListNamed(const Host::ControlSite& site, const std::wstring& name) {
    if (name.empty()) return nullptr;
    for (Host::ControlSite* sibling : site.Siblings()) {
        if (sibling->TypeName() != L"ImageList") continue;
        if (Common::ControlName(sibling->AsControl()) == name) return sibling;
    }
    return nullptr;
}

Testing::DrawThemeTextExFn g_drawThemeTextEx = nullptr;

// Resolved at run time: older theme libraries lack it, and then it is never called.
Testing::DrawThemeTextExFn DrawThemeTextExFunction() {
    if (g_drawThemeTextEx) return g_drawThemeTextEx;
    HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    if (!uxtheme) return nullptr;
    return reinterpret_cast<Testing::DrawThemeTextExFn>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, "DrawThemeTextEx")));
}

COLORREF TextColor(const DRAWITEMSTRUCT& item, const Look& look) {
    return Common::WinColor((item.itemState & ODS_DISABLED) ? 0x80000011 : look.foreColor);
}

UINT TextFlags(const DRAWITEMSTRUCT& item) {
    return DT_CENTER | DT_WORDBREAK | ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
}

// Measures the caption inside `content` and places it: centred without a picture, at the
// bottom with one (the picture takes what is left above it).
RECT PlaceCaption(HDC dc, const RECT& content, const DRAWITEMSTRUCT& item, const Look& look,
                  bool withPicture) {
    RECT text = content;
    DrawTextW(dc, look.caption.c_str(), -1, &text,
              DT_CALCRECT | DT_WORDBREAK | ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0));
    const LONG measuredBottom = text.bottom;
    const double s = Common::DPIScaleY();
    text.left = content.left;
    text.right = content.right;
    if (!withPicture) {
        text.top = std::lround((content.bottom - measuredBottom) / 2.0 + 3 * s);
        text.bottom = text.top + measuredBottom;
    } else {
        text.top = std::lround(content.bottom - measuredBottom + s);
        text.bottom = content.bottom;
    }
    return text;
}

int ThemeState(const DRAWITEMSTRUCT& item, const Look& look) {
    const bool pushed = item.itemState & ODS_SELECTED;
    if (item.itemState & ODS_DISABLED) return PBS_DISABLED;
    if (look.checkBox) {
        if (look.hot && look.value != 1 && !pushed) return PBS_HOT;
        if (look.value == 1 || pushed) return PBS_PRESSED;
        if (item.itemState & ODS_FOCUS) return PBS_DEFAULTED;
        return PBS_NORMAL;
    }
    if (look.hot && !pushed) return PBS_HOT;
    if (pushed) return PBS_PRESSED;
    if ((item.itemState & ODS_FOCUS) || look.displayAsDefault) return PBS_DEFAULTED;
    return PBS_NORMAL;
}

// Frame and caption with the theme; `rect` ends as the area left for the picture.
void DrawThemed(HTHEME theme, const DRAWITEMSTRUCT& item, const Look& look, HBRUSH fill,
                bool withPicture, RECT& rect) {
    HDC dc = item.hDC;
    const int state = ThemeState(item, look);
    rect = item.rcItem;
    {
        // Outside the themed shape the control's own background shows.
        const int saved = SaveDC(dc);
        UniqueRegion shape;
        if (SUCCEEDED(
                GetThemeBackgroundRegion(theme, dc, BP_PUSHBUTTON, state, &rect, shape.Put())) &&
            shape) {
            ExtSelectClipRgn(dc, shape.Get(), RGN_DIFF);
        }
        FillRect(dc, &rect, fill);
        if (IsThemeBackgroundPartiallyTransparent(theme, BP_PUSHBUTTON, state)) {
            DrawThemeParentBackground(item.hwndItem, dc, &rect);
        }
        RestoreDC(dc, saved);
    }
    DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &item.rcItem, nullptr);
    GetThemeBackgroundContentRect(theme, dc, BP_PUSHBUTTON, state, &item.rcItem, &rect);
    const COLORREF color = TextColor(item, look);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        DrawFocusRect(dc, &rect);
    }
    if (look.caption.empty()) return;
    RECT text = PlaceCaption(dc, rect, item, look, withPicture);
    const auto drawEx =
        VisualStyles::ComCtlsSupportLevel() >= 2 ? DrawThemeTextExFunction() : nullptr;
    if (drawEx) {
        DTTOPTS options{};
        options.dwSize = sizeof(options);  // the structure grew between system versions
        options.dwFlags = DTT_TEXTCOLOR;
        options.crText = color;
        drawEx(theme, dc, BP_PUSHBUTTON, state, look.caption.c_str(), -1, TextFlags(item), &text,
               &options);
    } else {
        DrawThemeText(theme, dc, BP_PUSHBUTTON, state, look.caption.c_str(), -1, TextFlags(item), 0,
                      &text);
    }
    rect.bottom = text.top;
    rect.left = text.left;
}

void DrawClassic(const DRAWITEMSTRUCT& item, const Look& look, HBRUSH fill, bool withPicture,
                 RECT& rect) {
    HDC dc = item.hDC;
    const bool pushed = item.itemState & ODS_SELECTED;
    UINT flags = DFCS_BUTTONPUSH;
    if (pushed) flags |= DFCS_PUSHED;
    if (item.itemState & ODS_DISABLED) flags |= DFCS_INACTIVE;
    if (look.appearance == 0) flags |= DFCS_FLAT;
    if (look.checkBox && look.value == 1) flags |= DFCS_CHECKED;
    const bool defaultFrame = !look.checkBox && look.displayAsDefault;
    rect = item.rcItem;
    if (defaultFrame) DrawEdge(dc, &rect, BDR_RAISEDOUTER, BF_RECT | BF_ADJUST | BF_MONO);
    DrawFrameControl(dc, &rect, DFC_BUTTON, flags | DFCS_ADJUSTRECT);
    FillRect(dc, &rect, fill);
    SetTextColor(dc, TextColor(item, look));
    InflateRect(&rect, -1, -1);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        DrawFocusRect(dc, &rect);
    }
    if (defaultFrame) InflateRect(&rect, 1, 1);
    if (look.caption.empty()) return;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT text = PlaceCaption(dc, rect, item, look, withPicture);
    if (pushed) OffsetRect(&text, 1, 1);
    DrawTextW(dc, look.caption.c_str(), -1, &text, TextFlags(item));
    rect.bottom = text.top;
    rect.left = text.left;
    SetBkMode(dc, oldMode);
}

void DrawPicture(HDC dc, IPicture* picture, const RECT& area, bool disabledEffect,
                 const Look& look) {
    const PictureInfo info = InfoOf(picture);
    const int x = std::lround(area.left + (area.right - area.left - info.width) / 2.0);
    const int y = std::lround(area.top + (area.bottom - area.top - info.height) / 2.0);
    if (disabledEffect) {
        if (info.type == PICTYPE_ICON) {
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(info.handle), 0, x, y,
                       info.width, info.height, DST_ICON | DSS_DISABLED);
        } else {
            // Embossed from a copy over white: the picture's own bitmap may be selected
            // elsewhere, and DrawState takes no selected bitmap.
            UniqueBitmap copy = Common::BitmapFromPicture(picture, 0xFFFFFF);
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(copy.Get()), 0, x, y,
                       info.width, info.height, DST_BITMAP | DSS_DISABLED);
        }
    } else if (info.type == PICTYPE_BITMAP && look.useMaskColor) {
        UniqueMemoryDC memory(CreateCompatibleDC(dc));
        if (!memory) return;
        SelectedObject selected(memory.Get(), info.handle);
        TransparentBlt(dc, x, y, info.width, info.height, memory.Get(), 0, 0, info.width,
                       info.height, Common::WinColor(look.maskColor));
    } else {
        // Pictures take their source rectangle upside down, in HIMETRIC.
        picture->Render(dc, x, y, info.width, info.height, 0, info.himetricHeight,
                        info.himetricWidth, -info.himetricHeight, nullptr);
    }
}

}  // namespace

bool IsOwnerDrawn(HWND button) {
    return button && (StyleOf(button) & BS_TYPEMASK) == BS_OWNERDRAW;
}

PictureInfo InfoOf(IPicture* picture) {
    PictureInfo info;
    if (!picture) return info;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)) || !handle) return info;
    // OLE handles are 32-bit values; system handles widen by sign extension.
    info.handle = LongToHandle(static_cast<LONG>(handle));
    picture->get_Type(&info.type);
    picture->get_Width(&info.himetricWidth);
    picture->get_Height(&info.himetricHeight);
    info.width = Common::HimetricToPixelX(info.himetricWidth);
    info.height = Common::HimetricToPixelY(info.himetricHeight);
    return info;
}

void ShowPicture(HWND button, IPicture* picture, bool withCaption) {
    if (!button || IsOwnerDrawn(button)) return;
    LONG_PTR style = StyleOf(button) & ~kImageStyles;
    const PictureInfo info = InfoOf(picture);
    if (!info.handle) {
        RemoveImages(button);
        SetWindowLongPtrW(button, GWL_STYLE, style);
        return;
    }
    const bool icon = info.type == PICTYPE_ICON;
    if (!withCaption) style |= icon ? BS_ICON : BS_BITMAP;
    SetWindowLongPtrW(button, GWL_STYLE, style);
    SendMessageW(button, BM_SETIMAGE, icon ? IMAGE_BITMAP : IMAGE_ICON, 0);
    SendMessageW(button, BM_SETIMAGE, icon ? IMAGE_ICON : IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(info.handle));
}

void GiveImageList(HWND button, HIMAGELIST list, int32_t alignment, int32_t margin) {
    if (!button) return;
    if (list && !IsOwnerDrawn(button)) {
        const LONG_PTR style = StyleOf(button) & ~kImageStyles;
        RemoveImages(button);
        SetWindowLongPtrW(button, GWL_STYLE, style);
    }
    BUTTON_IMAGELIST info{};
    // The button takes -1 as "no list".
    info.himl = list ? list : reinterpret_cast<HIMAGELIST>(static_cast<INT_PTR>(-1));
    switch (alignment) {
        case BUTTON_IMAGELIST_ALIGN_LEFT:
            info.margin.left = margin;
            break;
        case BUTTON_IMAGELIST_ALIGN_RIGHT:
            info.margin.right = margin;
            break;
        case BUTTON_IMAGELIST_ALIGN_TOP:
            info.margin.top = margin;
            break;
        case BUTTON_IMAGELIST_ALIGN_BOTTOM:
            info.margin.bottom = margin;
            break;
        default:
            break;  // centred: no margin
    }
    info.uAlign = static_cast<UINT>(alignment);
    SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&info));
}

std::optional<HIMAGELIST> ReadImageListHandle(IUnknown* object) {
    ComPtr<IDispatch> dispatch;
    if (!object || FAILED(object->QueryInterface(IID_IDispatch, dispatch.PutVoid()))) return {};
    wchar_t name[] = L"hImageList";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return {};
    DISPPARAMS none{};
    Host::Variant result;
    if (FAILED(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                result.Put(), nullptr, nullptr))) {
        return {};
    }
    Host::Variant wide;
    if (FAILED(VariantChangeType(wide.Ptr(), result.Ptr(), 0, VT_I8))) return {};
    return reinterpret_cast<HIMAGELIST>(static_cast<INT_PTR>(wide.Get().llVal));
}

FoundImageList FindImageList(const Host::ControlSite& site, const VARIANT& value) {
    const bool userMode = site.GetAmbient().UserMode();
    const VARTYPE type = value.vt & ~VT_BYREF;
    if (type == VT_DISPATCH || type == VT_UNKNOWN) {
        IUnknown* object = (value.vt & VT_BYREF) ? *value.ppunkVal : value.punkVal;
        Host::ControlSite* owner = SiteOfObject(site, object);
        if (!owner || Common::TypeNameOf(object) != L"ImageList") return {};
        const auto handle = HandleOf(*owner, object);
        if (!handle) return {};
        return {true, Common::ControlName(owner->AsControl()), *handle};
    }
    if (type != VT_BSTR) return {};
    const std::wstring name = Host::Variant(value).ToString();
    Host::ControlSite* owner = ImageListNamed(site, name);
    if (!owner) return {};
    if (const auto handle = HandleOf(*owner, owner->Object())) return {true, name, *handle};
    if (!userMode) return {true, name, nullptr};  // designing: the name alone will do
    return {};
}

ComPtr<IDispatch> ImageListObject(const Host::ControlSite& site, const std::wstring& name) {
    ComPtr<IDispatch> object;
    if (Host::ControlSite* owner = ImageListNamed(site, name)) {
        if (IUnknown* unknown = owner->Object()) {
            unknown->QueryInterface(IID_IDispatch, object.PutVoid());
        }
    }
    return object;
}

HIMAGELIST DefaultSplitGlyph(HWND button) {
    if (!button) return nullptr;
    BUTTON_SPLITINFO info{};
    info.mask = BCSIF_GLYPH;
    SendMessageW(button, BCM_GETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info.himlGlyph;
}

void SetSplitStyle(HWND button, UINT style, bool on) {
    if (!button) return;
    BUTTON_SPLITINFO info{};
    info.mask = BCSIF_STYLE;
    SendMessageW(button, BCM_GETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    info.uSplitStyle = on ? (info.uSplitStyle | style) : (info.uSplitStyle & ~style);
    SendMessageW(button, BCM_SETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
}

UniqueImageList SetSplitGlyph(HWND button, IPicture* glyph, HIMAGELIST defaultGlyph) {
    if (!button) return {};
    BUTTON_SPLITINFO info{};
    info.mask = BCSIF_GLYPH | BCSIF_STYLE;
    SendMessageW(button, BCM_GETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    info.uSplitStyle &= ~BCSS_IMAGE;
    info.himlGlyph = defaultGlyph;
    SendMessageW(button, BCM_SETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    const PictureInfo picture = InfoOf(glyph);
    if (!picture.handle) return {};
    UniqueImageList list(
        ImageList_Create(picture.width, picture.height, ILC_COLOR24 | ILC_MASK, 1, 0));
    if (!list) return {};
    int added = -1;
    if (picture.type == PICTYPE_ICON) {
        added = ImageList_AddIcon(list.Get(), static_cast<HICON>(picture.handle));
    } else {
        // The list keeps its own copy of the pixels: the bitmap goes with this scope.
        UniqueBitmap bitmap = Common::BitmapFromPicture(glyph, 0);
        if (bitmap) added = ImageList_Add(list.Get(), bitmap.Get(), nullptr);
    }
    if (added < 0) return {};
    info.uSplitStyle |= BCSS_IMAGE;
    info.mask |= BCSIF_IMAGE;
    info.himlGlyph = list.Get();
    SendMessageW(button, BCM_SETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info));
    return list;
}

LRESULT ControlColor(HWND userControl, HDC dc, bool transparent, UniqueBrush& cache,
                     LRESULT defaultAnswer) {
    if (!transparent) return defaultAnswer;
    SetBkMode(dc, TRANSPARENT);
    if (!cache) {
        HWND container = GetParent(userControl);
        RECT client{};
        GetClientRect(userControl, &client);
        // Compatible with the screen: a bitmap compatible with a fresh memory context would
        // be monochrome.
        WindowDC screen;
        UniqueMemoryDC memory(screen ? CreateCompatibleDC(screen.Get()) : nullptr);
        UniqueBitmap bitmap(
            screen ? CreateCompatibleBitmap(screen.Get(), client.right, client.bottom) : nullptr);
        if (!container || !memory || !bitmap) return defaultAnswer;
        RECT place{};
        GetWindowRect(userControl, &place);
        MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&place), 2);
        {
            SelectedObject selected(memory.Get(), bitmap.Get());
            POINT origin{};
            SetViewportOrgEx(memory.Get(), -place.left, -place.top, &origin);
            SendMessageW(container, WM_PAINT, reinterpret_cast<WPARAM>(memory.Get()), 0);
            SetViewportOrgEx(memory.Get(), origin.x, origin.y, nullptr);
        }
        cache.Reset(CreatePatternBrush(bitmap.Get()));  // the brush keeps its own copy
    }
    return cache ? reinterpret_cast<LRESULT>(cache.Get()) : defaultAnswer;
}

UniqueBrush MakeCheckedBrush(HDC target, OLE_COLOR backColor) {
    UniqueMemoryDC memory(CreateCompatibleDC(target));
    UniqueBitmap bitmap(CreateCompatibleBitmap(target, 2, 2));
    if (!memory || !bitmap) return {};
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        const COLORREF back = Common::WinColor(backColor);
        SetPixel(memory.Get(), 0, 0, RGB(255, 255, 255));
        SetPixel(memory.Get(), 1, 1, RGB(255, 255, 255));
        SetPixel(memory.Get(), 1, 0, back);
        SetPixel(memory.Get(), 0, 1, back);
    }
    // The brush keeps its own copy of the pattern: the bitmap goes with this scope.
    return UniqueBrush(CreatePatternBrush(bitmap.Get()));
}

void DrawGraphical(const DRAWITEMSTRUCT& item, const Look& look) {
    HDC dc = item.hDC;
    UniqueBrush back(CreateSolidBrush(Common::WinColor(look.backColor)));
    HBRUSH fill = back.Get();
    if (look.checkBox && look.value == 1 && look.checkedBrush) {
        if (!*look.checkedBrush) *look.checkedBrush = MakeCheckedBrush(dc, look.backColor);
        if (*look.checkedBrush) fill = look.checkedBrush->Get();
    }

    IPicture* picture = look.picture;
    bool disabledEffect = false;
    if (item.itemState & ODS_DISABLED) {
        disabledEffect = !Present(look.disabledPicture);
        if (!disabledEffect) picture = look.disabledPicture;
    } else if ((item.itemState & ODS_SELECTED) && Present(look.downPicture)) {
        picture = look.downPicture;
    }
    if (!Present(picture)) picture = nullptr;

    RECT rect = item.rcItem;
    HTHEME theme = look.visualStyles ? OpenThemeData(item.hwndItem, L"Button") : nullptr;
    if (theme) {
        DrawThemed(theme, item, look, fill, picture != nullptr, rect);
        CloseThemeData(theme);
    } else {
        DrawClassic(item, look, fill, picture != nullptr, rect);
    }
    if (picture) DrawPicture(dc, picture, rect, disabledEffect, look);
}

namespace Testing {
void SetDrawThemeTextEx(DrawThemeTextExFn fn) {
    g_drawThemeTextEx = fn;
}
}  // namespace Testing

}  // namespace ButtonDraw

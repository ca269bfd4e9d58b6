// ButtonDraw: the images and self-drawn looks of the command button and the check box.
//
// Pictures and image lists shown by the system button window, the split button's glyph,
// the transparent background copied from the container, and the graphical style that the
// control draws itself on WM_DRAWITEM. Free functions over the button window and the few
// values a draw needs; each control keeps its own fields and calls in from its setters and
// its message handling.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>
#include <uxtheme.h>

#include <cstdint>
#include <optional>
#include <string>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "host/ControlSite.h"
#include "host/Variant.h"

namespace ButtonDraw {

// Whether the button window draws nothing itself (BS_OWNERDRAW): style setters leave it be.
bool IsOwnerDrawn(HWND button);

// A picture's handle (null for none or an empty picture), type and size in pixels.
struct PictureInfo {
    HANDLE handle = nullptr;
    SHORT type = PICTYPE_NONE;
    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    int width = 0;
    int height = 0;
};
PictureInfo InfoOf(IPicture* picture);
// Whether a picture counts as present: set, with a handle.
inline bool Present(IPicture* picture) {
    return InfoOf(picture).handle != nullptr;
}

// ---- Pictures and image lists on the button window ------------------------------------------

// Shows `picture` in the button window: instead of the caption (BS_ICON, BS_BITMAP), or beside
// it when `withCaption`; none removes both images. An owner-drawn window is left as it is.
void ShowPicture(HWND button, IPicture* picture, bool withCaption);

// Gives an image list to the button window (BCM_SETIMAGELIST); null removes it. The margin
// goes on the side named by the alignment (0 left, 1 right, 2 top, 3 bottom; 4, centred,
// takes none). A real list replaces the window's own picture unless it is owner-drawn.
void GiveImageList(HWND button, HIMAGELIST list, int32_t alignment, int32_t margin);

// An image list found for the ImageList assignment: `value` is an image list object (type
// name "ImageList", one of the container's controls) or the name of one of the container's
// image list controls, whose hImageList is read late-bound. While designing, a control of that
// name is found without reading its handle. Anything not found, unreadable or of another
// type is none.
struct FoundImageList {
    bool found = false;
    std::wstring name;            // the control's name (Common::ControlName)
    HIMAGELIST handle = nullptr;  // owned by the image list control
};
FoundImageList FindImageList(const Host::ControlSite& site, const VARIANT& value);
// The container's image list control of that name, as an object; null when there is none.
// Buttons hold the list in use by its name: they never keep the image list control alive.
ComPtr<IDispatch> ImageListObject(const Host::ControlSite& site, const std::wstring& name);
// An object's hImageList read late-bound; empty when it cannot be read.
std::optional<HIMAGELIST> ReadImageListHandle(IUnknown* object);

// ---- Split button (common controls 6.1) -----------------------------------------------------

// The glyph list the window shows in its drop-down part before any is given.
HIMAGELIST DefaultSplitGlyph(HWND button);
// Sets or clears one split style bit (BCSS_ALIGNLEFT, BCSS_NOSPLIT).
void SetSplitStyle(HWND button, UINT style, bool on);
// Puts the default glyph back, then, for a picture, makes a list of the picture's size holding
// it and gives that to the window. Returns the new list (the caller owns it and destroys the
// previous one only now); empty when none was made (the default glyph shows).
UniqueImageList SetSplitGlyph(HWND button, IPicture* glyph, HIMAGELIST defaultGlyph);

// ---- Backgrounds --------------------------------------------------------------------------

// The control colour answer (WM_CTLCOLORBTN, WM_CTLCOLORSTATIC): for a transparent control a
// pattern brush of what the container paints behind the user control window (made on first
// need and kept in `cache` until a refresh deletes it), else `defaultAnswer`.
LRESULT ControlColor(HWND userControl, HDC dc, bool transparent, UniqueBrush& cache,
                     LRESULT defaultAnswer);
// The 2x2 dither of a checked graphical check box: white and `backColor` alternating.
UniqueBrush MakeCheckedBrush(HDC target, OLE_COLOR backColor);

// ---- Graphical style ------------------------------------------------------------------------

// Everything the graphical style draws from, filled in by the control for each WM_DRAWITEM.
struct Look {
    IPicture* picture = nullptr;
    IPicture* disabledPicture = nullptr;
    IPicture* downPicture = nullptr;
    bool useMaskColor = false;
    OLE_COLOR maskColor = 0xC0C0C0;
    OLE_COLOR backColor = 0x8000000F;
    OLE_COLOR foreColor = 0x80000012;
    int32_t appearance = 1;         // 0 flat
    bool visualStyles = true;       // the control's VisualStyles and the system's themes both on
    bool hot = false;               // the pointer is over it
    bool displayAsDefault = false;  // command button
    bool checkBox = false;
    int16_t value = 0;                    // check box: 1 checked
    UniqueBrush* checkedBrush = nullptr;  // check box: the dither, made on first need
    std::wstring caption;
};
// Draws the whole button: themed or classic frame, caption, and the picture for its state.
void DrawGraphical(const DRAWITEMSTRUCT& item, const Look& look);

namespace Testing {
// Stands in for the system's DrawThemeTextEx (null: the system's again).
using DrawThemeTextExFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, LPRECT,
                                           const DTTOPTS*);
void SetDrawThemeTextEx(DrawThemeTextExFn fn);
}  // namespace Testing

}  // namespace ButtonDraw

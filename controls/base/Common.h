// Common: helpers shared by the setup program and every control.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlHost.h"
#include "controls/base/Handles.h"
#include "controls/base/Variant.h"

namespace Common {

// The program's title: the caption of every message box that has none of its own.
inline constexpr wchar_t kAppTitle[] = L"Paylevix";

// Shows a Unicode message box and returns the identifier of the button that closed it
// (0 when the box could not be shown). `style` goes to the system unchanged. An
// MB_SYSTEMMODAL box is owned by the foreground window, whichever program owns it;
// any other by the program's own active window, else by GetActiveWindow().
int32_t ShowMessageBox(const std::wstring& text, uint32_t style = MB_OK,
                       const std::wstring& title = {});

// The folder of the running program file, always ending in exactly one backslash.
std::wstring GetAppFolder();

// The program's own active top-level window. The host reports activation changes of its
// forms here; ShowMessageBox owns its boxes by it. A window that has since been destroyed
// or that no longer belongs to this process counts as none.
void SetOwnActiveWindow(HWND hwnd);
void ClearOwnActiveWindow(HWND hwnd);  // only if `hwnd` is the one recorded
HWND GetOwnActiveWindow();

// ---- Fonts ------------------------------------------------------------------------------

// What a font is made from; the size in ten-thousandths of a point, as OLE fonts keep it.
struct FontDescription {
    std::wstring name;
    CY size{};
    bool bold = false, italic = false, underline = false, strikethrough = false;
    int16_t charset = 0;
};
// Its LOGFONTW: the face cut to 31 characters and terminated, the size rounded to whole
// points (an exact half to the even neighbour) and scaled to the screen's vertical dots per
// inch, weight 700 or 400, quality DEFAULT_QUALITY.
LOGFONTW LogFontOf(const FontDescription& font);

// A GDI font made from an OLE font; empty for no font. The size is first rounded to whole
// points, an exact half to the even neighbour (9.75 pt is made as 10 pt), then scaled to the
// screen's vertical dots per inch. A face name longer than the system's 31 characters is cut.
UniqueFont CreateGDIFont(IFont* font);

// True when both are absent or both have the same Name (case-sensitive), Size, Italic,
// Underline, Strikethrough, Weight and Charset.
bool FontsEqual(IFont* a, IFont* b);

// ---- Colours and pictures -----------------------------------------------------------------

// The colour reference of an OLE colour (system colours 0x800000nn become the current system
// colour); CLR_INVALID when it cannot be translated.
COLORREF WinColor(OLE_COLOR color, HPALETTE palette = nullptr);
// The colour to paint a stored OLE colour with: one that does not translate paints as the
// button face, as an unset colour would.
COLORREF DrawColor(OLE_COLOR color);

// A picture object over a handle of the given type (PICTYPE_BITMAP, PICTYPE_ICON, ...); empty
// for a 0 handle. With `ownsHandle` the picture deletes the handle when it goes; without, the
// handle stays the caller's (a shared system cursor, a bitmap someone else keeps) and must
// outlive the picture.
ComPtr<IPicture> PictureFromHandle(HANDLE handle, SHORT type, bool ownsHandle);

// An independent copy of a picture: a new bitmap (as a DIB section), icon or cursor, metafile
// (with its extent) or enhanced metafile that the copy owns, so that nothing of it goes when
// the caller releases the original or deletes its handle. A control keeps such a copy of
// every picture it is given. Empty for no picture, an empty one, or a failed copy.
ComPtr<IPicture> CopyPicture(IPicture* picture);

// A new bitmap, compatible with the screen, of the picture's size in pixels, showing the
// picture over `backColor`; empty for no picture or a picture without a handle.
UniqueBitmap BitmapFromPicture(IPicture* picture, OLE_COLOR backColor);

// ---- Mouse pointers -----------------------------------------------------------------------

// Whether a MousePointer value is one of the table's: 0 to 16, or 99 (custom).
bool ValidMousePointer(int32_t value);
// Whether a picture may serve as a MouseIcon: none, an icon, or a picture without a handle.
bool ValidMouseIcon(IPictureDisp* icon);
// The system cursor identifier of a MousePointer value (for LoadCursorW); 0 for 0
// (default), 99 (custom) and any value outside 0..16.
int32_t MousePointerID(int32_t value);
// "0 - Default" ... "99 - Custom"; empty for a value outside the table.
std::wstring PointerDisplayString(int32_t value);
// The 18 display strings in table order, with their values as cookies.
void PointerPredefinedStrings(std::vector<std::wstring>& strings, std::vector<int32_t>& cookies);
// Replaces a property browser's two output arrays (VT_BSTR and VT_I4 vectors, either may be
// null) by new ones holding `strings` and `cookies`; E_OUTOFMEMORY leaves them as they were.
HRESULT PutPredefinedStrings(const std::vector<std::wstring>& strings,
                             const std::vector<int32_t>& cookies, SAFEARRAY*& stringsOut,
                             SAFEARRAY*& cookiesOut);

// ---- Late-bound objects -------------------------------------------------------------------

// The type name of a late-bound object, as automation clients read it: the name of the type
// that IProvideClassInfo::GetClassInfo gives, else that of IDispatch::GetTypeInfo
// (ITypeInfo::GetDocumentation with MEMBERID_NIL); empty when the object describes no type.
// The host's objects answer it: a control its registered type name ("ImageList"), a form its
// name.
std::wstring TypeNameOf(IUnknown* object);

// ---- Image list names ---------------------------------------------------------------------

// "(None)", then the names of the container's image lists, with their positions as cookies;
// `names` receives a copy of the strings.
void ImageListPredefinedStrings(std::vector<std::wstring>& strings, std::vector<int32_t>& cookies,
                                std::span<const ControlHost::IControl* const> controls,
                                std::vector<std::wstring>& names);
// The control's name, with "(index)" for a member of a control array.
std::wstring ControlName(const ControlHost::IControl& control);

// ---- Access keys --------------------------------------------------------------------------

// The access key a caption marks, upper case: the character after the last "&" that is not
// half of a "&&" pair (which shows one ampersand and never marks a key); 0 when there is
// none. The one rule of every control of the library.
wchar_t AccessKey(std::wstring_view caption);
// The ANSI code (system code page) of AccessKey; 0 when there is none.
uint16_t AccelCharCode(const std::wstring& caption);

// ---- Keyboard and mouse state -------------------------------------------------------------

// Shift bits: 1 Shift, 2 Ctrl, 4 Alt. Button bits: 1 left, 2 right, 4 middle.
int16_t ShiftBits(bool shift, bool control, bool alt);
int16_t GetShiftState();
int16_t ShiftFromMouseFlags(WPARAM wParam);
int16_t ButtonFromMouseFlags(WPARAM wParam);
// The code of a WM_CHAR waiting in the window's queue (left there), or 0.
int32_t PeekCharCode(HWND hWnd);
// Asks for WM_MOUSELEAVE when the mouse leaves the window.
bool RequestMouseLeave(HWND hWnd);

// ---- Word and number packing --------------------------------------------------------------

int32_t MakeDWord(int16_t lo, int16_t hi);
int16_t LoWord(int32_t value);
int16_t HiWord(int32_t value);
// Signed client coordinates packed into a mouse message's lParam.
int32_t GetXFromLParam(LPARAM value);
int32_t GetYFromLParam(LPARAM value);
// `start` taken as an unsigned 32-bit address plus `increment`; error 6 (overflow) when the
// result leaves the unsigned 32-bit range.
int32_t UnsignedAdd(int32_t start, int32_t increment);
// 0..65535 as a 16-bit value (above 32767 negative); error 6 (overflow) outside that range.
int16_t UnsignedToInteger(int32_t value);
int32_t IntegerToUnsigned(int16_t value);
double UnsignedToDouble(int32_t value);

// ---- Screen scaling -----------------------------------------------------------------------

// The screen's dots per inch; 0 when there is no screen device context.
int32_t DPI_X();
int32_t DPI_Y();
int32_t HimetricToPixelX(int32_t himetric);
int32_t HimetricToPixelY(int32_t himetric);
// The host's twips per pixel against the system's (1.0 when they agree); the controls move
// themselves once when it is not exactly 1.0. Cached.
double DPICorrectionFactor();
// DPI_Y() / 96. Cached.
double DPIScaleY();

// ---- Windows ------------------------------------------------------------------------------

// Makes a changed border style take effect.
void FrameChanged(HWND hWnd);
// When `rightToLeft` is true, settles it by `mode`: 0 as it is, 1 the container's value,
// 2/3/4 whether the system's, the user's or the user interface's language reads right to
// left. A failing locale query, or another mode, leaves it as it is.
void ResolveRightToLeft(bool& rightToLeft, bool containerRightToLeft, int32_t mode);
// Whether the locale of `language` reads right to left (its font signature says so); empty
// when the locale cannot be asked.
std::optional<bool> LanguageReadsRightToLeft(LANGID language);
// Sets the right-to-left bits of the window's extended style (WS_EX_LAYOUTRTL,
// WS_EX_RTLREADING, WS_EX_RIGHT, WS_EX_LEFTSCROLLBAR) to those in `styles`, keeping the
// others, and redraws the window with its frame.
void SetRightToLeftStyles(HWND hWnd, DWORD styles);

// ---- Property-bag strings -----------------------------------------------------------------

// Any text, kept exactly: a byte array of its UTF-16LE code units; the empty string as an
// empty variant.
Variant StrToVar(const std::wstring& text);
// The reverse; a string value is taken as it is, an empty one gives ""; anything that is
// neither raises error 13 (type mismatch) unless it converts to a string.
std::wstring VarToStr(const VARIANT& value);

// ---- Files --------------------------------------------------------------------------------

// The long form of a path ("\\?\C:\..." or "\\?\UNC\server\share\..."), which is not limited
// to MAX_PATH characters. A path in that form already is kept; others are made full first.
std::wstring LongPathForm(const std::wstring& path);
// The attributes of a file or folder through its long form; FILE_ATTRIBUTE_NORMAL is
// reported as 0. Error 53 (file not found) when it cannot be found.
DWORD GetAttributesLong(const std::wstring& path);

// ---- Shell library ------------------------------------------------------------------------

// Every control holds a reference on the shell library while it exists.
void ShellModAddRef();
void ShellModRelease();
int32_t ShellModRefCount();
bool ShellModLoaded();

// ---- Containers ---------------------------------------------------------------------------

// The outermost user control of the chain of containers that holds `userControl` (itself
// when its container is not a user control).
ControlHost::IUserControl* TopUserControl(ControlHost::IUserControl* userControl);
// Validates the focused control of the form (or property page) at the top of the chain;
// ControlError 380 reaches the caller when a control refuses to lose the focus.
void ValidateTopParent(ControlHost::IUserControl* userControl);
// Whether `object` answers the interface named by `iid` ("{xxxxxxxx-...}").
bool SupportsInterface(IUnknown* object, const std::wstring& iid);

// ---- Modeless dialogs ---------------------------------------------------------------------

// Keyboard messages for registered modeless dialogs (Tab, arrows, Return, Escape, access
// keys) are handled by the dialog before the program's own message loop sees them.
void AddModelessDialog(HWND hDlg);
void RemoveModelessDialog(HWND hDlg);

namespace Testing {
// Forgets the cached scaling answers, so they are computed again.
void ForgetScalingCaches();
}  // namespace Testing

}  // namespace Common

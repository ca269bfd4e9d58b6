// ButtonBase: what the command button and the check box share over the system button.
//
// ButtonControl is the base of both: the settings they share (fields named Prop...), the
// three window procedures behind ISubclass (button window at run time, user control window
// at run time, user control window while designing a graphical button), the focus hand-off
// between the two windows, validation before a click takes the focus, key and mouse events,
// mouse tracking, and the keyboard hooks (PreviewKeyDown/Up, the one-entry access-key
// table, the mnemonic). A control derives from it, names its own events (their identifiers
// differ between the controls) in a ButtonEvents, and supplies what differs: its window
// style, what a click does, and what it raises for owner drawing.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "controls/buttons/ButtonDraw.h"
#include "host/ControlDescription.h"
#include "host/ControlTimer.h"
#include "host/ControlSite.h"
#include "host/Events.h"
#include "host/PointerBrowsing.h"
#include "host/SystemWindowControl.h"

namespace ButtonBase {

// ---- Shared declarations ----------------------------------------------------------------

inline constexpr wchar_t kNoImageList[] = L"(None)";
// Button styles a setter edits; the owner-drawn type (0xB) is left alone by all of them.
inline constexpr DWORD kHorizontalBits = BS_LEFT | BS_RIGHT | BS_CENTER;
inline constexpr DWORD kVerticalBits = BS_TOP | BS_BOTTOM | BS_VCENTER;
inline constexpr DWORD kOwnerDrawn = BS_OWNERDRAW;

// The standard events, raised alike by both controls.
inline constexpr Host::EventParameter kKeyArgs[] = {{L"KeyCode", VT_I2, true},
                                                    {L"Shift", VT_I2, true}};
inline constexpr Host::EventParameter kKeyPressArgs[] = {{L"KeyChar", VT_I2, true}};
inline constexpr Host::EventParameter kMouseArgs[] = {
    {L"Button", VT_I2, true}, {L"Shift", VT_I2, true}, {L"X", VT_R4, true}, {L"Y", VT_R4, true}};
inline constexpr Host::EventParameter kPreviewKeyArgs[] = {{L"KeyCode", VT_I2, false},
                                                           {L"IsInputKey", VT_BOOL, true}};
inline constexpr Host::EventInfo kClick{L"Click", Host::kDispIdClick, {}};
inline constexpr Host::EventInfo kKeyDown{L"KeyDown", Host::kDispIdKeyDown, kKeyArgs};
inline constexpr Host::EventInfo kKeyUp{L"KeyUp", Host::kDispIdKeyUp, kKeyArgs};
inline constexpr Host::EventInfo kKeyPress{L"KeyPress", Host::kDispIdKeyPress, kKeyPressArgs};
inline constexpr Host::EventInfo kMouseDown{L"MouseDown", Host::kDispIdMouseDown, kMouseArgs};
inline constexpr Host::EventInfo kMouseMove{L"MouseMove", Host::kDispIdMouseMove, kMouseArgs};
inline constexpr Host::EventInfo kMouseUp{L"MouseUp", Host::kDispIdMouseUp, kMouseArgs};

// KeyDown to MouseUp: the standard events, alike in both.
inline constexpr std::array<Host::EventInfo, 6> kStandardEvents = {
    kKeyDown, kKeyUp, kKeyPress, kMouseDown, kMouseMove, kMouseUp};

// A control's own events, whose identifiers it chooses.
struct ButtonEvents {
    const Host::EventInfo& hotChanged;
    const Host::EventInfo* dropDown;  // null: the control has none
    const Host::EventInfo& previewKeyDown;
    const Host::EventInfo& previewKeyUp;
    const Host::EventInfo& mouseEnter;
    const Host::EventInfo& mouseLeave;
    const Host::EventInfo& oleCompleteDrag;
    const Host::EventInfo& oleDragDrop;
    const Host::EventInfo& oleDragOver;
    const Host::EventInfo& oleGiveFeedback;
    const Host::EventInfo& oleSetData;
    const Host::EventInfo& oleStartDrag;
};

// The OLE events' arguments (all by reference; Data is the host's data object).
inline constexpr Host::EventParameter kOLECompleteDragArgs[] = {{L"Effect", VT_I4, true}};
inline constexpr Host::EventParameter kOLEDragDropArgs[] = {
    {L"Data", VT_UNKNOWN, true}, {L"Effect", VT_I4, true}, {L"Button", VT_I2, true},
    {L"Shift", VT_I2, true},     {L"X", VT_R4, true},      {L"Y", VT_R4, true}};
inline constexpr Host::EventParameter kOLEDragOverArgs[] = {
    {L"Data", VT_UNKNOWN, true}, {L"Effect", VT_I4, true}, {L"Button", VT_I2, true},
    {L"Shift", VT_I2, true},     {L"X", VT_R4, true},      {L"Y", VT_R4, true},
    {L"State", VT_I2, true}};
inline constexpr Host::EventParameter kOLEGiveFeedbackArgs[] = {{L"Effect", VT_I4, true},
                                                                {L"DefaultCursors", VT_BOOL, true}};
inline constexpr Host::EventParameter kOLESetDataArgs[] = {{L"Data", VT_UNKNOWN, true},
                                                           {L"DataFormat", VT_I2, true}};
inline constexpr Host::EventParameter kOLEStartDragArgs[] = {{L"Data", VT_UNKNOWN, true},
                                                             {L"AllowedEffects", VT_I4, true}};

// PreviewKeyDown and PreviewKeyUp, numbered from `first`.
constexpr std::array<Host::EventInfo, 2> PreviewEvents(DISPID first) {
    return {{{L"PreviewKeyDown", first, kPreviewKeyArgs},
             {L"PreviewKeyUp", first + 1, kPreviewKeyArgs}}};
}
// MouseEnter, MouseLeave and the OLE events (OLECompleteDrag, OLEDragDrop, OLEDragOver,
// OLEGiveFeedback, OLESetData, OLEStartDrag), numbered from `first` in this order.
constexpr std::array<Host::EventInfo, 8> TrackAndDragEvents(DISPID first) {
    return {{{L"MouseEnter", first, {}},
             {L"MouseLeave", first + 1, {}},
             {L"OLECompleteDrag", first + 2, kOLECompleteDragArgs},
             {L"OLEDragDrop", first + 3, kOLEDragDropArgs},
             {L"OLEDragOver", first + 4, kOLEDragOverArgs},
             {L"OLEGiveFeedback", first + 5, kOLEGiveFeedbackArgs},
             {L"OLESetData", first + 6, kOLESetDataArgs},
             {L"OLEStartDrag", first + 7, kOLEStartDragArgs}}};
}
// The events the shared message handling raises, from the control's runs.
constexpr ButtonEvents EventsOf(const Host::EventInfo& hotChanged, const Host::EventInfo* dropDown,
                                const std::array<Host::EventInfo, 2>& preview,
                                const std::array<Host::EventInfo, 8>& track) {
    return {hotChanged, dropDown, preview[0], preview[1], track[0], track[1],
            track[2],   track[3], track[4],   track[5],   track[6], track[7]};
}

// Persisted keys both buttons have (each control reads and writes them in its own order).
inline constexpr Host::StoredKey kVisualStylesKey = Host::BoolKey(L"VisualStyles", true);
inline constexpr Host::StoredKey kAppearanceKey = Host::Int32Key(L"Appearance", 1);
inline constexpr Host::StoredKey kBackColorKey = Host::ColorKey(L"BackColor", 0x8000000F);
inline constexpr Host::StoredKey kForeColorKey = Host::ColorKey(L"ForeColor", 0x80000012);
inline constexpr Host::StoredKey kEnabledKey = Host::BoolKey(L"Enabled", true);
inline constexpr Host::StoredKey kOLEDropModeKey = Host::Int32Key(L"OLEDropMode", 0);
inline constexpr Host::StoredKey kImageListKey{L"ImageList", Host::StoredType::String, 0,
                                               L"(None)"};
inline constexpr Host::StoredKey kImageListAlignmentKey = Host::Int32Key(L"ImageListAlignment", 0);
inline constexpr Host::StoredKey kImageListMarginKey = Host::Int32Key(L"ImageListMargin", 0);
inline constexpr Host::StoredKey kCaptionKey = Host::TextKey(L"Caption");
// Font to ImageListMargin: the keys both store in this order (ReadHeadKeys, WriteHeadKeys).
inline constexpr std::array<Host::StoredKey, 15> kHeadKeys = {
    Host::kFontKey,       kVisualStylesKey,       kAppearanceKey,
    kBackColorKey,        kForeColorKey,          kEnabledKey,
    kOLEDropModeKey,      Host::kMousePointerKey, Host::kMouseIconKey,
    Host::kMouseTrackKey, Host::kRightToLeftKey,  Host::kRightToLeftModeKey,
    kImageListKey,        kImageListAlignmentKey, kImageListMarginKey};
inline constexpr Host::StoredKey kVerticalAlignmentKey = Host::Int32Key(L"VerticalAlignment", 1);
inline constexpr Host::StoredKey kPictureKey{L"Picture", Host::StoredType::Picture, 0, {}};
inline constexpr Host::StoredKey kWordWrapKey = Host::BoolKey(L"WordWrap", true);
inline constexpr Host::StoredKey kTransparentKey = Host::BoolKey(L"Transparent", false);
inline constexpr Host::StoredKey kStyleKey = Host::Int32Key(L"Style", 0);
inline constexpr Host::StoredKey kDisabledPictureKey{
    L"DisabledPicture", Host::StoredType::Picture, 0, {}};
inline constexpr Host::StoredKey kDownPictureKey{L"DownPicture", Host::StoredType::Picture, 0, {}};
inline constexpr Host::StoredKey kUseMaskColorKey = Host::BoolKey(L"UseMaskColor", false);
inline constexpr Host::StoredKey kMaskColorKey = Host::ColorKey(L"MaskColor", 0xC0C0C0);
inline constexpr Host::StoredKey kDrawModeKey = Host::Int32Key(L"DrawMode", 0);
// A stored picture: the object, or nothing (the key is then left out).
inline Host::Variant ObjectValue(IDispatch* object) {
    return object ? Host::Variant::Object(object) : Host::Variant();
}
// Style to DrawMode: the keys both store last, in this order (ReadTailKeys, WriteTailKeys).
inline constexpr std::array<Host::StoredKey, 6> kTailKeys = {
    kStyleKey, kDisabledPictureKey, kDownPictureKey, kUseMaskColorKey, kMaskColorKey, kDrawModeKey};

// ---- Member table rows both buttons have ----------------------------------------------------
// Each control joins these runs with its own rows, in its own order; a run's identifiers
// count up from the one given where they differ between the controls.

template <class T, size_t... N>
constexpr auto Join(const std::array<T, N>&... runs) {
    std::array<T, (N + ...)> all{};
    size_t at = 0;
    ((std::copy(runs.begin(), runs.end(), all.begin() + static_cast<std::ptrdiff_t>(at)), at += N),
     ...);
    return all;
}
// Name to RightToLeftMode, with the same identifiers in both.
std::array<Host::Member, 15> HeadMembers();
// ImageList (`imageList`), ImageListAlignment and ImageListMargin (from `alignment`).
std::array<Host::Member, 3> ImageListMembers(DISPID imageList, DISPID alignment);
// Caption, and the Picture that follows the control's own alignment members.
std::array<Host::Member, 1> CaptionMember();
std::array<Host::Member, 1> PictureMember();
// WordWrap and Transparent.
std::array<Host::Member, 2> WrapMembers();
// Style, DisabledPicture, DownPicture, UseMaskColor, MaskColor, DrawMode.
std::array<Host::Member, 6> GraphicalMembers(DISPID style);
// Pushed, Hot.
std::array<Host::Member, 2> StateMembers(DISPID pushed);
// Refresh.
std::array<Host::Member, 1> RefreshMember();
// SetFocus, ZOrder, Drag, OLEDrag.
std::array<Host::Member, 4> ExtenderMethods(DISPID setFocus);

// Shows a caption in the button window (when there is one) and routes its access key
// through the host's own list (Common::AccessKey). The check box's path until it answers
// the access-key hooks itself.
void ApplyCaption(Host::ControlSite& site, HWND button, const std::wstring& caption);
// Whether a message of the user control window is the button's BN_CLICKED.
bool IsClick(HWND button, UINT msg, WPARAM wParam, LPARAM lParam);

// Whether a button window is owner-drawn (its type bits read 0xB).
bool IsOwnerDrawn(HWND button);
// Replaces `mask` bits of a button window's style by `bits`, unless the window is
// owner-drawn (owner drawing keeps no other button style). Returns whether the style had
// them already.
bool EditButtonStyle(HWND button, DWORD mask, DWORD bits);

using ButtonSkeleton =
    Host::SystemWindowControl<Host::OleInPlaceActiveObjectVBDefaults, Host::OleControlVBDefaults,
                              Host::PointerBrowsing, Host::ObjectSafetyReportsSafe>;

class ButtonControl : public ButtonSkeleton {
public:
    // ---- shared members ---------------------------------------------------------------------
    std::wstring Name() const;
    // The button window (hWnd); null while none exists.
    HWND ButtonHandle() const { return hWnd(); }
    // Deletes the cached brushes, then repaints.
    void Refresh() override;
    int32_t Appearance() const;
    void SetAppearance(int32_t value);  // 0 flat, 1 3-D; error 380 otherwise
    OLE_COLOR BackColor() const;
    void SetBackColor(OLE_COLOR color);
    OLE_COLOR ForeColor() const;
    void SetForeColor(OLE_COLOR color);
    int32_t OLEDropMode() const;
    void SetOLEDropMode(int32_t mode);  // 0 none, 1 manual; error 380 otherwise
    // Settles the reading order (RightToLeftMode), mirrors the window and the alignments.
    void SetRightToLeft(bool value) override;
    // The window's text while there is a window, else the stored caption.
    std::wstring Caption() const;
    void SetCaption(const std::wstring& caption);
    int32_t VerticalAlignment() const { return PropVerticalAlignment; }
    void SetVerticalAlignment(int32_t value);  // 0 top, 1 centre, 2 bottom
    bool WordWrap() const { return PropWordWrap; }
    void SetWordWrap(bool value);
    bool Transparent() const { return PropTransparent; }
    void SetTransparent(bool value);
    // 0 standard, 1 graphical (drawn by the control); 1 is refused while DrawMode is 1.
    int32_t Style() const { return PropStyle; }
    void SetStyle(int32_t value);
    // 0 normal, 1 owner draw (the OwnerDraw event).
    int32_t DrawMode() const { return PropDrawMode; }
    void SetDrawMode(int32_t value);
    ComPtr<IPictureDisp> Picture() const { return PropPicture; }
    void SetPicture(ComPtr<IPictureDisp> picture);
    ComPtr<IPictureDisp> DisabledPicture() const { return PropDisabledPicture; }
    void SetDisabledPicture(ComPtr<IPictureDisp> picture);
    ComPtr<IPictureDisp> DownPicture() const { return PropDownPicture; }
    void SetDownPicture(ComPtr<IPictureDisp> picture);
    bool UseMaskColor() const { return PropUseMaskColor; }
    void SetUseMaskColor(bool value);
    OLE_COLOR MaskColor() const { return PropMaskColor; }
    void SetMaskColor(OLE_COLOR color);
    // The image list: its name while designing, else the image list object in use (the
    // stored name is looked up first when that has not happened yet). Takes an image list
    // object or the name of one.
    Host::Variant ImageList();
    void SetImageList(const Host::Variant& value);
    int32_t ImageListAlignment() const { return PropImageListAlignment; }
    void SetImageListAlignment(int32_t value);  // 0 left, 1 right, 2 top, 3 bottom, 4 centre
    // In container size units; stored in pixels.
    float ImageListMargin() const;
    void SetImageListMargin(float value);
    bool Pushed() const;
    void SetPushed(bool value);
    // Read-only: error 383 "Property is read-only" on assignment.
    bool Hot() const;
    void SetHot(bool value);
    // The extender's methods.
    void SetFocus();
    void ZOrder(std::optional<int32_t> position);
    void Drag(std::optional<int32_t> action);
    void OLEDrag();

    // ---- host ---------------------------------------------------------------------------------
    void Initialize() override;
    void Terminate() override;

    // The host's drag-and-drop notifications, passed on as events (X, Y in container units).
    void OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y, int16_t state) override;
    void OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y) override;
    void OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) override;
    void OLESetData(Host::DataObject& data, int16_t& format) override;
    void OLEGiveFeedback(int32_t& effect, bool& defaultCursors) override;
    void OLECompleteDrag(int32_t& effect) override;

    // ---- keyboard hooks -----------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(VARIANT_BOOL* handled, LONG* retVal, LONG msg,
                                                   LONG_PTR wParam, LONG_PTR lParam,
                                                   LONG shift) override;
    HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* handled, USHORT* accelCount,
                                             HACCEL* accelTable, DWORD* flags) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(VARIANT_BOOL* handled, LONG msg, LONG_PTR wParam,
                                         LONG_PTR lParam, LONG shift) override;
    // ---- property browsing: MousePointer and ImageList -----------------------------------------
    DISPID BrowsedPointerDispId() const override { return mousePointerId_; }
    int16_t BrowsedPointer() const override { return PropMousePointer; }
    bool OfferFor(DISPID id, Offer& offer) override;

protected:
    // The identifiers of MousePointer and ImageList, which the property browser asks about.
    ButtonControl(const ButtonEvents& events, DISPID mousePointerId, DISPID imageListId)
        : events_(events), mousePointerId_(mousePointerId), imageListId_(imageListId) {}

    // ---- what each control supplies -----------------------------------------------------------
    // BN_CLICKED or BN_DOUBLECLICKED from the button window, or the caption's access key.
    virtual void ButtonClicked() = 0;
    // WM_DRAWITEM of an owner-drawn (DrawMode 1) button: raise OwnerDraw.
    virtual void OwnerDraw(const DRAWITEMSTRUCT& item) = 0;
    // After RightToLeft settled to `rightToLeft` with a window: mirror the alignments.
    virtual void MirrorAlignments(bool rightToLeft) = 0;

    // ---- drawing entry points (Style 1, transparency, images) ---------------------------------
    // WM_DRAWITEM of a graphical (Style 1) button; returns 1.
    virtual LRESULT DrawGraphical(const DRAWITEMSTRUCT& item);
    // WM_CTLCOLORBTN / WM_CTLCOLORSTATIC: the brush the button window paints its background
    // with (the default answer, or the transparent background).
    virtual LRESULT ControlColor(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Shows PropPicture in the button window (BS_ICON / BS_BITMAP and BM_SETIMAGE).
    virtual void ApplyPicture();
    // Gives the stored image list (name or object) to the window again.
    virtual void ApplyImageList();
    // Gives an image list handle to the window (common controls 6.0 or later); null removes
    // the list and shows the picture again.
    void GiveImageList(HIMAGELIST handle);
    // What the control's own graphical look adds: the default frame, the checked state.
    virtual void DescribeLook(ButtonDraw::Look& look) { (void)look; }
    // Whether a picture shows beside the caption instead of replacing it.
    virtual bool PictureWithCaption() const { return false; }

    // ---- creation, shared steps -----------------------------------------------------------------
    // The style bits every button takes from the shared settings: BS_NOTIFY, BS_FLAT,
    // alignment bits (`horizontal` is the control's), BS_MULTILINE; then owner drawing
    // (DrawMode forces Style 0; Style 1 or DrawMode 1 make the style exactly 0x5000000B less
    // WS_CHILD | WS_VISIBLE, which the skeleton adds).
    DWORD SharedStyle(DWORD typeAndOwn, DWORD horizontal);
    DWORD SharedExStyle() const { return PropRightToLeft ? WS_EX_RTLREADING : 0; }
    // The steps after creation that both take: focus cues cleared, VisualStyles, Caption.
    void ApplyCreatedWindow();
    // Destroys and creates the window again, resizes it, gives the image list back, and
    // refreshes.
    void ReCreate();
    void SubclassWindows() override;
    void WindowDestroyed() override;
    // Reads DesignMode (the ambient user mode).
    void BeginProperties();
    // After ReadProperties created the window: starts the deferred image list lookup.
    void EndReadProperties();
    // The keys of kHeadKeys (the host-kept settings through their setters).
    void ReadHeadKeys(Host::PropertyStore& store);
    void WriteHeadKeys(Host::PropertyStore& store) const;
    // The keys of kTailKeys.
    void ReadTailKeys(Host::PropertyStore& store);
    void WriteTailKeys(Host::PropertyStore& store) const;
    // Refused values show their message box while DesignMode (read with the properties).
    bool Designing() const override { return DesignMode; }
    // Re-applies a style bit edit and refreshes (the shared pattern of the style setters).
    void StyleSetter(DWORD mask, DWORD bits);
    template <class... A>
    void RaiseEvent(const Host::EventInfo& event, A&&... args) {
        Raise(event, std::forward<A>(args)...);
    }

    // ---- the window procedures ----------------------------------------------------------------
    LRESULT SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT UserControlWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT DesignTimeWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    // ---- state
    // -----------------------------------------------------------------------------------
    bool DesignMode = false;
    bool InValidate = false;
    int32_t PendingCharCode = 0;
    bool MouseTrackFlags[2] = {false, false};  // [0] drawn hot, [1] MouseLeave due
    UniqueAccel AccelHandle;
    int32_t AccelCounter = 0;
    UniqueBrush TransparentBrush;
    UniqueBrush CheckedBrush;              // the check box's checked dither, made on first need
    HIMAGELIST ImageListHandle = nullptr;  // not owned
    // The image list control in use, by its name: the button never keeps it alive.
    std::wstring ImageListObject;
    bool ImageListInitDone = false;
    // Looks the stored image list name up once loading has finished (the image list may be
    // loaded after the button).
    Host::ControlTimer TimerImageList{[this] { ImageListTimerTick(); }, 1, false};

    std::wstring PropImageListName = kNoImageList;
    int32_t PropImageListAlignment = 0;
    int32_t PropImageListMargin = 0;  // pixels
    std::wstring PropCaption;
    int32_t PropVerticalAlignment = 1;
    ComPtr<IPictureDisp> PropPicture;
    bool PropWordWrap = true;
    bool PropTransparent = false;
    int32_t PropStyle = 0;
    ComPtr<IPictureDisp> PropDisabledPicture;
    ComPtr<IPictureDisp> PropDownPicture;
    bool PropUseMaskColor = false;
    OLE_COLOR PropMaskColor = 0xC0C0C0;
    int32_t PropDrawMode = 0;

private:
    LRESULT RaiseKey(const Host::EventInfo& event, HWND hWnd, UINT msg, WPARAM wParam,
                     LPARAM lParam, bool peek);
    LRESULT MouseActivate(HWND hWnd, WPARAM wParam, LPARAM lParam);
    void TrackMouse(UINT msg);
    void ImageListTimerTick();
    // A picture setter's copy: the host's picture slot makes an independent one.
    ComPtr<IPictureDisp> StoredCopy(IPictureDisp* picture);

    const ButtonEvents& events_;
    DISPID mousePointerId_;
    DISPID imageListId_;
};

}  // namespace ButtonBase

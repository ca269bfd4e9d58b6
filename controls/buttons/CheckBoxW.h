// CheckBoxW: a three-state check box over the system "Button" window.
//
// The window is a non-automatic three-state button: it never changes its own check state.
// The control does, through Value, so that every change (a click, the access key, code, or a
// stored value applied while loading) raises Click exactly once. A click turns 0 into 1 and
// 1 or 2 into 0; the grayed state comes only from code or from the store.
//
// Events (identifiers): Click (-600), HotChanged (1), OwnerDraw(Action, State, hDC, Left,
// Top, Right, Bottom) (2), PreviewKeyDown(KeyCode, IsInputKey) (3), PreviewKeyUp (4),
// MouseEnter (5), MouseLeave (6), OLECompleteDrag (7), OLEDragDrop (8), OLEDragOver (9),
// OLEGiveFeedback (10), OLESetData (11), OLEStartDrag (12), KeyDown, KeyUp (KeyCode, Shift),
// KeyPress (KeyChar), MouseDown, MouseMove, MouseUp (Button, Shift, X, Y in twips).
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "host/SystemWindowControl.h"

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0,
                0x64)
#endif

class CheckBoxW
    : public Host::SystemWindowControl<Host::OleInPlaceActiveObjectVBDefaults,
                                       Host::OleControlVBDefaults,
                                       Host::PerPropertyBrowsingVBDefaults, IObjectSafety> {
public:
    static constexpr wchar_t kTypeName[] = L"CheckBoxW";
    static constexpr int16_t kUnchecked = 0;
    static constexpr int16_t kChecked = 1;
    static constexpr int16_t kGrayed = 2;
    // Identifiers of the check box's own events.
    static constexpr DISPID kDispIdHotChanged = 1;
    static constexpr DISPID kDispIdOwnerDraw = 2;
    static constexpr DISPID kDispIdPreviewKeyDown = 3;
    static constexpr DISPID kDispIdPreviewKeyUp = 4;
    static constexpr DISPID kDispIdMouseEnter = 5;
    static constexpr DISPID kDispIdMouseLeave = 6;
    static constexpr DISPID kDispIdOLECompleteDrag = 7;
    static constexpr DISPID kDispIdOLEDragDrop = 8;
    static constexpr DISPID kDispIdOLEDragOver = 9;
    static constexpr DISPID kDispIdOLEGiveFeedback = 10;
    static constexpr DISPID kDispIdOLESetData = 11;
    static constexpr DISPID kDispIdOLEStartDrag = 12;

    CheckBoxW();
    ~CheckBoxW() override;

    // --- the check state (the default member) ------------------------------------------------
    // The window's state while a normal window exists, else the stored one.
    int16_t Value() const;
    // 0, 1, 2; -1 (true) is taken as 1; error 380 otherwise. Raises Click when it changes.
    void SetValue(int16_t value);

    // --- look (setters raise ControlError 380 for a value out of range) ---------------------
    std::wstring Caption() const;
    void SetCaption(const std::wstring& caption);
    ComPtr<IFontDisp> Font() const;
    void SetFont(const ComPtr<IFontDisp>& font);  // none takes the container's font
    bool VisualStyles() const { return PropVisualStyles; }
    void SetVisualStyles(bool value);
    int32_t Appearance() const;
    void SetAppearance(int32_t value);  // 0 flat, 1 3-D
    OLE_COLOR BackColor() const;
    void SetBackColor(OLE_COLOR color);
    OLE_COLOR ForeColor() const;
    void SetForeColor(OLE_COLOR color);
    int32_t OLEDropMode() const;
    void SetOLEDropMode(int32_t mode);  // 0 none, 1 manual
    int16_t MousePointer() const { return PropMousePointer; }
    void SetMousePointer(int16_t pointer);  // 0 to 16, 99 custom
    ComPtr<IPictureDisp> MouseIcon() const { return PropMouseIcon; }
    // None, an icon or a picture without a handle; anything else is refused.
    void SetMouseIcon(const ComPtr<IPictureDisp>& icon);
    bool MouseTrack() const { return PropMouseTrack; }
    void SetMouseTrack(bool value);
    bool RightToLeft() const { return PropRightToLeft; }
    void SetRightToLeft(bool value);
    int32_t RightToLeftMode() const { return PropRightToLeftMode; }
    void SetRightToLeftMode(int32_t mode);  // 0 to 4
    // The image list's name ("(None)" for none).
    std::wstring ImageList() const { return PropImageListName; }
    void SetImageList(const std::wstring& name);
    int32_t ImageListAlignment() const { return PropImageListAlignment; }
    void SetImageListAlignment(int32_t value);  // 0 left, 1 right, 2 top, 3 bottom, 4 centre
    // In the container's size units; kept in pixels.
    float ImageListMargin() const;
    void SetImageListMargin(float value);
    // 0 box left of the text, 1 box right of it.
    int32_t Alignment() const { return PropAlignment; }
    void SetAlignment(int32_t value);
    // 0 left, 1 right, 2 centre.
    int32_t TextAlignment() const { return PropTextAlignment; }
    void SetTextAlignment(int32_t value);
    int32_t VerticalAlignment() const { return PropVerticalAlignment; }
    void SetVerticalAlignment(int32_t value);  // 0 top, 1 centre, 2 bottom
    bool PushLike() const { return PropPushLike; }
    void SetPushLike(bool value);
    bool WordWrap() const { return PropWordWrap; }
    void SetWordWrap(bool value);
    ComPtr<IPictureDisp> Picture() const { return PropPicture; }
    void SetPicture(const ComPtr<IPictureDisp>& picture);
    ComPtr<IPictureDisp> DisabledPicture() const { return PropDisabledPicture; }
    void SetDisabledPicture(const ComPtr<IPictureDisp>& picture);
    ComPtr<IPictureDisp> DownPicture() const { return PropDownPicture; }
    void SetDownPicture(const ComPtr<IPictureDisp>& picture);
    bool UseMaskColor() const { return PropUseMaskColor; }
    void SetUseMaskColor(bool value);
    OLE_COLOR MaskColor() const { return PropMaskColor; }
    void SetMaskColor(OLE_COLOR color);
    bool Transparent() const { return PropTransparent; }
    void SetTransparent(bool value);
    // 0 standard, 1 graphical; 1 is refused while DrawMode is not 0.
    int32_t Style() const { return PropStyle; }
    void SetStyle(int32_t value);
    // 0 normal, 1 owner draw (OwnerDraw event).
    int32_t DrawMode() const { return PropDrawMode; }
    void SetDrawMode(int32_t value);
    bool Pushed() const;
    void SetPushed(bool value);
    bool Hot() const;

    // --- windows; the extender's members (Tag, Left, ...) are the host's extender object's ---
    // hWnd: the button window; hWndUserControl: the control's own.
    HWND CheckBoxHandle() const { return hWnd(); }
    HWND hWndUserControl() const;
    std::wstring Name() const;

    // --- methods -------------------------------------------------------------------------
    void Refresh();
    void SetFocusToControl();
    void ZOrder(std::optional<int16_t> position);
    void Drag(std::optional<int16_t> action);
    int32_t OLEDrag();

    // --- host ----------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    void Initialize() override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Terminate() override;
    void Resize() override;
    bool UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y, int16_t state) override;
    void OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y) override;
    void OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) override;
    void OLESetData(Host::DataObject& data, int16_t& format) override;
    void OLEGiveFeedback(int32_t& effect, bool& defaultCursors) override;
    void OLECompleteDrag(int32_t& effect) override;

    // --- keyboard and access key (through the in-place hooks) --------------------------------
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(VARIANT_BOOL* Handled, LONG* RetVal, LONG wMsg,
                                                   LONG_PTR wParam, LONG_PTR lParam,
                                                   LONG Shift) override;
    HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* Handled, USHORT* AccelCount,
                                             HACCEL* AccelTable, DWORD* Flags) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(VARIANT_BOOL* Handled, LONG wMsg, LONG_PTR wParam,
                                         LONG_PTR lParam, LONG Shift) override;

    // --- property browsing: Value, MousePointer, ImageList -----------------------------------
    HRESULT STDMETHODCALLTYPE GetDisplayString(VARIANT_BOOL* Handled, DISPID DispID,
                                               BSTR* DisplayName) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(VARIANT_BOOL* Handled, DISPID DispID,
                                                   SAFEARRAY** StringsOut,
                                                   SAFEARRAY** CookiesOut) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(VARIANT_BOOL* Handled, DISPID DispID, LONG Cookie,
                                                 VARIANT* Value) override;
    // Safe for untrusted callers and data; settings are accepted and ignored.
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                        DWORD* enabled) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                        DWORD enabled) override;

private:
    Host::WindowShape DescribeWindow() override;
    void WindowCreated() override;
    void WindowDestroyed() override;

    bool DesignMode() const;
    // An unacceptable value: error 380 at run time; while designing its message box.
    void InvalidValue() const;
    // Whether the window draws nothing itself (graphical or owner-drawn).
    bool OwnerDrawn() const;
    // Replaces `mask` bits of the window style by `bits` (a normal window only), then
    // refreshes.
    void SetStyleBits(DWORD mask, DWORD bits);
    // The next state of a click: 0 becomes 1, 1 and 2 become 0.
    void ClickCycle();
    void LookUpDispIds();
    void RaiseDrag(bool drop, IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                   float x, float y, int16_t state);

    // Set when the window is made for the first time: only then does the stored Value count
    // as a change (a re-created window keeps the state it had).
    bool windowMadeBefore_ = false;
    // The Value changes whose Click is being raised (old, new): a handler that makes the same
    // change again is not heard twice.
    std::vector<std::pair<int16_t, int16_t>> clicksRaising_;
    bool InResize = false;
    bool ThemeActive = false;
    UniqueAccel AccelHandle;
    int32_t AccelCounter = 0;
    DISPID DispIDValue = DISPID_UNKNOWN;
    DISPID DispIDMousePointer = DISPID_UNKNOWN;
    DISPID DispIDImageList = DISPID_UNKNOWN;
    std::vector<std::wstring> ImageListNames;

    int16_t PropValue = kUnchecked;
    std::wstring PropCaption;
    bool PropVisualStyles = true;
    int16_t PropMousePointer = 0;
    ComPtr<IPictureDisp> PropMouseIcon;
    bool PropMouseTrack = false;
    bool PropRightToLeft = false;
    int32_t PropRightToLeftMode = 1;
    std::wstring PropImageListName = L"(None)";
    int32_t PropImageListAlignment = 0;
    int32_t PropImageListMargin = 0;  // pixels
    int32_t PropAlignment = 0;
    int32_t PropTextAlignment = 0;
    int32_t PropVerticalAlignment = 1;
    bool PropPushLike = false;
    bool PropWordWrap = true;
    bool PropTransparent = false;
    int32_t PropStyle = 0;
    int32_t PropDrawMode = 0;
    ComPtr<IPictureDisp> PropPicture;
    ComPtr<IPictureDisp> PropDisabledPicture;
    ComPtr<IPictureDisp> PropDownPicture;
    bool PropUseMaskColor = false;
    OLE_COLOR PropMaskColor = 0xC0C0C0;
};

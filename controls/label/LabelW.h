// LabelW: a windowless, self-painted Unicode label.
//
// It owns no window: it paints its caption with DrawTextW on the form's surface when the
// host asks, sizes itself to its text on request, and reports the pointer entering and
// leaving it (MouseTrack) although no window of its own receives the mouse. It never takes
// the focus; its access key only keeps the host's access-key list current.
//
// Events (identifiers): Click (-600), DblClick (-601), Change (1), MouseEnter (2),
// MouseLeave (3), OLECompleteDrag(Effect) (4), OLEDragDrop(Data, Effect, Button, Shift, X, Y)
// (5), OLEDragOver(Data, Effect, Button, Shift, X, Y, State) (6),
// OLEGiveFeedback(Effect, DefaultCursors) (7), OLESetData(Data, DataFormat) (8),
// OLEStartDrag(Data, AllowedEffects) (9), MouseDown, MouseMove, MouseUp(Button, Shift, X, Y)
// (-605, -606, -607). Mouse X, Y are twips from the label's corner, drag X, Y container units.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <optional>
#include <string>

#include "controls/base/ComPtr.h"
#include "controls/base/FontWatch.h"
#include "host/ControlDescription.h"
#include "host/ControlSite.h"
#include "host/ControlTimer.h"
#include "host/HostedControl.h"
#include "host/PointerBrowsing.h"

class LabelW
    : public Host::ControlWithPartners<Host::PointerBrowsing, Host::ObjectSafetyReportsSafe> {
public:
    static constexpr wchar_t kTypeName[] = L"LabelW";
    // Identifiers of the label's own events.
    static constexpr DISPID kDispIdChange = 1;
    static constexpr DISPID kDispIdMouseEnter = 2;
    static constexpr DISPID kDispIdMouseLeave = 3;
    static constexpr DISPID kDispIdOLECompleteDrag = 4;
    static constexpr DISPID kDispIdOLEDragDrop = 5;
    static constexpr DISPID kDispIdOLEDragOver = 6;
    static constexpr DISPID kDispIdOLEGiveFeedback = 7;
    static constexpr DISPID kDispIdOLESetData = 8;
    static constexpr DISPID kDispIdOLEStartDrag = 9;
    // How often a tracked pointer is looked for.
    static constexpr uint32_t kMouseTrackInterval = 50;
    // The most paint messages Refresh dispatches.
    static constexpr int kRefreshPaintLimit = 16;

    LabelW();
    ~LabelW() override;

    // --- properties (setters raise ControlError 380 for a value out of range) ---------------
    ComPtr<IFontDisp> Font() const { return PropFont; }
    void SetFont(const ComPtr<IFontDisp>& font);  // none takes the container's font
    int32_t Appearance() const;
    void SetAppearance(int32_t value);  // 0 flat, 1 3-D
    OLE_COLOR BackColor() const;
    void SetBackColor(OLE_COLOR color);
    OLE_COLOR ForeColor() const;
    void SetForeColor(OLE_COLOR color);
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    int32_t OLEDropMode() const;
    void SetOLEDropMode(int32_t mode);  // 0 none, 1 manual
    int16_t MousePointer() const { return PropMousePointer; }
    void SetMousePointer(int16_t pointer);  // 0 to 16, 99 custom
    ComPtr<IPictureDisp> MouseIcon() const { return PropMouseIcon; }
    // None, an icon, or a picture without a handle; anything else is refused (a message box
    // while designing, error 380 at run time).
    void SetMouseIcon(const ComPtr<IPictureDisp>& icon);
    bool MouseTrack() const { return PropMouseTrack; }
    void SetMouseTrack(bool track);
    bool RightToLeft() const { return PropRightToLeft; }
    void SetRightToLeft(bool value);
    int32_t RightToLeftMode() const { return PropRightToLeftMode; }
    void SetRightToLeftMode(int32_t mode);  // 0 to 4
    int32_t Alignment() const { return PropAlignment; }
    void SetAlignment(int32_t value);  // 0 left, 1 right, 2 centre
    int32_t BorderStyle() const { return PropBorderStyle; }
    void SetBorderStyle(int32_t value);  // 0 to 4
    int32_t BackStyle() const;
    void SetBackStyle(int32_t style);  // 0 transparent, 1 opaque
    const std::wstring& Caption() const { return PropCaption; }
    void SetCaption(const std::wstring& caption);  // raises Change when the text differs
    const std::wstring& Default() const { return Caption(); }
    void SetDefault(const std::wstring& caption) { SetCaption(caption); }
    bool UseMnemonic() const { return PropUseMnemonic; }
    void SetUseMnemonic(bool value);
    bool AutoSize() const { return PropAutoSize; }
    void SetAutoSize(bool value);
    bool WordWrap() const { return PropWordWrap; }
    void SetWordWrap(bool value);
    int32_t EllipsisFormat() const { return PropEllipsisFormat; }
    void SetEllipsisFormat(int32_t value);  // 0 none, 1 end, 2 path, 3 word
    int32_t VerticalAlignment() const { return PropVerticalAlignment; }
    void SetVerticalAlignment(int32_t value);  // 0 top, 1 centre, 2 bottom
    // The caption as last painted, with the ellipsis the system put in.
    std::wstring DisplayedCaption() const { return DisplayedCaptionBuffer; }

    // --- the extender's, forwarded (container units: twips) --------------------------------
    std::wstring Name() const;
    std::wstring Tag() const;
    void SetTag(const std::wstring& tag);
    float Left() const;
    void SetLeft(float value);
    float Top() const;
    void SetTop(float value);
    float Width() const;
    void SetWidth(float value);
    float Height() const;
    void SetHeight(float value);
    bool Visible() const;
    void SetVisible(bool visible);
    std::wstring ToolTipText() const;
    void SetToolTipText(const std::wstring& text);
    int32_t WhatsThisHelpID() const;
    void SetWhatsThisHelpID(int32_t id);
    ComPtr<IPictureDisp> DragIcon() const;
    void SetDragIcon(const ComPtr<IPictureDisp>& icon);
    int32_t DragMode() const;
    void SetDragMode(int32_t mode);
    void Drag(std::optional<int16_t> action);
    void ZOrder(std::optional<int16_t> position);

    // --- methods -------------------------------------------------------------------------
    // Sizes the label when that is pending, then paints it at once.
    void Refresh();
    // Starts an OLE drag with the label as its source; the effect of the drop.
    int32_t OLEDrag();

    // --- host ----------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    Host::SiteKind Kind() const override { return Host::SiteKind::Windowless; }
    void Initialize() override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Terminate() override;
    void Resize() override;
    void Paint(const Host::PaintSurface& surface) override;
    // Every point of the rectangle is the label's, transparent or not.
    bool HitTest(int x, int y) override;
    void MouseDown(int16_t button, int16_t shift, int x, int y) override;
    void MouseMove(int16_t button, int16_t shift, int x, int y) override;
    void MouseUp(int16_t button, int16_t shift, int x, int y) override;
    void Click() override;
    void DblClick() override;
    // Static text, named by its caption as shown (access-key marks taken out).
    long AccessibleRole() const override;
    std::wstring AccessibleName() const override;
    void OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y, int16_t state) override;
    void OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                     float y) override;
    void OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) override;
    void OLESetData(Host::DataObject& data, int16_t& format) override;
    void OLEGiveFeedback(int32_t& effect, bool& defaultCursors) override;
    void OLECompleteDrag(int32_t& effect) override;

    // Property browsing: MousePointer's names and values.
    DISPID BrowsedPointerDispId() const override { return DispIDMousePointer; }
    int16_t BrowsedPointer() const override { return PropMousePointer; }

    // The font object changed inside (size, bold, ...).
    void FontChanged();

private:
    UINT TextFormat() const;
    void Redraw();
    void AutoSizeTo(HDC dc);
    void ApplyMousePointer();
    void ApplyAccessKeys();
    void ApplyFont(IFontDisp* font);
    void MouseTrackTick();
    bool PointerOnLabel(DWORD messagePos) const;
    float TwipsX(int pixels) const;
    float TwipsY(int pixels) const;
    void RaiseMouse(const Host::EventInfo& event, int16_t button, int16_t shift, int x, int y);
    void RaiseDrag(bool drop, IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                   float x, float y, int16_t state);
    void LookUpDispIds();

    ComPtr<IFontDisp> PropFont;
    int16_t PropMousePointer = 0;
    ComPtr<IPictureDisp> PropMouseIcon;
    bool PropMouseTrack = false;
    bool PropRightToLeft = false;
    int32_t PropRightToLeftMode = 1;
    int32_t PropAlignment = 0;
    int32_t PropBorderStyle = 0;
    std::wstring PropCaption;
    bool PropUseMnemonic = true;
    bool PropAutoSize = false;
    bool PropWordWrap = false;
    int32_t PropEllipsisFormat = 0;
    int32_t PropVerticalAlignment = 0;

    std::wstring DisplayedCaptionBuffer;
    bool AutoSizePending = false;
    bool InAutoSize = false;
    bool InResize = false;
    bool MouseOver = false;
    DWORD LastMousePos = 0;
    bool DesignMode = false;
    DISPID DispIDMousePointer = DISPID_UNKNOWN;
    Host::ControlTimer TimerMouseTrack;
    FontWatch fontWatch_;  // follows PropFont's own changes
};

// ControlSite: the place of one control on a form, and every service the host gives it.
//
// Lengths: the control's own window and drawing surface are in pixels; the extender's
// placement is in container units, which are twips on forms.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlHost.h"
#include "host/Events.h"
#include "host/HostedControl.h"
#include "host/Layout.h"
#include "host/PropertyStore.h"
#include "host/Units.h"

namespace Host {

class ClientSite;
class DispatchObject;
class ControlObject;
class DropTarget;
class ControlSite;
class Form;

// Ambient values of the container, as a control reads them.
class Ambient {
public:
    explicit Ambient(const ControlSite& site) : site_(site) {}
    // True at run time, false while the form is being designed.
    bool UserMode() const;
    // A copy of the form's font, the control's to keep and change.
    ComPtr<IFontDisp> Font() const;
    bool RightToLeft() const;
    // The name the form gave this instance.
    std::wstring DisplayName() const;
    // True for the button that Return presses now: the focused default-or-cancel control,
    // else the form's default button.
    bool DisplayAsDefault() const;
    OLE_COLOR BackColor() const;
    OLE_COLOR ForeColor() const;

private:
    const ControlSite& site_;
};

// The container's members for the control: placement and standard members, in container
// units (twips).
class Extender {
public:
    explicit Extender(ControlSite& site) : site_(site) {}

    const std::wstring& Name() const;
    Form& Parent() const;
    Form& Container() const;  // controls sit directly on their form
    std::wstring Tag() const;
    void SetTag(std::wstring_view tag);

    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    void SetLeft(double twips);
    void SetTop(double twips);
    void SetWidth(double twips);
    void SetHeight(double twips);
    // Moves and sizes in one step; an omitted value (NaN) keeps the current one.
    void Move(double left, double top = kKeep, double width = kKeep, double height = kKeep);
    static constexpr double kKeep = std::numeric_limits<double>::quiet_NaN();

    bool Visible() const;
    void SetVisible(bool visible);
    // The control's Enabled (HostedControl::Enabled, by default the host-kept flag).
    bool Enabled() const;
    void SetEnabled(bool enabled);

    std::wstring ToolTipText() const;
    void SetToolTipText(std::wstring_view text);
    int32_t HelpContextID() const;
    void SetHelpContextID(int32_t id);
    int32_t WhatsThisHelpID() const;
    void SetWhatsThisHelpID(int32_t id);
    ComPtr<IPictureDisp> DragIcon() const;
    void SetDragIcon(IPictureDisp* icon);
    int32_t DragMode() const;
    void SetDragMode(int32_t mode);  // 0 manual, 1 automatic; error 380 otherwise
    bool CausesValidation() const;
    void SetCausesValidation(bool value);
    bool DataChanged() const;
    void SetDataChanged(bool value);

    int16_t TabIndex() const;
    // Moves the control to that place in the tab order; the others are renumbered.
    void SetTabIndex(int16_t index);
    bool TabStop() const;
    void SetTabStop(bool value);
    // The form's default (Return) and cancel (Escape) buttons; one each per form.
    bool Default() const;
    void SetDefault(bool value);
    bool Cancel() const;
    void SetCancel(bool value);

    // Manual drag: 0 cancel, 1 begin, 2 end (drop where the pointer is). The target gets
    // DragOver(Source, X, Y, State) while dragging and DragDrop(Source, X, Y) at the drop.
    void Drag(int32_t action = 1);
    // Gives the control the focus, validating the focused control first when this one
    // causes validation; ControlError 5 when the control cannot take the focus.
    void SetFocus();
    // 0 brings the control to the front, 1 sends it to the back.
    void ZOrder(int32_t position = 0);

private:
    ControlSite& site_;
};

// How the shared control helpers (controls/base/Common) see a sited control: as a member of
// its container's list, and as a user control whose container is its form.
class SiteIdentity final : public ControlHost::IControl, public ControlHost::IUserControl {
public:
    explicit SiteIdentity(const ControlSite& site) : site_(site) {}
    std::wstring TypeName() const override;
    std::wstring Name() const override;
    std::optional<int32_t> Index() const override { return std::nullopt; }  // no control arrays
    ControlHost::IContainer* Container() const override;

private:
    const ControlSite& site_;
};

class ControlSite {
public:
    ControlSite(Form& form, const Layout::ControlLayout& layout, ComPtr<ControlObject> object,
                std::wstring typeName);
    ~ControlSite();
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // --- identity ------------------------------------------------------------------------
    const std::wstring& Name() const { return name_; }
    const std::wstring& TypeName() const { return typeName_; }
    Form& Parent() const { return form_; }
    HostedControl& Control() const;
    // The control's COM identity (the framework object).
    IUnknown* Object() const;
    bool Windowless() const { return kind_ == SiteKind::Windowless; }

    // --- windows and sizes ---------------------------------------------------------------
    // The user control window (null for a windowless control).
    HWND Hwnd() const { return hwnd_; }
    // The form's window: a windowless control paints into it and gets its mouse input.
    HWND ContainerHwnd() const;
    // Where the control is in the form's client area, in pixels.
    RECT Bounds() const;
    // Inner size in pixels.
    int ScaleWidth() const;
    int ScaleHeight() const;

    Ambient GetAmbient() const { return Ambient(*this); }
    Extender GetExtender() { return Extender(*this); }
    // The extender as a late-bound object (IDispatch): the members of Extender, Object (the
    // control itself), and every other name passed on to the control. What the client site's
    // GetExtendedControl gives; it fails with E_UNEXPECTED once the site has ended.
    ComPtr<IDispatch> ExtenderObject();

    // --- host-kept settings (the control forwards these and reads them back) ---------------
    int32_t Appearance() const { return appearance_; }
    void SetAppearance(int32_t value);  // 0 flat, 1 3-D; error 380 otherwise
    OLE_COLOR BackColor() const { return backColor_; }
    void SetBackColor(OLE_COLOR color);
    OLE_COLOR ForeColor() const { return foreColor_; }
    void SetForeColor(OLE_COLOR color);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);  // also enables the user control window
    int32_t OLEDropMode() const { return oleDropMode_; }
    // 0 none, 1 manual (the control hears OLEDragOver and OLEDragDrop); error 380 otherwise.
    void SetOLEDropMode(int32_t mode);
    bool RightToLeft() const { return rightToLeft_; }
    void SetRightToLeft(bool value);
    int32_t BackStyle() const { return backStyle_; }
    void SetBackStyle(int32_t style);  // 0 transparent, 1 opaque; error 380 otherwise
    int16_t MousePointer() const { return mousePointer_; }
    void SetMousePointer(int16_t pointer);  // 0 to 16 or 99; error 380 otherwise
    ComPtr<IPictureDisp> MouseIcon() const { return mouseIcon_; }
    void SetMouseIcon(IPictureDisp* icon);
    // The font the host selects for painting; none means the form's font.
    ComPtr<IFontDisp> Font() const;
    void SetFont(IFontDisp* font);
    // The access keys that route a mnemonic to the framework's own handling
    // (AccessKeyPress): each character is one key, pressed with Alt.
    const std::wstring& AccessKeys() const { return accessKeys_; }
    void SetAccessKeys(std::wstring_view keys);

    // --- services --------------------------------------------------------------------------
    PropertyStore& Properties() { return store_; }
    // The control's change notification: marks the store dirty.
    void PropertyChanged(std::wstring_view name) { store_.PropertyChanged(name); }
    // Repaints the control (its window, or its rectangle of the form).
    void Refresh();
    // Length conversion along one axis.
    double ScaleX(double value, Units::Unit from, Units::Unit to) const {
        return Units::Convert(value, from, to, Units::Axis::X);
    }
    double ScaleY(double value, Units::Unit from, Units::Unit to) const {
        return Units::Convert(value, from, to, Units::Axis::Y);
    }
    // The other controls of the form, in creation order (this one included).
    const std::vector<ControlSite*>& Siblings() const;
    // The same list as the shared helpers take it (ImageListPredefinedStrings).
    std::vector<const ControlHost::IControl*> SiblingControls() const;
    // This control for the shared helpers (TopUserControl, ValidateTopParent, ControlName).
    ControlHost::IControl& AsControl() { return identity_; }
    ControlHost::IUserControl& AsUserControl() { return identity_; }
    // The OLE client site (IOleClientSite, IOleControlSite, IOleInPlaceSite, ambient
    // IDispatch) that the framework object knows.
    IOleClientSite* ClientSite() const;
    // Asks the form to validate its focused control: ControlError 380 when it refuses.
    void ValidateTopParent();
    // Starts an OLE drag with the control as its source (OLEStartDrag, OLESetData,
    // OLEGiveFeedback, OLECompleteDrag); returns the effect of the drop (DROPEFFECT_...).
    // The thread's OLE must be initialised (OleInitialize).
    int32_t OLEDrag();

    // Raises an event to the owner. By-reference arguments are written back into the
    // control's variables when the handlers return. Nothing is delivered while the container
    // has frozen the control's events.
    void RaiseEvent(std::wstring_view name, DISPID id, std::span<EventArg> args = {});
    template <class... A>
    void RaiseEvent(std::wstring_view name, DISPID id, EventArg first, A&&... rest) {
        std::array<EventArg, 1 + sizeof...(A)> args{std::move(first), std::forward<A>(rest)...};
        RaiseEvent(name, id, std::span<EventArg>(args));
    }

    // --- used by the form ------------------------------------------------------------------
    void Create();                 // the window and the client site
    void Load(bool fromLayout);    // Initialize, Read/InitProperties, Resize
    void Terminate();              // Terminate, windows gone, COM links cut
    Layout::ControlLayout Save();  // WriteProperties into a fresh store
    const Layout::ControlLayout& StoredLayout() const { return layout_; }
    Layout::ControlLayout& EditLayout() { return layout_; }  // tab index, default, cancel
    int32_t FreezeCount() const;
    bool CanTakeFocus() const;  // windowed, able, visible and enabled
    bool ContainsWindow(HWND hwnd) const;
    void NotifyAmbientChanged(DISPID id);
    void UpdatePlacement();  // the window follows the extender's twips
    LRESULT UserControlProc(UINT msg, WPARAM wParam, LPARAM lParam);
    HFONT PaintFont() const;    // a font handle owned by the font object
    bool ApplyPointer() const;  // sets the cursor of MousePointer; false for 0

private:
    friend class Extender;
    friend class Ambient;

    Form& form_;
    SiteIdentity identity_{*this};
    Layout::ControlLayout layout_;  // placement and extender settings (twips), kept current
    ComPtr<ControlObject> object_;
    ComPtr<Host::ClientSite> clientSite_;
    ComPtr<DropTarget> dropTarget_;  // registered with the window while OLEDropMode is 1
    std::wstring name_;
    std::wstring typeName_;
    ComPtr<DispatchObject> extenderObject_;
    SiteKind kind_ = SiteKind::Windowed;
    HWND hwnd_ = nullptr;
    PropertyStore store_;

    int32_t appearance_ = 1;
    OLE_COLOR backColor_ = 0x8000000F;
    OLE_COLOR foreColor_ = 0x80000012;
    bool enabled_ = true;
    int32_t oleDropMode_ = 0;
    bool rightToLeft_ = false;
    int32_t backStyle_ = 1;
    int16_t mousePointer_ = 0;
    ComPtr<IPictureDisp> mouseIcon_;
    ComPtr<IFontDisp> font_;
    std::wstring accessKeys_;
    ComPtr<IPictureDisp> dragIcon_;
    bool dataChanged_ = false;
    bool loaded_ = false;
};

}  // namespace Host

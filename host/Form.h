// Form: a top-level window of class "ThunderRT6FormDC" built from a stored layout.
//
// Life: construct from a layout (nothing is created yet), register handlers, then Show
// (which loads first: the window and the controls are created, the load handler runs while
// the window is still hidden). A modal show runs the message loop until the form is hidden
// or closed. Unload destroys the controls and the window; the object stays and can be loaded
// again. Closing the window with its close button unloads it.
//
// Events go to handlers registered by control name and event name:
//   the form itself (OnForm): Load is OnLoad; QueryUnload(Cancel, UnloadMode),
//     Unload(Cancel), Activate, Deactivate, Resize, DragOver(Source, X, Y, State),
//     DragDrop(Source, X, Y);
//   the extender of every control: Validate(Cancel), GotFocus, LostFocus,
//     DragOver(Source, X, Y, State), DragDrop(Source, X, Y);
//   and whatever each control raises.
// Cancel arguments are by reference: a handler sets them to refuse.
//
// Painting: the form paints its background and then its windowless controls, back to front,
// each into its own rectangle. WM_PRINTCLIENT (the background with PRF_ERASEBKGND) and WM_PAINT
// with a device context in wParam (always with the background) paint into that context,
// keeping its origin and clipping, so a control or a test can copy any part of the form into
// a memory bitmap; windowed controls are windows of their own and are not included.
//
// Keyboard (while any form is loaded, whatever loop dispatches the messages): the focused
// control's in-place active object gets every key message first (TranslateAccelerator,
// through the hooks of VTableHandle); then Tab and Shift+Tab move the focus in tab-index
// order, Return and Escape go to the default and cancel buttons (unless the focused control
// says it eats them), and Alt with a control's access key goes to its mnemonic handling.
// Moving the focus to a control that causes validation first asks the focused one
// (Validate); a refusal keeps the focus where it is.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/base/ControlHost.h"
#include "host/ControlSite.h"
#include "host/Events.h"
#include "host/Layout.h"

namespace Host {

class DispatchObject;
class DropTarget;
class FormFrame;

enum class ShowMode { Modeless, Modal };

// QueryUnload's UnloadMode.
inline constexpr int32_t kUnloadFromControlMenu = 0;
inline constexpr int32_t kUnloadFromCode = 1;

class Form final : public ControlHost::IContainer {
public:
    // The window class of every form (the single-instance test finds the main window by it).
    static constexpr wchar_t kWindowClass[] = L"ThunderRT6FormDC";

    explicit Form(Layout::FormLayout layout);
    // Parses a layout; Layout::LayoutError when it is malformed.
    static std::unique_ptr<Form> FromText(std::string_view text, std::string_view fileName);
    // A layout stored as a resource of `module` (UTF-8 text, RCDATA by default).
    static std::unique_ptr<Form> FromResource(HMODULE module, const wchar_t* name,
                                              const wchar_t* type = RT_RCDATA);
    ~Form();  // unloads without asking the handlers
    // Deleting a form from one of its own handlers (or while its modal show runs) unloads it
    // at once, as Unload does, but the controls, the window and the object go only once
    // nothing of the form is on the stack any more.
    static void operator delete(Form* form, std::destroying_delete_t);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // --- handlers --------------------------------------------------------------------------
    void OnLoad(std::function<void()> handler) { loadHandler_ = std::move(handler); }
    void On(std::wstring_view controlName, std::wstring_view eventName, EventHandler handler);
    void OnForm(std::wstring_view eventName, EventHandler handler);
    // Every event of the form and its controls, after the specific handlers (for logging
    // and tests).
    void OnAnyEvent(EventHandler handler) { anyHandlers_.push_back(std::move(handler)); }

    // --- life ------------------------------------------------------------------------------
    // Creates the window (hidden) and the controls, then runs the load handler. Throws
    // Layout::LayoutError when a control's type is unknown or its stored properties are
    // refused (the file and line of the control); the form is then not loaded.
    void Load();
    // Shows the form, loading it first. Modal: disables the thread's other windows (and
    // `owner`) and returns when the form is hidden, closed or unloaded.
    void Show(ShowMode mode = ShowMode::Modeless, HWND owner = nullptr);
    void Hide();
    // QueryUnload and Unload (UnloadMode 1), then the controls and the window go. False
    // when a handler refused. Unloading a form that is not loaded does nothing.
    bool Unload();
    bool Loaded() const { return loaded_; }
    bool Visible() const { return hwnd_ && IsWindowVisible(hwnd_); }
    HWND Hwnd() const { return hwnd_; }

    // --- properties --------------------------------------------------------------------------
    const std::wstring& Name() const { return name_; }
    // The form as a late-bound object (IDispatch, type name = the form's name): Name, Caption,
    // hWnd, Visible, ScaleWidth, ScaleHeight, BackColor, ForeColor, ActiveControl (the
    // extender of the focused control, or Nothing), and the methods Hide and
    // ValidateControls. What the extenders' Parent and Container give; it fails with
    // E_UNEXPECTED once the Form object is gone.
    ComPtr<IDispatch> Object();
    std::wstring Caption() const;
    void SetCaption(std::wstring_view caption);
    ComPtr<IFontDisp> Font() const;
    bool RightToLeft() const { return layout_.rightToLeft; }
    OLE_COLOR BackColor() const { return static_cast<OLE_COLOR>(layout_.backColor); }
    OLE_COLOR ForeColor() const { return static_cast<OLE_COLOR>(layout_.foreColor); }
    // Run time (true) or design time (false): the controls' ambient UserMode. Changing it on a
    // loaded form tells every control (AmbientChanged("UserMode")).
    bool UserMode() const { return userMode_; }
    void SetUserMode(bool userMode);
    // Makes the form's window a child of `parent` (a property page inside its frame): no
    // border or caption, at (0, 0) with the layout's client size. Set it before loading.
    void SetParentWindow(HWND parent) { parentWindow_ = parent; }
    HWND ParentWindow() const { return parentWindow_; }
    // Inner size of the window in twips.
    double ScaleWidth() const;
    double ScaleHeight() const;

    // --- controls ----------------------------------------------------------------------------
    // ControlError 730 when there is no control of that name.
    ControlSite& Site(std::wstring_view name) const;
    ControlSite* FindSite(std::wstring_view name) const;
    template <class T>
    T& ControlAs(std::wstring_view name) const {
        T* control = dynamic_cast<T*>(&Site(name).Control());
        if (!control) ControlErrors::Raise(ControlErrors::kTypeMismatch);
        return *control;
    }
    // In creation order.
    const std::vector<ControlSite*>& Controls() const { return order_; }
    // A new instance of a registered type on a loaded form (InitProperties), placed in twips
    // and last in the tab order.
    ControlSite& AddControl(std::wstring_view typeName, std::wstring_view name, int32_t left,
                            int32_t top, int32_t width, int32_t height);
    // Takes a control off a loaded form (ControlError 730 when there is none of that name):
    // it leaves the lists at once; its windows go once every event in progress has returned,
    // since a handler of its own may be what removes it.
    void RemoveControl(std::wstring_view name);
    // The control that has (or last had) the focus; null when none did.
    ControlSite* ActiveControl() const;
    // Asks the focused control whether it lets the focus go (Validate); ControlError 380 when
    // it refuses. The focus stays where it is either way.
    void ValidateControls() override;
    // As a container of the shared helpers: a form, not a user control, without a COM
    // identity of its own.
    ControlHost::IUserControl* AsUserControl() override { return nullptr; }
    bool IsForm() const override { return true; }
    IUnknown* Unknown() override { return nullptr; }
    // The current layout: the form's settings and every control's placement and stored
    // properties (each control writes them afresh; values equal to their defaults are left
    // out). Requires a loaded form.
    Layout::FormLayout SaveLayout();
    const Layout::FormLayout& StoredLayout() const { return layout_; }

    // --- used by the sites, the keyboard routing and the window procedures -----------------
    static Form* FromWindow(HWND hwnd);
    // The innermost form whose window is `hwnd` or holds it (a page's form inside a frame
    // before the frame's own form).
    static Form* Containing(HWND hwnd);
    ControlSite* SiteOfWindow(HWND hwnd) const;  // the site whose window holds `hwnd`
    ControlSite* FocusedSite() const;            // from the focus window
    std::vector<ControlSite*> TabOrder() const;  // by tab index, then creation order
    void RenumberTabIndex(ControlSite& site, int16_t index);
    bool MoveFocusTo(ControlSite& site);  // with validation; false when refused
    bool TabFocus(bool forward);
    bool ValidateSite(ControlSite& site);  // false when its Validate refused
    void OnSiteFocus(ControlSite& site);   // the focus entered a control
    void OnControlInfoChanged(ControlSite& site);
    int ControlInfoChanges() const { return controlInfoChanges_; }
    // The in-place active object registered for the site (registered now if it is not);
    // borrowed from the frame: the active-object wrapper must have no other holder.
    IOleInPlaceActiveObject* ActiveObjectFor(ControlSite& site);
    ControlSite* DisplayedDefault() const;
    ControlSite* DefaultSite() const;
    ControlSite* CancelSite() const;
    void SetDefaultSite(ControlSite* site);
    void SetCancelSite(ControlSite* site);
    void RaiseEvent(ControlSite* source, std::wstring_view name, DISPID id,
                    std::span<EventArg> args);
    IOleInPlaceFrame* Frame() const;
    void InvalidateSite(const ControlSite& site);
    void ZOrder(ControlSite& site, int32_t position);
    void UpdateToolTip(ControlSite& site);
    void RelayToolTipMessage(const MSG& msg);
    ControlSite* WindowlessAt(POINT client) const;
    void UpdateWindowlessDropTarget();  // registered while a windowless control wants drops
    void BeginDrag(ControlSite& site);
    // Ends a manual drag: dropping at `screen` (else where the pointer is), or cancelled.
    void EndDrag(bool drop, const POINT* screen = nullptr);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Events raised at the moment, across all forms: teardown waits until none is.
    static int EventDepth();

private:
    void CreateWindowFromLayout();
    ControlSite& CreateSite(const Layout::ControlLayout& layout, bool fromLayout);
    void Teardown();
    void DeferTeardown();
    bool QueryUnloadAndUnload(int32_t mode);
    void ApplyDefaultAndCancel();
    void UpdateDisplayAsDefault();
    void PaintBackground(HDC dc);
    // The form's client area into a given context (WM_PRINTCLIENT, WM_PAINT with a context):
    // the background when asked, then the windowless controls.
    void PaintInto(HDC dc, bool erase);
    void PaintWindowless(HDC dc, const RECT& update);
    bool RouteMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    void DragTrack(POINT screen, bool drop);
    void RaiseDrag(std::optional<ControlSite*> target, POINT client, bool drop, int16_t state);
    void RestoreFocus();
    void TerminateRemoved();

    Layout::FormLayout layout_;
    std::wstring name_;
    HWND hwnd_ = nullptr;
    HWND toolTip_ = nullptr;
    bool loaded_ = false;
    bool unloadPending_ = false;
    bool deletePending_ = false;
    int modalLoops_ = 0;
    bool userMode_ = true;
    HWND parentWindow_ = nullptr;
    ComPtr<IFontDisp> font_;
    ComPtr<FormFrame> frame_;
    ComPtr<DropTarget> dropTarget_;  // for the windowless controls
    ComPtr<DispatchObject> object_;
    std::vector<std::unique_ptr<ControlSite>> sites_;
    std::vector<std::unique_ptr<ControlSite>> removed_;  // waiting for the events to return
    std::vector<ControlSite*> order_;                    // creation order
    std::vector<ControlSite*> paintOrder_;               // windowless, back to front
    ControlSite* activeSite_ = nullptr;
    ControlSite* defaultSite_ = nullptr;
    ControlSite* cancelSite_ = nullptr;
    ControlSite* displayedDefault_ = nullptr;
    ControlSite* mouseSite_ = nullptr;  // windowless control holding the mouse
    int16_t mouseButtons_ = 0;
    ControlSite* dragSite_ = nullptr;
    std::optional<ControlSite*> dragTarget_;  // null: the form itself
    HWND lastFocus_ = nullptr;
    bool validating_ = false;
    int controlInfoChanges_ = 0;
    std::function<void()> loadHandler_;
    std::map<std::wstring, std::vector<EventHandler>> handlers_;  // "CONTROL|EVENT"
    std::vector<EventHandler> anyHandlers_;
};

}  // namespace Host

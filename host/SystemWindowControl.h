// SystemWindowControl: a control over a system window.
//
// The control's user control window (the site's window) holds one system window (a button,
// a rich edit...) sized to fill it. The skeleton owns that window and its font, subclasses
// both windows through ComCtlsBase (reference value 1 for the system window, 2 for the user
// control window), hands the focus from the user control window to the system window,
// re-creates the system window keeping its state while the screen is locked, and destroys
// it when the control terminates (subclasses removed, hidden and taken out of the user
// control window first, so nothing the destruction sends reaches the control). It also gives
// the members every such control has: hWndUserControl, Refresh, Font (following the font
// object's own changes), VisualStyles, and the resizing that follows the container.
//
// A control derives from SystemWindowControl<Partners...> (the partner interfaces it answers
// besides ISubclass) and supplies DescribeWindow; the hooks below let it add what a style
// cannot say. It creates the window at the end of InitProperties / ReadProperties with
// CreateSystemWindow(). Lives in the host layer because it is built on the site.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "controls/base/ComPtr.h"
#include "controls/base/FontWatch.h"
#include "controls/base/Handles.h"
#include "controls/base/ISubclass.h"
#include "host/ControlDescription.h"
#include "host/ControlSite.h"
#include "host/HostedControl.h"
#include "host/Variant.h"

namespace Host {

// The keys every control over a system window stores alike (ReadFontKey, ReadPointerKeys).
inline constexpr StoredKey kFontKey{L"Font", StoredType::Font, 0, {}};
inline constexpr StoredKey kMousePointerKey = Int16Key(L"MousePointer", 0);
inline constexpr StoredKey kMouseIconKey{L"MouseIcon", StoredType::Picture, 0, {}};
inline constexpr StoredKey kMouseTrackKey = BoolKey(L"MouseTrack", false);
inline constexpr StoredKey kRightToLeftKey = BoolKey(L"RightToLeft", false);
inline constexpr StoredKey kRightToLeftModeKey = Int32Key(L"RightToLeftMode", 1);

// The system window a control wants: WS_CHILD and WS_VISIBLE are added to `style`.
struct WindowShape {
    const wchar_t* className = nullptr;  // null: no window can be made now
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring text;
};

// The non-template part of the skeleton.
class SystemWindow {
public:
    static constexpr DWORD_PTR kRefSystemWindow = 1;
    static constexpr DWORD_PTR kRefUserControl = 2;
    // The user control window while the form is being designed (a control that draws itself
    // there); SubclassWindows decides whether it is used.
    static constexpr DWORD_PTR kRefDesignTime = 3;

    SystemWindow(const SystemWindow&) = delete;
    SystemWindow& operator=(const SystemWindow&) = delete;

    // The system window; null while none exists.
    HWND hWnd() const { return hwnd_; }

protected:
    SystemWindow(HostedControl& control, ISubclass& receiver)
        : control_(control), receiver_(receiver) {}
    virtual ~SystemWindow() = default;

    // ---- what the control supplies ----------------------------------------------------------
    virtual WindowShape DescribeWindow() = 0;
    // The new window has its font, enabled state and subclasses: set what its style cannot
    // say (check state, content, access keys).
    virtual void WindowCreated() {}
    // The window is about to go, its subclasses already removed: cut loose what it could
    // still call into the control with (callback objects, input contexts).
    virtual void WindowClosing() {}
    // The window and its font are gone (called also when none could be made).
    virtual void WindowDestroyed() {}
    // Called before a re-creation while the old window exists; the returned procedure puts
    // the state into the new window (hWnd() may be null if none could be made).
    virtual std::function<void()> KeepWindowState() { return {}; }
    // Messages of the two subclassed windows; pass on what is not fully handled (the
    // default for the user control window hands the focus to the system window).
    virtual LRESULT SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT UserControlWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DesignTimeWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Subclasses the new window (reference value 1) and the user control window (2); a
    // control that leaves the designer's mouse alone overrides it. Called before
    // WindowCreated.
    virtual void SubclassWindows();

    // Repaints the user control window with the system window (the template's Refresh member;
    // a control that caches paint objects drops them first).
    virtual void Refresh() = 0;
    // Applies PropRightToLeft as the control reads it (the template's RightToLeft member).
    virtual void SetRightToLeft(bool value) = 0;
    // Whether the form is being designed: refused values then show a message box.
    virtual bool Designing() const;

    // ---- what the skeleton does ---------------------------------------------------------------
    void CreateSystemWindow();
    void DestroySystemWindow();
    // Destroys and creates the window again (styles only a new window takes), keeping what
    // KeepWindowState keeps and the focus, without showing the swap.
    void ReCreateSystemWindow();
    // Follows the control's font (the container's when it has none), and with a window makes
    // a GDI font from it, sets it into the window, then deletes the previous one.
    void ApplyFont();
    // The window fills the user control window.
    void FitSystemWindow();
    // After the container resized the user control window: where the screen's scale is not
    // the container's, a pixel's move there and back lets it settle the size in its own units;
    // then the window fills it.
    void ResizeSystemWindow();
    void RefreshWindows();
    ComPtr<IFontDisp> ControlFont() const;
    // None takes the container's font.
    void SetControlFont(ComPtr<IFontDisp> font);
    // Themed or classic look of the window, where themes draw.
    void SetControlVisualStyles(bool value);
    // The stored font, or none stored: a copy of the container's, so that a change made
    // through the control's font object never changes the container's.
    void ReadFontKey(const PropertyStore& store);
    // None while the font equals the container's.
    void WriteFontKey(PropertyStore& store) const;
    // MousePointer, MouseIcon, MouseTrack, RightToLeft (applied when set) and RightToLeftMode.
    void ReadPointerKeys(const PropertyStore& store);
    void WritePointerKeys(PropertyStore& store) const;
    // A value a setter refuses: error 380 at run time; while designing its message box.
    void InvalidValue() const;
    void SetControlMousePointer(int16_t value);  // 0 to 16 or 99; error 380 otherwise
    // None, an icon, or an empty picture; anything else is refused.
    void SetControlMouseIcon(ComPtr<IPictureDisp> icon);
    void SetControlMouseTrack(bool value);
    void SetControlRightToLeftMode(int32_t value);  // 0 to 4; error 380 otherwise
    // Sets the cursor of MousePointer (MouseIcon for 99); false leaves it to the window.
    bool ApplyMousePointer() const;
    // Raises a mouse event for a message's key flags and client position (X, Y in twips).
    void RaiseMouseEvent(const EventInfo& event, int16_t button, WPARAM wParam, LPARAM lParam);
    // The control's Enabled: the host-kept flag, mirrored by the window.
    bool SystemWindowEnabled() const;
    void SetSystemWindowEnabled(bool enabled);
    LRESULT RouteMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR refData);

    bool PropVisualStyles = true;
    int16_t PropMousePointer = 0;
    ComPtr<IPictureDisp> PropMouseIcon;
    bool PropMouseTrack = false;
    bool PropRightToLeft = false;
    // How RightToLeft is settled: 0 as given, 1 the container's, 2/3/4 the system's, the
    // user's or the user interface's language.
    int32_t PropRightToLeftMode = 1;

private:
    // The font object changed inside (Font.Bold = True): the window takes it again.
    void FontObjectChanged();

    HostedControl& control_;
    ISubclass& receiver_;
    HWND hwnd_ = nullptr;
    UniqueFont font_;  // outlives the window that uses it
    bool inResize_ = false;
    FontWatch fontWatch_{[this] { FontObjectChanged(); }};
};

template <class... Partners>
class SystemWindowControl : public ControlWithPartners<ISubclass, Partners...>,
                            public SystemWindow {
public:
    SystemWindowControl() : SystemWindow(*this, *this) {}

    // ---- members every control over a system window has -------------------------------------
    HWND hWndUserControl() const { return this->Site().Hwnd(); }
    void Refresh() override { RefreshWindows(); }
    ComPtr<IFontDisp> Font() const { return ControlFont(); }
    void SetFont(ComPtr<IFontDisp> font) { SetControlFont(std::move(font)); }
    bool VisualStyles() const { return PropVisualStyles; }
    void SetVisualStyles(bool value) { SetControlVisualStyles(value); }
    int16_t MousePointer() const { return PropMousePointer; }
    void SetMousePointer(int16_t value) { SetControlMousePointer(value); }
    ComPtr<IPictureDisp> MouseIcon() const { return PropMouseIcon; }
    void SetMouseIcon(ComPtr<IPictureDisp> icon) { SetControlMouseIcon(std::move(icon)); }
    bool MouseTrack() const { return PropMouseTrack; }
    void SetMouseTrack(bool value) { SetControlMouseTrack(value); }
    bool RightToLeft() const { return PropRightToLeft; }
    // The flag alone; a control whose window shows the reading order overrides it.
    void SetRightToLeft(bool value) override { PropRightToLeft = value; }
    int32_t RightToLeftMode() const { return PropRightToLeftMode; }
    void SetRightToLeftMode(int32_t value) { SetControlRightToLeftMode(value); }

    bool Enabled() const override { return SystemWindowEnabled(); }
    void SetEnabled(bool enabled) override { SetSystemWindowEnabled(enabled); }
    void Terminate() override { DestroySystemWindow(); }
    void Resize() override { ResizeSystemWindow(); }
    void AmbientChanged(std::wstring_view name) override {
        if (hWnd() && (name.empty() || name == L"Font")) ApplyFont();
    }
    LRESULT STDMETHODCALLTYPE Message(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      DWORD_PTR refData) override {
        return RouteMessage(hWnd, msg, wParam, lParam, refData);
    }

protected:
    // Raises a declared event with its arguments.
    template <class... A>
    void Raise(const EventInfo& event, A&&... args) {
        this->Site().RaiseEvent(event.name, event.id, std::forward<A>(args)...);
    }
    // For the user control window's messages: raises `event` when `msg` is the system
    // window's own notification `code` (a WM_COMMAND), and says whether it was.
    bool RaiseOnNotification(UINT msg, WPARAM wParam, LPARAM lParam, WORD code,
                             const EventInfo& event, LRESULT& result) {
        if (msg != WM_COMMAND || !hWnd() || reinterpret_cast<HWND>(lParam) != hWnd() ||
            HIWORD(wParam) != code) {
            return false;
        }
        result = 0;
        try {
            Raise(event);
        } catch (const ControlError&) {
            // A handler's error has nowhere to go from a window procedure.
        }
        return true;
    }
};

}  // namespace Host

#include "host/SystemWindowControl.h"

#include <olectl.h>
#include <uxtheme.h>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/ComPtr.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VisualStyles.h"

namespace Host {

void SystemWindow::CreateSystemWindow() {
    if (hwnd_) return;
    ComCtlsBase::InitCommonControlsClass(ICC_STANDARD_CLASSES);
    const WindowShape shape = DescribeWindow();
    if (!shape.className) return;
    ControlSite& site = control_.Site();
    hwnd_ = CreateWindowExW(shape.exStyle, shape.className, shape.text.c_str(),
                            WS_CHILD | WS_VISIBLE | shape.style, 0, 0, site.ScaleWidth(),
                            site.ScaleHeight(), site.Hwnd(), nullptr, GetModuleHandleW(nullptr),
                            nullptr);
    if (!hwnd_) return;
    ApplyFont();
    EnableWindow(hwnd_, control_.Enabled());
    SubclassWindows();
    WindowCreated();
}

void SystemWindow::SubclassWindows() {
    ComCtlsBase::InstallSubclass(hwnd_, &receiver_, kRefSystemWindow);
    ComCtlsBase::InstallSubclass(control_.Site().Hwnd(), &receiver_, kRefUserControl);
}

void SystemWindow::DestroySystemWindow() {
    if (control_.Sited() && control_.Site().Hwnd()) {
        ComCtlsBase::RemoveSubclass(control_.Site().Hwnd());
    }
    if (hwnd_) {
        ComCtlsBase::RemoveSubclass(hwnd_);
        WindowClosing();
        // Off the screen and out of the user control window before it goes: the focus, the
        // activation and the repaints the destruction causes never reach the control.
        ShowWindow(hwnd_, SW_HIDE);
        SetParent(hwnd_, nullptr);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    fontWatch_.Stop();
    font_.Reset();  // only once no window uses it
    WindowDestroyed();
}

void SystemWindow::ReCreateSystemWindow() {
    if (!hwnd_) return;
    const bool hadFocus = GetFocus() == hwnd_;
    // One paint of the finished window instead of the empty frame between the two.
    const bool locked = LockWindowUpdate(control_.Site().Hwnd()) != FALSE;
    const std::function<void()> restore = KeepWindowState();
    DestroySystemWindow();
    CreateSystemWindow();
    if (restore) restore();
    if (hadFocus && hwnd_) SetFocus(hwnd_);
    if (locked) LockWindowUpdate(nullptr);
}

void SystemWindow::ApplyFont() {
    ComPtr<IFontDisp> disp = ControlFont();
    fontWatch_.Watch(disp.Get());
    if (!hwnd_) return;
    ComPtr<IFont> font;
    if (disp) disp->QueryInterface(IID_IFont, font.PutVoid());
    UniqueFont made = Common::CreateGDIFont(font.Get());
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(made.Get()), TRUE);
    font_ = std::move(made);
}

void SystemWindow::FontObjectChanged() {
    if (!control_.Sited()) return;
    ApplyFont();
    control_.Site().PropertyChanged(L"Font");
}

ComPtr<IFontDisp> SystemWindow::ControlFont() const {
    ComPtr<IFontDisp> font = control_.Site().Font();
    return font ? font : control_.Site().GetAmbient().Font();
}

void SystemWindow::SetControlFont(ComPtr<IFontDisp> font) {
    ControlSite& site = control_.Site();
    site.SetFont(font ? font.Get() : site.GetAmbient().Font().Get());
    ApplyFont();
    site.PropertyChanged(L"Font");
}

void SystemWindow::ReadFontKey(const PropertyStore& store) {
    ControlSite& site = control_.Site();
    const ComPtr<IFontDisp> stored = kFontKey.ReadFont(store);
    site.SetFont(stored ? stored.Get() : site.GetAmbient().Font().Get());
}

void SystemWindow::WriteFontKey(PropertyStore& store) const {
    const ComPtr<IFontDisp> own = control_.Site().Font();
    const ComPtr<IFont> font = own.As<IFont>(IID_IFont);
    const ComPtr<IFont> ambient = control_.Site().GetAmbient().Font().As<IFont>(IID_IFont);
    const bool container = !font || Common::FontsEqual(font.Get(), ambient.Get());
    kFontKey.Write(store, container ? Variant() : Variant::Object(own.Get()));
}

void SystemWindow::ReadPointerKeys(const PropertyStore& store) {
    PropMousePointer = kMousePointerKey.ReadInt16(store);
    PropMouseIcon = kMouseIconKey.ReadPicture(store);
    PropMouseTrack = kMouseTrackKey.ReadBool(store);
    PropRightToLeft = kRightToLeftKey.ReadBool(store);
    PropRightToLeftMode = kRightToLeftModeKey.ReadInt32(store);
    if (PropRightToLeft) SetRightToLeft(true);
}

void SystemWindow::WritePointerKeys(PropertyStore& store) const {
    kMousePointerKey.Write(store, Variant::Int16(PropMousePointer));
    kMouseIconKey.Write(store, PropMouseIcon ? Variant::Object(PropMouseIcon.Get()) : Variant());
    kMouseTrackKey.Write(store, Variant::Bool(PropMouseTrack));
    kRightToLeftKey.Write(store, Variant::Bool(PropRightToLeft));
    kRightToLeftModeKey.Write(store, Variant::Int32(PropRightToLeftMode));
}

bool SystemWindow::Designing() const {
    return !control_.Site().GetAmbient().UserMode();
}

void SystemWindow::InvalidValue() const {
    if (!Designing()) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    Common::ShowMessageBox(ControlErrors::StandardDescription(ControlErrors::kInvalidPropertyValue),
                           MB_ICONHAND);
}

void SystemWindow::SetControlMousePointer(int16_t value) {
    if (!Common::ValidMousePointer(value)) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    PropMousePointer = value;
    control_.Site().PropertyChanged(L"MousePointer");
}

void SystemWindow::SetControlMouseIcon(ComPtr<IPictureDisp> icon) {
    if (!Common::ValidMouseIcon(icon.Get())) return InvalidValue();
    PropMouseIcon = std::move(icon);
    control_.Site().PropertyChanged(L"MouseIcon");
}

void SystemWindow::SetControlMouseTrack(bool value) {
    PropMouseTrack = value;
    control_.Site().PropertyChanged(L"MouseTrack");
}

void SystemWindow::SetControlRightToLeftMode(int32_t value) {
    if (value < 0 || value > 4) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropRightToLeftMode = value;
    SetRightToLeft(PropRightToLeft);
    control_.Site().PropertyChanged(L"RightToLeftMode");
}

bool SystemWindow::ApplyMousePointer() const {
    if (const int32_t id = Common::MousePointerID(PropMousePointer)) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(id)));
        return true;
    }
    if (PropMousePointer != 99 || !PropMouseIcon) return false;
    const ComPtr<IPicture> icon = PropMouseIcon.As<IPicture>(IID_IPicture);
    OLE_HANDLE handle = 0;
    if (!icon || FAILED(icon->get_Handle(&handle)) || !handle) return false;
    SetCursor(reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(handle)));
    return true;
}

void SystemWindow::RaiseMouseEvent(const EventInfo& event, int16_t button, WPARAM wParam,
                                   LPARAM lParam) {
    ControlSite& site = control_.Site();
    int16_t shift = Common::ShiftFromMouseFlags(wParam);
    auto x = static_cast<float>(
        site.ScaleX(Common::GetXFromLParam(lParam), Units::Unit::Pixels, Units::Unit::Twips));
    auto y = static_cast<float>(
        site.ScaleY(Common::GetYFromLParam(lParam), Units::Unit::Pixels, Units::Unit::Twips));
    site.RaiseEvent(event.name, event.id, EventArg::ByRef(button), EventArg::ByRef(shift),
                    EventArg::ByRef(x), EventArg::ByRef(y));
}

void SystemWindow::SetControlVisualStyles(bool value) {
    PropVisualStyles = value;
    if (hwnd_ && ::VisualStyles::EnabledVisualStyles()) {
        // A single space names no theme class: the window draws the classic look.
        if (value) {
            SetWindowTheme(hwnd_, nullptr, nullptr);
        } else {
            SetWindowTheme(hwnd_, L" ", L" ");
        }
    }
    Refresh();
    control_.Site().PropertyChanged(L"VisualStyles");
}

void SystemWindow::RefreshWindows() {
    control_.Site().Refresh();
    RedrawWindow(control_.Site().Hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void SystemWindow::ResizeSystemWindow() {
    if (inResize_) return;
    Common::FlagScope resizing(inResize_);
    if (Common::DPICorrectionFactor() != 1.0) {
        auto extender = control_.Site().GetExtender();
        const ControlSite& site = control_.Site();
        const double dx = site.ScaleX(1, Units::Unit::Pixels, Units::Unit::ContainerPosition);
        const double dy = site.ScaleY(1, Units::Unit::Pixels, Units::Unit::ContainerPosition);
        extender.Move(extender.Left() + dx, extender.Top() + dy);
        extender.Move(extender.Left() - dx, extender.Top() - dy);
    }
    FitSystemWindow();
}

void SystemWindow::FitSystemWindow() {
    if (!hwnd_) return;
    MoveWindow(hwnd_, 0, 0, control_.Site().ScaleWidth(), control_.Site().ScaleHeight(), TRUE);
}

bool SystemWindow::SystemWindowEnabled() const {
    return !control_.Sited() || control_.Site().Enabled();
}

void SystemWindow::SetSystemWindowEnabled(bool enabled) {
    control_.Site().SetEnabled(enabled);
    if (hwnd_) EnableWindow(hwnd_, enabled);
    control_.Site().PropertyChanged(L"Enabled");
}

LRESULT SystemWindow::SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
}

LRESULT SystemWindow::UserControlWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The user control passes the focus on to the window it holds.
    if (msg == WM_SETFOCUS && hwnd_) {
        SetFocus(hwnd_);
        return 0;
    }
    return ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
}

LRESULT SystemWindow::DesignTimeWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
}

LRESULT SystemWindow::RouteMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                   DWORD_PTR refData) {
    switch (refData) {
        case kRefSystemWindow:
            return SystemWindowMessage(hWnd, msg, wParam, lParam);
        case kRefUserControl:
            return UserControlWindowMessage(hWnd, msg, wParam, lParam);
        case kRefDesignTime:
            return DesignTimeWindowMessage(hWnd, msg, wParam, lParam);
        default:
            return 0;
    }
}

}  // namespace Host

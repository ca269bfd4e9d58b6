#include "host/SystemWindowControl.h"

#include <olectl.h>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/ComPtr.h"
#include "controls/base/Common.h"

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
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
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
    if (!hwnd_) return;
    ComPtr<IFontDisp> disp = control_.Site().Font();
    if (!disp) disp = control_.Site().GetAmbient().Font();
    ComPtr<IFont> font;
    if (disp) disp->QueryInterface(IID_IFont, font.PutVoid());
    UniqueFont made = Common::CreateGDIFont(font.Get());
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(made.Get()), TRUE);
    font_ = std::move(made);
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

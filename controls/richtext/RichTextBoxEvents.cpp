// The rich text box's events: the rich edit window's messages (subclass reference 1), the
// notifications its parent, the control's own window, receives (reference 2), the
// container's keyboard calls, and the questions of the window's OLE callback object.
#include "controls/richtext/RichTextBoxEvents.h"

#include <richedit.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <iterator>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VTableHandle.h"
#include "controls/base/VisualStyles.h"
#include "controls/richtext/RichTextBox.h"

namespace RichTextBoxEvents {

std::span<const Host::EventInfo> All() {
    static const Host::EventInfo all[] = {
        kClick,
        kDblClick,
        kKeyDown,
        kKeyPress,
        kKeyUp,
        kMouseDown,
        kMouseMove,
        kMouseUp,
        kChange,
        kMaxText,
        kSelChange,
        kLinkEvent,
        kModifyProtected,
        kScroll,
        kContextMenu,
        kPreviewKeyDown,
        kPreviewKeyUp,
        kMouseEnter,
        kMouseLeave,
        kOLECompleteDrag,
        kOLEGetDropEffect,
        kOLEStartDrag,
        kOLEGetContextMenu,
        kOLEContextMenuClick,
        kOLEDeleteObject,
    };
    return all;
}

}  // namespace RichTextBoxEvents

namespace E = RichTextBoxEvents;
using Host::EventArg;

namespace {

// Not in every header: the window's own class and style settings for the context.
constexpr DWORD kDcxUseStyle = 0x10000;
constexpr UINT kFrameChanged =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER;

}  // namespace

// ---- The rich edit window -------------------------------------------------------------------

LRESULT RichTextBox::SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // While designing the window is left to itself.
    if (DesignMode()) return SystemWindowControl::SystemWindowMessage(hWnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (BeforeRichEdit(msg, wParam, lParam, result)) return result;
    if (msg == WM_NCPAINT && ThemedBorder()) {
        return PaintThemedBorder(
            wParam, SystemWindowControl::SystemWindowMessage(hWnd, msg, wParam, lParam));
    }
    result = SystemWindowControl::SystemWindowMessage(hWnd, msg, wParam, lParam);
    AfterRichEdit(msg, wParam, lParam);
    return result;
}

bool RichTextBox::BeforeRichEdit(UINT msg, WPARAM& wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_IME_SETCONTEXT:
            if (wParam) ApplyIMEMode();
            return false;
        case WM_INPUTLANGCHANGE:
            ApplyIMEMode();
            return false;
        case WM_IME_CHAR:
            SendMessageW(hWnd(), WM_CHAR, wParam, lParam);
            result = 0;
            return true;
        case WM_UNICHAR:
            result = wParam == UNICODE_NOCHAR ? 1 : 0;
            if (wParam != UNICODE_NOCHAR) DeliverChar(static_cast<uint32_t>(wParam), lParam);
            return true;
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (LOWORD(wParam) == SB_THUMBTRACK) Raise(E::kScroll);
            return false;
        case WM_CHAR:
            return CharMessage(wParam, result);
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return KeyMessage(msg, wParam, result);
        case WM_ENABLE:
        case WM_STYLECHANGED:
        case WM_THEMECHANGED:
            // Visual styles are asked afresh each time: a theme change needs nothing more.
            if (ThemedBorder()) RepaintFrame();
            return false;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) != hWnd() || !ContextMenuMessage(lParam)) {
                return false;
            }
            result = 0;
            return true;
        case WM_MOUSEACTIVATE:
            return MouseActivate(lParam, result);
        case WM_SETFOCUS:
            if (reinterpret_cast<HWND>(wParam) == hWndUserControl()) {
                ActivateInPlace();
                return false;
            }
            // The container must see the control's own window take the focus first; it hands
            // the focus straight back.
            ::SetFocus(hWndUserControl());
            result = 0;
            return true;
        case WM_KILLFOCUS:
            DeactivateInPlace();
            return false;
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT || !ApplyMousePointer()) return false;
            result = 1;
            return true;
        default:
            return false;
    }
}

void RichTextBox::AfterRichEdit(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            hasFocus_ = msg == WM_SETFOCUS;
            if (ThemedBorder()) RepaintFrame();
            break;
        case WM_MOUSEMOVE:
            MouseMoveMessage(wParam, lParam);
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            MouseButtonMessage(msg, wParam, lParam);
            break;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            Raise(E::kDblClick);
            break;
        case WM_MOUSELEAVE:
            MouseLeaveMessage();
            break;
        default:
            break;
    }
}

bool RichTextBox::CharMessage(WPARAM& wParam, LRESULT& result) {
    const int32_t typed = LOWORD(wParam);
    const int32_t code = pendingKeyChar_ ? pendingKeyChar_ : typed;
    pendingKeyChar_ = 0;
    int16_t keyChar = Common::UnsignedToInteger(code);
    Raise(E::kKeyPress, EventArg::ByRef(keyChar));
    if (typed != 0 && keyChar == 0) {
        result = 0;
        return true;
    }
    wParam = static_cast<WPARAM>(Common::IntegerToUnsigned(keyChar));
    return false;
}

void RichTextBox::DeliverChar(uint32_t code, LPARAM lParam) {
    // A character beyond the basic plane goes in as its surrogate pair, each a WM_CHAR.
    if (code > 0xFFFF && code <= 0x10FFFF) {
        code -= 0x10000;
        SendMessageW(hWnd(), WM_CHAR, 0xD800 + (code >> 10), lParam);
        SendMessageW(hWnd(), WM_CHAR, 0xDC00 + (code & 0x3FF), lParam);
    } else if (code <= 0xFFFF) {
        SendMessageW(hWnd(), WM_CHAR, code, lParam);
    }
}

bool RichTextBox::KeyMessage(UINT msg, WPARAM& wParam, LRESULT& result) {
    int16_t keyCode = static_cast<int16_t>(wParam & 0xFF);
    int16_t shift = Common::GetShiftState();
    const bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
    Raise(down ? E::kKeyDown : E::kKeyUp, EventArg::ByRef(keyCode), EventArg::ByRef(shift));
    if (msg == WM_KEYDOWN || msg == WM_KEYUP) {
        // Shift+Insert pastes and Ctrl+Insert copies: only a plain Insert switches overtype.
        const bool plainInsert =
            keyCode == VK_INSERT && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0;
        if (plainInsert) {
            if (!PropAllowOverType && !PropOverTypeMode) {
                result = 0;
                return true;
            }
            if (msg == WM_KEYDOWN) PropOverTypeMode = !PropOverTypeMode;
        }
        pendingKeyChar_ = Common::PeekCharCode(hWnd());
    }
    wParam = static_cast<WPARAM>(static_cast<uint16_t>(keyCode));
    return false;
}

bool RichTextBox::ContextMenuMessage(LPARAM lParam) {
    // (-1, -1) is the keyboard's menu key; any other position is the mouse's, on whichever
    // monitor, left of or above the primary one included.
    const int32_t x = Common::GetXFromLParam(lParam);
    const int32_t y = Common::GetYFromLParam(lParam);
    bool handled = false;
    if (x == -1 && y == -1) {
        Raise(E::kContextMenu, EventArg::ByRef(handled), EventArg::ByVal(-1.0f),
              EventArg::ByVal(-1.0f));
    } else {
        POINT at{x, y};
        ScreenToClient(hWnd(), &at);
        const auto cx = static_cast<float>(
            Site().ScaleX(at.x, Units::Unit::Pixels, Units::Unit::ContainerPosition));
        const auto cy = static_cast<float>(
            Site().ScaleY(at.y, Units::Unit::Pixels, Units::Unit::ContainerPosition));
        Raise(E::kContextMenu, EventArg::ByRef(handled), EventArg::ByVal(cx), EventArg::ByVal(cy));
    }
    return handled;
}

bool RichTextBox::MouseActivate(LPARAM lParam, LRESULT& result) {
    if (GetFocus() == hWnd() || DesignMode()) return false;
    if (LOWORD(lParam) == HTBORDER || inMouseActivate_) {
        result = MA_ACTIVATEANDEAT;
        return true;
    }
    if (HIWORD(lParam) != WM_LBUTTONDOWN) return false;
    bool refused = false;
    try {
        if (Site().GetExtender().CausesValidation()) {
            inMouseActivate_ = true;
            try {
                Site().ValidateTopParent();
            } catch (const ControlError& error) {
                // A control that refuses to lose the focus keeps it: the click is eaten.
                refused = error.Number() == ControlErrors::kInvalidPropertyValue;
            }
            inMouseActivate_ = false;
        }
    } catch (...) {
        inMouseActivate_ = false;
    }
    if (refused) {
        result = MA_ACTIVATEANDEAT;
        return true;
    }
    ::SetFocus(hWndUserControl());
    result = MA_NOACTIVATE;
    return true;
}

bool RichTextBox::ThemedBorder() const {
    return PropBorder && PropVisualStyles && ::VisualStyles::EnabledVisualStyles();
}

void RichTextBox::RepaintFrame() const {
    SetWindowPos(hWnd(), nullptr, 0, 0, 0, 0, kFrameChanged);
}

LRESULT RichTextBox::PaintThemedBorder(WPARAM region, LRESULT passedOn) {
    const HWND hwnd = hWnd();
    HTHEME theme = OpenThemeData(hwnd, L"Edit");
    if (!theme) return passedOn;
    HDC dc = region == 1 ? GetWindowDC(hwnd)
                         : GetDCEx(hwnd, reinterpret_cast<HRGN>(region),
                                   DCX_WINDOW | DCX_INTERSECTRGN | kDcxUseStyle);
    if (dc) {
        const int width = Site().ScaleWidth();
        const int height = Site().ScaleHeight();
        const int cx = GetSystemMetrics(SM_CXEDGE);
        const int cy = GetSystemMetrics(SM_CYEDGE);
        RECT outer{0, 0, width, height};
        ExcludeClipRect(dc, cx, cy, width - cx, height - cy);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        const bool h = style & WS_HSCROLL, v = style & WS_VSCROLL;
        const int part = h && v ? EP_EDITBORDER_HVSCROLL
                         : h    ? EP_EDITBORDER_HSCROLL
                         : v    ? EP_EDITBORDER_VSCROLL
                                : EP_EDITBORDER_NOSCROLL;
        const int state = !Enabled()         ? EPSN_DISABLED
                          : hasFocus_        ? EPSN_FOCUSED
                          : mouseOverBorder_ ? EPSN_HOT
                                             : EPSN_NORMAL;
        {
            const UniqueBrush brush(
                CreateSolidBrush(Common::WinColor(Enabled() ? PropBackColor : 0x8000000F)));
            FillRect(dc, &outer, brush.Get());
        }
        if (IsThemeBackgroundPartiallyTransparent(theme, part, state)) {
            DrawThemeParentBackground(hwnd, dc, &outer);
        }
        DrawThemeBackground(theme, dc, part, state, &outer, &outer);
        ReleaseDC(hwnd, dc);
    }
    CloseThemeData(theme);
    return passedOn;
}

void RichTextBox::MouseMoveMessage(WPARAM wParam, LPARAM lParam) {
    if (!mouseOverBorder_ && ThemedBorder()) {
        mouseOverBorder_ = true;
        RepaintFrame();
    }
    if (!mouseOverTrack_ && PropMouseTrack) {
        mouseOverTrack_ = true;
        Raise(E::kMouseEnter);
    }
    if (mouseOverBorder_ || mouseOverTrack_) Common::RequestMouseLeave(hWnd());
    RaiseMouseEvent(E::kMouseMove, Common::ButtonFromMouseFlags(wParam), wParam, lParam);
}

void RichTextBox::MouseButtonMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
    const int16_t button = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP)   ? 1
                           : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP) ? 2
                                                                            : 4;
    if (down) {
        RaiseMouseEvent(E::kMouseDown, button, wParam, lParam);
        buttonDown_ = true;
        return;
    }
    RaiseMouseEvent(E::kMouseUp, button, wParam, lParam);
    if (!buttonDown_) return;
    buttonDown_ = false;
    // A click needs the release inside the control (its edges included).
    const double x =
        Site().ScaleX(Common::GetXFromLParam(lParam), Units::Unit::Pixels, Units::Unit::Twips);
    const double y =
        Site().ScaleY(Common::GetYFromLParam(lParam), Units::Unit::Pixels, Units::Unit::Twips);
    const double width =
        Site().ScaleX(Site().ScaleWidth(), Units::Unit::Pixels, Units::Unit::Twips);
    const double height =
        Site().ScaleY(Site().ScaleHeight(), Units::Unit::Pixels, Units::Unit::Twips);
    if (x >= 0 && x <= width && y >= 0 && y <= height) Raise(E::kClick);
}

void RichTextBox::MouseLeaveMessage() {
    if (mouseOverBorder_) {
        mouseOverBorder_ = false;
        RepaintFrame();
    }
    if (mouseOverTrack_) {
        mouseOverTrack_ = false;
        Raise(E::kMouseLeave);
    }
}

void RichTextBox::ApplyIMEMode() const {
    if (hWnd()) RichTextIme::ApplyMode(hWnd(), PropIMEMode, imeContext_.Get());
}

// ---- In-place activation --------------------------------------------------------------------

void RichTextBox::ActivateInPlace() {
    try {
        const ComPtr<IOleInPlaceSite> site(
            ComPtr<IOleClientSite>(Site().ClientSite()).As<IOleInPlaceSite>(IID_IOleInPlaceSite));
        if (!site) return;
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof(info);
        if (FAILED(site->GetWindowContext(frame.Put(), document.Put(), &position, &clip, &info)) ||
            !frame) {
            return;
        }
        // The active-object wrapper has one holder at a time: whoever holds it lets go before
        // it is pointed at this control.
        frame->SetActiveObject(nullptr, nullptr);
        if (document) document->SetActiveObject(nullptr, nullptr);
        const ComPtr<IOleInPlaceActiveObject> active = VTableHandle::ActiveObjectFor(Object());
        frame->SetActiveObject(active.Get(), nullptr);
        if (document) document->SetActiveObject(active.Get(), nullptr);
        activeFrame_ = frame.As<IOleInPlaceUIWindow>(IID_IOleInPlaceUIWindow);
        activeDocument_ = std::move(document);
    } catch (...) {
        // A container without in-place support leaves the keyboard to its own handling.
    }
}

void RichTextBox::DeactivateInPlace() {
    if (activeFrame_) activeFrame_->SetActiveObject(nullptr, nullptr);
    if (activeDocument_) activeDocument_->SetActiveObject(nullptr, nullptr);
    activeFrame_.Reset();
    activeDocument_.Reset();
}

// ---- The control's own window -----------------------------------------------------------

LRESULT RichTextBox::UserControlWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!DesignMode() && this->hWnd()) {
        if (msg == WM_NOTIFY && lParam) {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            LRESULT result = 0;
            if (header.hwndFrom == this->hWnd() && NotifyMessage(header, result)) return result;
        } else if (msg == WM_COMMAND) {
            CommandMessage(wParam, lParam);
        }
    }
    return SystemWindowControl::UserControlWindowMessage(hWnd, msg, wParam, lParam);
}

bool RichTextBox::NotifyMessage(const NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case EN_SELCHANGE: {
            const auto& change = reinterpret_cast<const SELCHANGE&>(header);
            Raise(E::kSelChange, EventArg::ByVal(static_cast<int16_t>(change.seltyp)),
                  EventArg::ByVal(static_cast<int32_t>(change.chrg.cpMin)),
                  EventArg::ByVal(static_cast<int32_t>(change.chrg.cpMax)));
            return false;
        }
        case EN_PROTECTED: {
            const auto& edit = reinterpret_cast<const ENPROTECTED&>(header);
            bool allow = false;
            Raise(E::kModifyProtected, EventArg::ByRef(allow),
                  EventArg::ByVal(static_cast<int32_t>(edit.chrg.cpMin)),
                  EventArg::ByVal(static_cast<int32_t>(edit.chrg.cpMax)));
            // Non-zero stops the change.
            result = allow ? 0 : 1;
            return true;
        }
        case EN_LINK: {
            const auto& link = reinterpret_cast<const ENLINK&>(header);
            Raise(E::kLinkEvent, EventArg::ByVal(static_cast<int32_t>(link.msg)),
                  EventArg::ByVal(static_cast<int32_t>(link.wParam)),
                  EventArg::ByVal(static_cast<int32_t>(link.lParam)),
                  EventArg::ByVal(static_cast<int32_t>(link.chrg.cpMin)),
                  EventArg::ByVal(static_cast<int32_t>(link.chrg.cpMax)));
            return false;
        }
        case EN_DRAGDROPDONE:
            Raise(E::kOLECompleteDrag);
            return false;
        default:
            return false;
    }
}

void RichTextBox::CommandMessage(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == 0 && lParam == 0) {
        // A command of the menu an OLEGetContextMenu handler gave the window.
        Raise(E::kOLEContextMenuClick, EventArg::ByVal(static_cast<int32_t>(LOWORD(wParam))));
        return;
    }
    if (reinterpret_cast<HWND>(lParam) != hWnd()) return;
    switch (HIWORD(wParam)) {
        case EN_CHANGE:
            Site().PropertyChanged(L"Text");
            Site().PropertyChanged(L"TextRTF");
            try {
                Site().GetExtender().SetDataChanged(true);
            } catch (...) {
            }
            Raise(E::kChange);
            break;
        case EN_MAXTEXT:
            Raise(E::kMaxText);
            break;
        case EN_HSCROLL:
        case EN_VSCROLL:
            Raise(E::kScroll);
            break;
        default:
            break;
    }
}

// ---- The container's keyboard calls -----------------------------------------------------------

HRESULT RichTextBox::TranslateAccelerator(VARIANT_BOOL* handled, LONG* retVal, LONG wMsg,
                                          LONG_PTR wParam, LONG_PTR lParam, LONG) {
    return ControlErrors::AtComBoundary([&] {
        if (handled) *handled = VARIANT_FALSE;
        if ((wMsg != WM_KEYDOWN && wMsg != WM_KEYUP) || !hWnd()) return;
        const auto keyCode = static_cast<int16_t>(wParam & 0xFF);
        bool isInputKey = false;
        Raise(wMsg == WM_KEYDOWN ? E::kPreviewKeyDown : E::kPreviewKeyUp, EventArg::ByVal(keyCode),
              EventArg::ByRef(isInputKey));
        if (!Common::IsNavigationKey(keyCode) && !(Common::IsDialogKey(keyCode) && isInputKey)) {
            return;
        }
        SendMessageW(hWnd(), static_cast<UINT>(wMsg), static_cast<WPARAM>(wParam), lParam);
        if (retVal) *retVal = S_OK;
        if (handled) *handled = VARIANT_TRUE;
    });
}

HRESULT RichTextBox::GetControlInfo(VARIANT_BOOL* handled, USHORT* accelCount, HACCEL* accelTable,
                                    DWORD* flags) {
    if (handled) *handled = VARIANT_FALSE;
    if (!PropWantReturn || !PropMultiLine) return S_OK;
    if (accelCount) *accelCount = 0;
    if (accelTable) *accelTable = nullptr;
    if (flags) *flags = CTRLINFO_EATS_RETURN;
    if (handled) *handled = VARIANT_TRUE;
    return S_OK;
}

// ---- The OLE callback object's questions -----------------------------------------------------

void RichTextBox::OnDeleteObject(IOleObject* object) {
    Raise(E::kOLEDeleteObject, EventArg::Unknown(object));
}

void RichTextBox::OnStartDrag(int32_t& allowedEffects) {
    Raise(E::kOLEStartDrag, EventArg::ByRef(allowedEffects));
}

void RichTextBox::OnGetDropEffect(int32_t& effect, DWORD keyState, POINT screen) {
    ScreenToClient(hWndUserControl(), &screen);
    const auto x = static_cast<float>(
        Site().ScaleX(screen.x, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    const auto y = static_cast<float>(
        Site().ScaleY(screen.y, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    Raise(E::kOLEGetDropEffect, EventArg::ByRef(effect),
          EventArg::ByVal(Common::ButtonFromMouseFlags(keyState)),
          EventArg::ByVal(Common::ShiftFromMouseFlags(keyState)), EventArg::ByVal(x),
          EventArg::ByVal(y));
}

HMENU RichTextBox::OnGetContextMenu(WORD selectionType, IOleObject* object,
                                    const CHARRANGE& range) {
    intptr_t menu = 0;
    Raise(E::kOLEGetContextMenu, EventArg::ByVal(static_cast<int16_t>(selectionType)),
          EventArg::Unknown(object), EventArg::ByVal(static_cast<int32_t>(range.cpMin)),
          EventArg::ByVal(static_cast<int32_t>(range.cpMax)), EventArg::ByRef(menu));
    return reinterpret_cast<HMENU>(menu);
}

#include "host/FormInput.h"

#include <cwctype>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "host/ControlSite.h"
#include "host/Form.h"

namespace FormInput {

namespace {

UniqueHook g_hook;
UniqueHook g_focusHook;
int g_forms = 0;

bool KeyDown(int vk) {
    return GetKeyState(vk) < 0;
}

ComPtr<IOleControl> OleControlOf(Host::ControlSite& site) {
    ComPtr<IOleControl> control;
    if (site.Object()) site.Object()->QueryInterface(IID_IOleControl, control.PutVoid());
    return control;
}

// The control's keyboard information, through the (possibly hooked) IOleControl.
bool ControlInfo(Host::ControlSite& site, std::vector<ACCEL>& accels, DWORD& flags) {
    accels.clear();
    flags = 0;
    ComPtr<IOleControl> control = OleControlOf(site);
    if (!control) return false;
    CONTROLINFO info{};
    info.cb = sizeof(info);
    if (FAILED(control->GetControlInfo(&info))) return false;
    flags = info.dwFlags;
    if (info.hAccel && info.cAccel) {
        accels.resize(info.cAccel);
        // The table stays the control's.
        const int n = CopyAcceleratorTableW(info.hAccel, accels.data(), info.cAccel);
        accels.resize(n > 0 ? static_cast<size_t>(n) : 0);
    }
    return true;
}

bool Eats(Host::ControlSite* site, DWORD flag) {
    if (!site) return false;
    std::vector<ACCEL> accels;
    DWORD flags = 0;
    return ControlInfo(*site, accels, flags) && (flags & flag);
}

bool Usable(Host::ControlSite* site) {
    if (!site || !site->StoredLayout().visible) return false;
    try {
        if (!site->Control().Enabled()) return false;
    } catch (...) {
        return false;
    }
    return !site->Hwnd() || IsWindowEnabled(site->Hwnd());
}

bool Matches(const ACCEL& a, const MSG& msg) {
    const bool alt = KeyDown(VK_MENU), ctrl = KeyDown(VK_CONTROL), shift = KeyDown(VK_SHIFT);
    if (a.fVirt & FVIRTKEY) {
        return a.key == static_cast<WORD>(msg.wParam & 0xFF) && !(a.fVirt & FALT) == !alt &&
               !(a.fVirt & FCONTROL) == !ctrl && !(a.fVirt & FSHIFT) == !shift;
    }
    const UINT ch = MapVirtualKeyW(static_cast<UINT>(msg.wParam), MAPVK_VK_TO_CHAR) & 0xFFFF;
    return ch &&
           std::towupper(static_cast<wchar_t>(a.key)) == std::towupper(static_cast<wchar_t>(ch));
}

void SendMnemonic(Host::ControlSite& site, MSG& msg) {
    if (ComPtr<IOleControl> control = OleControlOf(site)) control->OnMnemonic(&msg);
}

bool Mnemonic(Host::Form& form, Host::ControlSite* focused, MSG& msg) {
    const std::vector<Host::ControlSite*> order = form.TabOrder();
    const size_t n = order.size();
    size_t start = 0;
    if (focused) {
        for (size_t i = 0; i < n; ++i) {
            if (order[i] == focused) start = i + 1;
        }
    }
    std::vector<ACCEL> accels;
    DWORD flags = 0;
    for (size_t step = 0; step < n; ++step) {
        Host::ControlSite* site = order[(start + step) % n];
        if (!Usable(site) || !ControlInfo(*site, accels, flags)) continue;
        bool match = false;
        for (const ACCEL& a : accels)
            match = match || Matches(a, msg);
        if (!match) continue;
        const bool focusable = site->CanTakeFocus();
        if (focusable && !form.MoveFocusTo(*site)) return true;  // validation refused
        SendMnemonic(*site, msg);
        if (!focusable) {
            // A control that never has the focus hands it to the next one in tab order.
            for (size_t k = 1; k < n; ++k) {
                Host::ControlSite* next = order[(((start + step) % n) + k) % n];
                if (next->CanTakeFocus()) {
                    form.MoveFocusTo(*next);
                    break;
                }
            }
        }
        return true;
    }
    return false;
}

// Whether a modal loop of the system's own is taking the thread's input: a menu (popup,
// menu bar or system menu), a move or size, or a loop that captured the mouse for a window of
// no form (the drag-and-drop loop's tracking window). Its keys are its own: Return choosing
// a menu item must not press the default button, Escape must end the drag.
bool ForeignLoopTracks() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetCurrentThreadId(), &info)) return false;
    if (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE)) {
        return true;
    }
    return info.hwndCapture && !Host::Form::Containing(info.hwndCapture);
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        const bool key = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
        const bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST;
        if (((key && !ForeignLoopTracks()) || mouse) && msg->hwnd) {
            if (Host::Form* form = Host::Form::Containing(msg->hwnd); form && form->Loaded()) {
                if (mouse) {
                    form->RelayToolTipMessage(*msg);
                } else if (PreTranslate(*form, *msg)) {
                    msg->message = WM_NULL;
                    msg->wParam = 0;
                    msg->lParam = 0;
                }
            }
        }
    }
    return CallNextHookEx(g_hook.Get(), code, wParam, lParam);
}

LRESULT CALLBACK FocusHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_SETFOCUS && wParam) {
        HWND gaining = reinterpret_cast<HWND>(wParam);
        if (Host::Form* form = Host::Form::Containing(gaining)) {
            // Nothing of the form runs inside the focus change itself.
            PostMessageW(form->Hwnd(), kFocusChangedMessage, 0, 0);
        }
    }
    return CallNextHookEx(g_focusHook.Get(), code, wParam, lParam);
}

}  // namespace

void AddForm() {
    if (g_forms++ == 0) {
        const DWORD thread = GetCurrentThreadId();
        g_hook.Reset(SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, thread));
        g_focusHook.Reset(SetWindowsHookExW(WH_CBT, FocusHook, nullptr, thread));
    }
}

void RemoveForm() {
    if (g_forms > 0 && --g_forms == 0) {
        g_hook.Reset();
        g_focusHook.Reset();
    }
}

bool PreTranslate(Host::Form& form, MSG& msg) {
    Host::ControlSite* focused = form.FocusedSite();
    if (focused) {
        // Borrowed, not held: a handler of the key may move the focus, which points the
        // active-object wrapper at another control (the wrapper keeps its control itself).
        IOleInPlaceActiveObject* active = form.ActiveObjectFor(*focused);
        if (active && active->TranslateAccelerator(&msg) == S_OK) {
            // The control took the key as input: it gets the characters of it too (a rich
            // edit window inserts a tab only from WM_CHAR), made before the loop's copy of
            // the message is emptied. Not for Alt keys: their WM_SYSCHAR would open the
            // window menu.
            if (msg.message == WM_KEYDOWN) TranslateMessage(&msg);
            return true;
        }
    }
    switch (msg.message) {
        case WM_KEYDOWN:
            switch (msg.wParam) {
                case VK_TAB:
                    if (KeyDown(VK_CONTROL) || KeyDown(VK_MENU)) return false;
                    form.TabFocus(!KeyDown(VK_SHIFT));
                    return true;
                case VK_RETURN:
                case VK_ESCAPE: {
                    const bool ret = msg.wParam == VK_RETURN;
                    if (Eats(focused, ret ? CTRLINFO_EATS_RETURN : CTRLINFO_EATS_ESCAPE)) {
                        return false;
                    }
                    Host::ControlSite* target = ret ? form.DisplayedDefault() : form.CancelSite();
                    if (!Usable(target) || !target->Control().DefaultCancel()) return false;
                    SendMnemonic(*target, msg);
                    return true;
                }
                default:
                    return false;
            }
        case WM_SYSKEYDOWN:
            return Mnemonic(form, focused, msg);
        default:
            return false;
    }
}

}  // namespace FormInput

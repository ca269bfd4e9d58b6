#include "script/Input.h"

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "controls/base/ControlError.h"

namespace FormScript::Input {

namespace {

struct NamedKey {
    const wchar_t* name;
    WORD vk;
};

constexpr NamedKey kNamedKeys[] = {
    {L"BACKSPACE", VK_BACK},
    {L"BS", VK_BACK},
    {L"BKSP", VK_BACK},
    {L"BREAK", VK_CANCEL},
    {L"CAPSLOCK", VK_CAPITAL},
    {L"DELETE", VK_DELETE},
    {L"DEL", VK_DELETE},
    {L"DOWN", VK_DOWN},
    {L"END", VK_END},
    {L"ENTER", VK_RETURN},
    {L"ESC", VK_ESCAPE},
    {L"ESCAPE", VK_ESCAPE},
    {L"HELP", VK_HELP},
    {L"HOME", VK_HOME},
    {L"INSERT", VK_INSERT},
    {L"INS", VK_INSERT},
    {L"LEFT", VK_LEFT},
    {L"NUMLOCK", VK_NUMLOCK},
    {L"PGDN", VK_NEXT},
    {L"PGUP", VK_PRIOR},
    {L"PRTSC", VK_SNAPSHOT},
    {L"RIGHT", VK_RIGHT},
    {L"SCROLLLOCK", VK_SCROLL},
    {L"TAB", VK_TAB},
    {L"UP", VK_UP},
    {L"SPACE", VK_SPACE},
    {L"ADD", VK_ADD},
    {L"SUBTRACT", VK_SUBTRACT},
    {L"MULTIPLY", VK_MULTIPLY},
    {L"DIVIDE", VK_DIVIDE},
};

[[noreturn]] void Malformed() {
    ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
}

INPUT Key(WORD vk, bool up, wchar_t unicode = 0) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    if (unicode) {
        in.ki.wScan = unicode;
        in.ki.dwFlags = KEYEVENTF_UNICODE;
    } else {
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        switch (vk) {
            case VK_LEFT:
            case VK_RIGHT:
            case VK_UP:
            case VK_DOWN:
            case VK_HOME:
            case VK_END:
            case VK_PRIOR:
            case VK_NEXT:
            case VK_INSERT:
            case VK_DELETE:
            case VK_DIVIDE:
                in.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
                break;
            default:
                break;
        }
    }
    if (up) in.ki.dwFlags |= KEYEVENTF_KEYUP;
    return in;
}

constexpr WORD kModifierKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU};  // bits 1, 2, 4

class KeyWriter {
public:
    std::vector<INPUT> out;

    void Press(WORD vk, int times = 1) {
        for (int i = 0; i < times; ++i) {
            out.push_back(Key(vk, false));
            out.push_back(Key(vk, true));
        }
    }
    // A character: its own key with the Shift, Ctrl and Alt it needs on this keyboard, or a
    // Unicode character event when the keyboard has no key for it.
    void Char(wchar_t ch, int held, int times = 1) {
        const SHORT scan = VkKeyScanW(ch);
        for (int i = 0; i < times; ++i) {
            if (scan == -1) {
                out.push_back(Key(0, false, ch));
                out.push_back(Key(0, true, ch));
                continue;
            }
            const int need = (scan >> 8) & 7 & ~held;
            Modifiers(need, false);
            Press(static_cast<WORD>(scan & 0xFF));
            Modifiers(need, true);
        }
    }
    void Modifiers(int bits, bool up) {
        for (int i = 0; i < 3; ++i) {
            const int index = up ? 2 - i : i;
            if (bits & (1 << index)) out.push_back(Key(kModifierKeys[index], up));
        }
    }
};

// "{...}": a named key or a character, with an optional count.
void Braced(std::wstring_view body, KeyWriter& writer, int held) {
    int times = 1;
    std::wstring_view name = body;
    if (const size_t space = body.find_last_of(L' ');
        space != std::wstring_view::npos && space > 0 && space + 1 < body.size()) {
        const std::wstring count(body.substr(space + 1));
        wchar_t* end = nullptr;
        const long n = std::wcstol(count.c_str(), &end, 10);
        if (*end != 0 || n < 0 || n > 10000) Malformed();
        times = static_cast<int>(n);
        name = body.substr(0, space);
    }
    if (name.size() == 1) {
        writer.Char(name[0], held, times);
        return;
    }
    std::wstring upper(name);
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    for (const NamedKey& k : kNamedKeys) {
        if (upper == k.name) return writer.Press(k.vk, times);
    }
    if (upper.size() >= 2 && upper[0] == L'F') {
        const int f = std::wcstol(upper.c_str() + 1, nullptr, 10);
        if (f >= 1 && f <= 16 && upper == L"F" + std::to_wstring(f)) {
            return writer.Press(static_cast<WORD>(VK_F1 + f - 1), times);
        }
    }
    Malformed();
}

}  // namespace

std::vector<INPUT> ParseKeys(std::wstring_view keys) {
    KeyWriter writer;
    int pending = 0;          // modifiers for the next key or group
    std::vector<int> groups;  // modifiers held by each open group
    auto held = [&] {
        int bits = 0;
        for (int g : groups)
            bits |= g;
        return bits;
    };
    auto afterKey = [&] {
        writer.Modifiers(pending, true);
        pending = 0;
    };
    for (size_t i = 0; i < keys.size(); ++i) {
        const wchar_t c = keys[i];
        int bit = c == L'+' ? 1 : c == L'^' ? 2 : c == L'%' ? 4 : 0;
        if (bit) {
            if (!(pending & bit)) writer.Modifiers(bit, false);
            pending |= bit;
            continue;
        }
        if (c == L'(') {
            groups.push_back(pending);
            pending = 0;
            continue;
        }
        if (c == L')') {
            if (groups.empty() || pending) Malformed();
            writer.Modifiers(groups.back(), true);
            groups.pop_back();
            continue;
        }
        if (c == L'{') {
            // "{}}" is a closing brace; otherwise the body ends at the first "}".
            const bool closingBrace = keys.substr(i).starts_with(L"{}}");
            const size_t end = closingBrace ? i + 2 : keys.find(L'}', i + 1);
            if (end == std::wstring_view::npos || end == i + 1) Malformed();
            Braced(keys.substr(i + 1, end - i - 1), writer, held() | pending);
            i = end;
            afterKey();
            continue;
        }
        if (c == L'}') Malformed();
        if (c == L'~') {
            writer.Press(VK_RETURN);
        } else {
            writer.Char(c, held() | pending);
        }
        afterKey();
    }
    if (!groups.empty()) Malformed();
    writer.Modifiers(pending, true);
    return writer.out;
}

namespace {

// The virtual screen's extent, as absolute pointer coordinates (0 to 65535) cover it.
RECT VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

POINT FromAbsolute(LONG dx, LONG dy) {
    const RECT screen = VirtualScreen();
    const int width = screen.right - screen.left, height = screen.bottom - screen.top;
    return {screen.left + MulDiv(dx, width > 1 ? width - 1 : 1, 65535),
            screen.top + MulDiv(dy, height > 1 ? height - 1 : 1, 65535)};
}

}  // namespace

void Send(const std::vector<INPUT>& inputs, bool settle) {
    if (inputs.empty()) return;
    // Presses in separate calls are separate clicks: a press within the double-click time of
    // the last one would make a double click of them.
    constexpr DWORD kDowns = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_MIDDLEDOWN;
    static DWORD lastPress = 0;
    static bool pressed = false;
    bool presses = false;
    for (const INPUT& in : inputs)
        presses |= in.type == INPUT_MOUSE && (in.mi.dwFlags & kDowns);
    if (presses && pressed) {
        const DWORD since = GetTickCount() - lastPress;
        const DWORD wait = GetDoubleClickTime() + 50;
        if (since < wait) Pump(wait - since);
    }
    // The pointer is moved first and the presses follow once it is there: in one batch, a press
    // may still be delivered where the pointer was (measured under Wine's virtual desktop,
    // where the move reaches the cursor position a moment later).
    auto move = std::find_if(inputs.begin(), inputs.end(), [](const INPUT& in) {
        return in.type == INPUT_MOUSE && (in.mi.dwFlags & MOUSEEVENTF_ABSOLUTE);
    });
    if (move != inputs.end() && move + 1 != inputs.end()) {
        const size_t first = static_cast<size_t>(move - inputs.begin()) + 1;
        SendInput(static_cast<UINT>(first), const_cast<INPUT*>(inputs.data()), sizeof(INPUT));
        const POINT target = FromAbsolute(move->mi.dx, move->mi.dy);
        // Once this thread has seen the pointer arrive (a move message at the target), presses
        // go where it is. A window of another thread there gets the move instead: then only
        // the bound applies.
        auto atTarget = [&](POINT p) {
            return std::abs(p.x - target.x) <= 1 && std::abs(p.y - target.y) <= 1;
        };
        bool arrived = false;
        const DWORD start = GetTickCount();
        while (!arrived && GetTickCount() - start < 300) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    arrived = true;
                    break;
                }
                if (msg.message == WM_MOUSEMOVE && atTarget(msg.pt)) arrived = true;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (!arrived) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        SendInput(static_cast<UINT>(inputs.size() - first),
                  const_cast<INPUT*>(inputs.data() + first), sizeof(INPUT));
    } else {
        SendInput(static_cast<UINT>(inputs.size()), const_cast<INPUT*>(inputs.data()),
                  sizeof(INPUT));
    }
    if (presses) {
        pressed = true;
        lastPress = GetTickCount();
    }
    if (!settle) return;
    // Input reaches the queue a little later: process messages until no input message has
    // come for a while (other messages, such as a caret's timer, may never stop), within a
    // bound.
    const DWORD start = GetTickCount();
    DWORD quietSince = start;
    while (GetTickCount() - start < 2000) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            if ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST)) {
                quietSince = GetTickCount();
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() - quietSince >= 60 && !(GetQueueStatus(QS_INPUT) & 0xFFFF0000)) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::vector<INPUT> Mouse(POINT screen, MouseAction action, int button, int shift) {
    std::vector<INPUT> out;
    const RECT virtualScreen = VirtualScreen();
    const int width = virtualScreen.right - virtualScreen.left;
    const int height = virtualScreen.bottom - virtualScreen.top;
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(screen.x - virtualScreen.left, 65535, width > 1 ? width - 1 : 1);
    move.mi.dy = MulDiv(screen.y - virtualScreen.top, 65535, height > 1 ? height - 1 : 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    KeyWriter keys;
    keys.Modifiers(shift & 7, false);
    out = keys.out;
    out.push_back(move);
    DWORD down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
    if (button == 2) {
        down = MOUSEEVENTF_RIGHTDOWN;
        up = MOUSEEVENTF_RIGHTUP;
    } else if (button == 4) {
        down = MOUSEEVENTF_MIDDLEDOWN;
        up = MOUSEEVENTF_MIDDLEUP;
    } else if (button != 1) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    auto event = [&](DWORD flags) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        out.push_back(in);
    };
    const int presses = action == MouseAction::Click ? 1 : action == MouseAction::DblClick ? 2 : 0;
    for (int i = 0; i < presses; ++i) {
        event(down);
        event(up);
    }
    if (action == MouseAction::Down) event(down);
    if (action == MouseAction::Up) event(up);
    keys.out.clear();
    keys.Modifiers(shift & 7, true);
    out.insert(out.end(), keys.out.begin(), keys.out.end());
    return out;
}

namespace {

// How long a window may take to come forward; a loaded machine can take seconds.
constexpr DWORD kForegroundTimeoutMs = 5000;

template <class Done>
void PumpUntil(Done done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < timeoutMs)
        Pump(20);
}

BOOL CALLBACK FindShown(HWND hwnd, LPARAM lParam) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    *reinterpret_cast<bool*>(lParam) = true;
    return FALSE;
}

}  // namespace

void WaitUntilOnTop(POINT screen, HWND root) {
    // A window just shown is activated a moment later; a press that came first would be
    // undone by the activation moving the focus. A person sees the window come forward
    // before clicking.
    if (root && IsWindowVisible(root) && GetForegroundWindow() != root) SetForegroundWindow(root);
    PumpUntil(
        [&] {
            HWND at = WindowFromPoint(screen);
            return at && GetAncestor(at, GA_ROOT) == root &&
                   (GetForegroundWindow() == root || !IsWindowEnabled(root));
        },
        kForegroundTimeoutMs);
    Pump(0);
}

void WaitForForeground() {
    bool shown = false;
    EnumThreadWindows(GetCurrentThreadId(), FindShown, reinterpret_cast<LPARAM>(&shown));
    if (!shown) return;
    PumpUntil(
        [] {
            return GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == GetCurrentThreadId();
        },
        kForegroundTimeoutMs);
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

}  // namespace FormScript::Input

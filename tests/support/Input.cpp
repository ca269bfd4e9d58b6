#include "tests/support/Input.h"

#include <vector>

#include "tests/support/Pump.h"

namespace testsupport {
namespace {

// What the thread hooks have seen taken from the queue since the last Reset.
struct Seen {
    int keys = 0;
    int buttonUps = 0;
    bool moveAt = false;
    POINT target{};
};
Seen seen;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) ++seen.keys;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MouseHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* m = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
        if (wParam == WM_LBUTTONUP || wParam == WM_NCLBUTTONUP) ++seen.buttonUps;
        if ((wParam == WM_MOUSEMOVE || wParam == WM_NCMOUSEMOVE) && m->pt.x == seen.target.x &&
            m->pt.y == seen.target.y)
            seen.moveAt = true;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The thread's hooks for the life of one call.
class Watch {
public:
    explicit Watch(POINT target = {}) {
        seen = Seen{};
        seen.target = target;
        keyboard_ = SetWindowsHookExW(WH_KEYBOARD, KeyboardHook, nullptr, GetCurrentThreadId());
        mouse_ = SetWindowsHookExW(WH_MOUSE, MouseHook, nullptr, GetCurrentThreadId());
    }
    ~Watch() {
        UnhookWindowsHookEx(keyboard_);
        UnhookWindowsHookEx(mouse_);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    bool Until(bool (*done)()) const {
        const bool ok = PumpUntil([done] { return done(); }, 2000);
        PumpPending();
        return ok;
    }

private:
    HHOOK keyboard_;
    HHOOK mouse_;
};

INPUT Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

INPUT Mouse(DWORD flags, POINT screen) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    in.mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return in;
}

std::vector<INPUT> KeyInputs(WORD vk, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> inputs;
    for (WORD m : modifiers)
        inputs.push_back(Key(m, false));
    inputs.push_back(Key(vk, false));
    inputs.push_back(Key(vk, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        inputs.push_back(Key(*it, true));
    return inputs;
}

int wanted = 0;

bool SendAndWait(std::vector<INPUT> inputs) {
    Watch watch;
    wanted = static_cast<int>(inputs.size());
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return watch.Until([] { return seen.keys >= wanted; });
}

}  // namespace

void SendKeys(WORD vk, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> inputs = KeyInputs(vk, modifiers);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool PressKey(WORD vk, std::initializer_list<WORD> modifiers) {
    return SendAndWait(KeyInputs(vk, modifiers));
}

bool PressKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    std::vector<INPUT> inputs;
    for (auto [vk, up] : keys)
        inputs.push_back(Key(vk, up));
    return SendAndWait(std::move(inputs));
}

bool MoveCursor(POINT screen) {
    Watch watch(screen);
    INPUT in = Mouse(0, screen);
    SendInput(1, &in, sizeof(INPUT));
    const bool there = PumpUntil(
        [&] {
            POINT now;
            GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        },
        2000);
    // The pointer may already have stood there, in which case no move comes: wait briefly.
    PumpUntil([] { return seen.moveAt; }, 300);
    PumpPending();
    return there;
}

bool ClickScreen(POINT screen, int times) {
    MoveCursor(screen);
    Watch watch;
    std::vector<INPUT> inputs;
    // Every event carries the position, so the press lands there whatever the pointer did.
    for (int i = 0; i < times; ++i) {
        inputs.push_back(Mouse(MOUSEEVENTF_LEFTDOWN, screen));
        inputs.push_back(Mouse(MOUSEEVENTF_LEFTUP, screen));
    }
    wanted = times;
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return watch.Until([] { return seen.buttonUps >= wanted; });
}

POINT CentreOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace testsupport

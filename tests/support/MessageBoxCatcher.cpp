#include "tests/support/MessageBoxCatcher.h"

#include "tests/support/Pump.h"

#include <algorithm>
#include <cwctype>
#include <set>
#include <sstream>

namespace testsupport {

struct CatcherAccess {
    static int Reply(MessageBoxCatcher* c) { return c->reply_; }
    static void Add(MessageBoxCatcher* c, CaughtBox box) { c->boxes_.push_back(std::move(box)); }
};

namespace {

constexpr UINT_PTR kReadTimer = 0x7EA1;

MessageBoxCatcher* g_catcher = nullptr;  // innermost live catcher of the test thread
HHOOK g_hook = nullptr;
std::set<HWND> g_handled;
std::set<HWND> g_driven;  // dialogs a test drives itself

// Calls of MessageBoxIndirectW in progress, innermost last.
std::vector<MSGBOXPARAMSW> g_calls;
using MessageBoxIndirectFn = int(WINAPI*)(const MSGBOXPARAMSW*);
MessageBoxIndirectFn g_realMessageBoxIndirect = nullptr;

int WINAPI RecordingMessageBoxIndirect(const MSGBOXPARAMSW* params) {
    if (params) g_calls.push_back(*params);
    const int result = g_realMessageBoxIndirect(params);
    if (params) g_calls.pop_back();
    return result;
}

// Redirects the program's own import of user32!MessageBoxIndirectW to the recorder.
void PatchImport() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto real = reinterpret_cast<MessageBoxIndirectFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxIndirectW")));
    g_realMessageBoxIndirect = real;
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name; ++desc) {
        auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; thunk->u1.Function; ++thunk) {
            if (reinterpret_cast<void*>(thunk->u1.Function) != reinterpret_cast<void*>(real))
                continue;
            DWORD old = 0;
            VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), PAGE_READWRITE, &old);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(&RecordingMessageBoxIndirect);
            VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), old, &old);
        }
    }
}

std::wstring WindowText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &got);
    text.resize(std::min<size_t>(got, length));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

UINT IconKind(HICON icon) {
    struct Known {
        LPCWSTR id;
        UINT flag;
    };
    static const Known known[] = {{IDI_HAND, MB_ICONHAND},
                                  {IDI_QUESTION, MB_ICONQUESTION},
                                  {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                                  {IDI_ASTERISK, MB_ICONASTERISK}};
    for (const Known& k : known) {
        if (LoadIconW(nullptr, k.id) == icon) return k.flag;
    }
    return icon ? 0xFFFFFFFF : 0;  // an icon, but not a system one
}

struct ChildScan {
    CaughtBox* box;
    std::wstring fallbackText;
};

BOOL CALLBACK ScanChild(HWND child, LPARAM lp) {
    auto* scan = reinterpret_cast<ChildScan*>(lp);
    if (GetParent(child) != scan->box->hwnd) return TRUE;
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    const bool visible = (style & WS_VISIBLE) != 0;
    const std::wstring cls = ClassOf(child);
    const int id = GetDlgCtrlID(child);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        if (!visible) return TRUE;  // the system creates every button and hides the unused ones
        scan->box->buttons.push_back(id);
        if ((style & 0x0F) == BS_DEFPUSHBUTTON) scan->box->defaultButton = id;
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            if (visible) {
                DWORD_PTR icon = 0;
                SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
                scan->box->icon = IconKind(reinterpret_cast<HICON>(icon));
            }
        } else if (id == 0xFFFF || id == 100) {
            scan->box->text = WindowText(child);
        } else if (scan->fallbackText.empty()) {
            scan->fallbackText = WindowText(child);
        }
    }
    return TRUE;
}

int ButtonToPress(const CaughtBox& box, int reply) {
    if (reply) return reply;
    if (box.defaultButton) return box.defaultButton;
    return box.buttons.empty() ? IDOK : box.buttons.front();
}

void Press(HWND hwnd, int id) {
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
}

void CALLBACK ReadAndClose(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    if (g_driven.count(hwnd)) return;
    CaughtBox box;
    ReadBoxWindow(hwnd, box);
    if (!g_calls.empty()) {
        const MSGBOXPARAMSW& call = g_calls.back();
        box.haveCall = true;
        box.cbSize = call.cbSize;
        box.style = call.dwStyle;
        box.owner = call.hwndOwner;
        box.instance = call.hInstance;
    }
    if (g_catcher) {
        box.pressed = ButtonToPress(box, CatcherAccess::Reply(g_catcher));
        Press(hwnd, box.pressed);
        CatcherAccess::Add(g_catcher, std::move(box));
    } else {
        box.pressed = ButtonToPress(box, 0);
        Press(hwnd, box.pressed);
        ADD_FAILURE() << "unexpected message box: " << box;
    }
}

LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND || code == HCBT_ACTIVATE) {
        // Armed at creation too, so that a box that never becomes active (its owner is not
        // the foreground window) is still read and closed instead of hanging the test.
        HWND hwnd = reinterpret_cast<HWND>(wp);
        if (ClassOf(hwnd) == L"#32770" && g_handled.insert(hwnd).second) {
            // The box is not filled in yet: read it from inside its own message loop.
            SetTimer(hwnd, kReadTimer, 0, ReadAndClose);
        }
    } else if (code == HCBT_DESTROYWND) {
        g_handled.erase(reinterpret_cast<HWND>(wp));
        g_driven.erase(reinterpret_cast<HWND>(wp));
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

struct FindBox {
    DWORD pid;
    const std::set<HWND>* skip;
    HWND found;
};

BOOL CALLBACK FindProcessBox(HWND hwnd, LPARAM lp) {
    auto* find = reinterpret_cast<FindBox*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != find->pid || !IsWindowVisible(hwnd) || ClassOf(hwnd) != L"#32770") return TRUE;
    if (find->skip && find->skip->count(hwnd)) return TRUE;
    find->found = hwnd;
    return FALSE;
}

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const CaughtBox& box) {
    std::string text = Narrow(box.text);
    std::string shown;
    for (char c : text)
        shown += c == '\r' ? std::string("\\r") : c == '\n' ? "\\n" : std::string(1, c);
    os << "[title \"" << Narrow(box.title) << "\", text \"" << shown << "\"";
    if (box.haveCall) os << ", style 0x" << std::hex << box.style << std::dec;
    return os << "]";
}

MessageBoxCatcher::MessageBoxCatcher(int reply) : reply_(reply), outer_(g_catcher) {
    g_catcher = this;
}

MessageBoxCatcher::~MessageBoxCatcher() {
    g_catcher = outer_;
}

::testing::AssertionResult MessageBoxCatcher::Saw(size_t count) const {
    if (boxes_.size() == count) return ::testing::AssertionSuccess();
    auto result = ::testing::AssertionFailure();
    result << "expected " << count << " message box(es), saw " << boxes_.size();
    for (const CaughtBox& box : boxes_)
        result << "\n  " << box;
    return result;
}

void DrivenDialog(HWND hwnd) {
    g_driven.insert(hwnd);
}

void InstallMessageBoxGuard() {
    if (g_hook) return;
    PatchImport();
    g_hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

void ReadBoxWindow(HWND hwnd, CaughtBox& box) {
    box.hwnd = hwnd;
    box.title = WindowText(hwnd);
    box.windowOwner = GetWindow(hwnd, GW_OWNER);
    ChildScan scan{&box, {}};
    EnumChildWindows(hwnd, ScanChild, reinterpret_cast<LPARAM>(&scan));
    if (box.text.empty()) box.text = scan.fallbackText;
}

bool ProcessShowsBox(DWORD pid) {
    FindBox find{pid, nullptr, nullptr};
    EnumWindows(FindProcessBox, reinterpret_cast<LPARAM>(&find));
    return find.found != nullptr;
}

std::optional<CaughtBox> WaitForProcessBox(DWORD pid, DWORD timeoutMs, int reply) {
    static std::set<HWND> pressed;  // boxes already answered but perhaps not yet gone
    std::erase_if(pressed, [](HWND h) { return !IsWindow(h); });
    HWND found = nullptr;
    PumpUntil(
        [&] {
            FindBox find{pid, &pressed, nullptr};
            EnumWindows(FindProcessBox, reinterpret_cast<LPARAM>(&find));
            if (find.found) {
                // Give the box a moment to fill in its text and buttons.
                CaughtBox probe;
                ReadBoxWindow(find.found, probe);
                if (!probe.buttons.empty()) found = find.found;
            }
            return found != nullptr;
        },
        timeoutMs);
    if (!found) {
        ADD_FAILURE() << "no message box from process " << pid << " within " << timeoutMs << " ms";
        return std::nullopt;
    }
    CaughtBox box;
    ReadBoxWindow(found, box);
    box.pressed = ButtonToPress(box, reply);
    pressed.insert(found);
    Press(found, box.pressed);
    return box;
}

}  // namespace testsupport

#include "script/Boxes.h"

#include <algorithm>

#include "script/Input.h"

namespace FormScript {

namespace {

constexpr UINT_PTR kBoxTimer = 0x5C21;
Boxes* g_boxes = nullptr;  // the one of the user-interface thread

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TextOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK CheckChild(HWND child, LPARAM lParam) {
    const std::wstring cls = ClassOf(child);
    if (_wcsicmp(cls.c_str(), L"Button") != 0 && _wcsicmp(cls.c_str(), L"Static") != 0) {
        *reinterpret_cast<bool*>(lParam) = false;
        return FALSE;
    }
    return TRUE;
}

// The box's message: the static text the system gives its own identifier (0xFFFF; 100 in
// some implementations), else the longest static text.
std::wstring MessageOf(HWND box) {
    for (int id : {0xFFFF, 100}) {
        if (HWND text = GetDlgItem(box, id); text && ClassOf(text) == L"Static")
            return TextOf(text);
    }
    std::wstring longest;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (ClassOf(c) == L"Static") {
            std::wstring t = TextOf(c);
            if (t.size() > longest.size()) longest = std::move(t);
        }
    }
    return longest;
}

}  // namespace

bool IsMessageBox(HWND dialog) {
    bool only = true;
    EnumChildWindows(dialog, CheckChild, reinterpret_cast<LPARAM>(&only));
    return only && GetWindow(dialog, GW_CHILD) != nullptr;
}

Boxes::Boxes(Reporter report) : report_(std::move(report)) {
    g_boxes = this;
    hook_.Reset(SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId()));
}

Boxes::~Boxes() {
    hook_.Reset();
    if (g_boxes == this) g_boxes = nullptr;
}

void Boxes::KeysForNextDialog(std::wstring keys) {
    Input::ParseKeys(keys);  // a malformed string fails here, not in the dialog
    dialogKeys_ = std::move(keys);
    haveDialogKeys_ = true;
}

LRESULT CALLBACK Boxes::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_boxes) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        // The box is not filled in yet: look at it from inside its own message loop.
        if (ClassOf(hwnd) == L"#32770") SetTimer(hwnd, kBoxTimer, 0, OnTimer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK Boxes::OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    if (g_boxes) g_boxes->Handle(hwnd);
}

void Boxes::Handle(HWND dialog) {
    if (!IsWindow(dialog)) return;
    if (!IsWindowVisible(dialog)) {
        SetTimer(dialog, kBoxTimer, 20, OnTimer);  // not shown yet
        return;
    }
    if (IsMessageBox(dialog)) {
        if (!answer_) return;
        report_(L"BOX " + TextOf(dialog) + L" | " + MessageOf(dialog));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, answer_)));
        return;
    }
    if (!haveDialogKeys_) return;
    haveDialogKeys_ = false;
    // Typed into the dialog's own loop, which handles them.
    SetForegroundWindow(dialog);
    Input::Send(Input::ParseKeys(std::exchange(dialogKeys_, {})), false);
}

}  // namespace FormScript

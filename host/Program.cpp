#include "host/Program.h"

#include <cwctype>
#include <vector>

#include "controls/base/Common.h"
#include "host/ControlTimer.h"

namespace Program {

namespace {

struct HandleCloser {
    HANDLE h = nullptr;
    ~HandleCloser() {
        if (h) CloseHandle(h);
    }
};

HWND g_mainWindow = nullptr;

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_TIMER:
            Host::ControlTimer::Tick(wParam);
            return 0;
        case WM_NCDESTROY:
            if (g_mainWindow == hwnd) g_mainWindow = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::wstring ProgramFileName() {
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring full(path.data(), n);
    const size_t slash = full.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? full : full.substr(slash + 1);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

}  // namespace

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

const wchar_t* Title() {
    return Common::kAppTitle;
}

std::wstring Folder() {
    return Common::GetAppFolder();
}

bool PrevInstance() {
    // A mutex nobody waits on: only its existence matters. It is named per session, as the
    // windows a copy would bring forward belong to that session's desktop.
    static HandleCloser marker;
    static bool other = false;
    if (!marker.h) {
        const std::wstring name =
            std::wstring(L"Local\\") + Title() + L".Instance." + ProgramFileName();
        SetLastError(ERROR_SUCCESS);
        marker.h = CreateMutexW(nullptr, FALSE, name.c_str());
        other = GetLastError() == ERROR_ALREADY_EXISTS ||
                (!marker.h && GetLastError() == ERROR_ACCESS_DENIED);
    }
    return other;
}

HWND MainWindow() {
    if (g_mainWindow && IsWindow(g_mainWindow)) return g_mainWindow;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(Instance(), kMainWindowClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = MainWindowProc;
        wc.hInstance = Instance();
        wc.lpszClassName = kMainWindowClass;
        RegisterClassExW(&wc);
    }
    // Unowned and never shown: a message-only window would not be found by enumerating the
    // thread's top-level windows.
    g_mainWindow = CreateWindowExW(0, kMainWindowClass, Title(), WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, Instance(), nullptr);
    return g_mainWindow;
}

void DestroyMainWindow() {
    if (g_mainWindow && IsWindow(g_mainWindow)) DestroyWindow(g_mainWindow);
    g_mainWindow = nullptr;
}

}  // namespace Program

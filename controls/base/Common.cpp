#include "controls/base/Common.h"

#include <vector>

namespace Common {

namespace {

HWND g_ownActiveWindow = nullptr;

bool IsOwnWindow(HWND hwnd) {
    DWORD pid = 0;
    return hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, &pid) &&
           pid == GetCurrentProcessId();
}

// The program's folder as the system reports it for the running process, used when the
// module file name cannot be had; the current folder as the last resort.
std::wstring ProcessImageFolder() {
    std::wstring folder(32768, L'\0');
    DWORD length = static_cast<DWORD>(folder.size());
    if (QueryFullProcessImageNameW(GetCurrentProcess(), 0, folder.data(), &length)) {
        folder.resize(length);
        const size_t slash = folder.find_last_of(L'\\');
        folder.resize(slash == std::wstring::npos ? 0 : slash);
    } else {
        folder.clear();
    }
    if (folder.empty()) {
        length = GetCurrentDirectoryW(0, nullptr);
        if (length) {
            folder.resize(length);
            folder.resize(GetCurrentDirectoryW(length, folder.data()));
        }
    }
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

}  // namespace

int32_t ShowMessageBox(const std::wstring& text, uint32_t style, const std::wstring& title) {
    MSGBOXPARAMSW params{};
    params.cbSize = sizeof(params);
    if (style & MB_SYSTEMMODAL) {
        params.hwndOwner = GetForegroundWindow();
    } else if (HWND own = GetOwnActiveWindow()) {
        params.hwndOwner = own;
    } else {
        params.hwndOwner = GetActiveWindow();
    }
    params.hInstance = GetModuleHandleW(nullptr);
    params.lpszText = text.c_str();
    params.lpszCaption = title.empty() ? kAppTitle : title.c_str();
    params.dwStyle = style;
    return MessageBoxIndirectW(&params);
}

std::wstring GetAppFolder() {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), MAX_PATH);
    if (length == MAX_PATH) {
        // The name was cut: long paths go up to the system's limit of 32,767 characters.
        buffer.assign(32767, L'\0');
        length = GetModuleFileNameW(nullptr, buffer.data(), 32767);
    }
    if (length == 0) return ProcessImageFolder();
    std::wstring path(buffer.data(), length);
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return ProcessImageFolder();
    path.resize(slash + 1);
    return path;
}

void SetOwnActiveWindow(HWND hwnd) { g_ownActiveWindow = hwnd; }

void ClearOwnActiveWindow(HWND hwnd) {
    if (g_ownActiveWindow == hwnd) g_ownActiveWindow = nullptr;
}

HWND GetOwnActiveWindow() {
    if (!IsOwnWindow(g_ownActiveWindow)) g_ownActiveWindow = nullptr;
    return g_ownActiveWindow;
}

}  // namespace Common

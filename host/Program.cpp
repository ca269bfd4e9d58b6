#include "host/Program.h"

#include <cstdint>
#include <cwchar>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlHost.h"
#include "host/ControlTimer.h"
#include "host/Units.h"
#include "host/WindowClass.h"

namespace Program {

namespace {

struct HandleCloser {
    HANDLE h = nullptr;
    ~HandleCloser() {
        if (h) CloseHandle(h);
    }
};

HWND g_mainWindow = nullptr;

// What the shared control helpers ask of the host for the whole process.
class HostServices final : public ControlHost::IHostServices {
public:
    double TwipsPerPixelX() const override { return Units::TwipsPerPixel(Units::Axis::X); }
};
HostServices g_services;

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

// What makes copies of this program one program: its executable's content, whatever the
// file is called ("setup.exe", "setup (1).exe") and wherever it lies. A 64-bit FNV-1a hash
// of the file, in hexadecimal; the file's name when it cannot be read.
std::wstring ProgramIdentity() {
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    const std::wstring full(path.data(), n < path.size() ? n : 0);
    const std::wstring fileName = full.substr(full.find_last_of(L"\\/") + 1);
    HandleCloser file{CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) {
        file.h = nullptr;
        return fileName;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.h, &size) || size.QuadPart == 0) return fileName;
    HandleCloser mapping{CreateFileMappingW(file.h, nullptr, PAGE_READONLY, 0, 0, nullptr)};
    if (!mapping.h) return fileName;
    const auto* bytes = static_cast<const unsigned char*>(
        MapViewOfFile(mapping.h, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size.QuadPart)));
    if (!bytes) return fileName;
    uint64_t hash = 0xcbf29ce484222325ull;
    for (LONGLONG i = 0; i < size.QuadPart; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    UnmapViewOfFile(bytes);
    wchar_t text[17];
    swprintf(text, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return text;
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
    // windows a copy would bring forward belong to that session's desktop, and after the
    // program's identity, so that a renamed copy is the same program.
    static HandleCloser marker;
    static bool other = false;
    if (!marker.h) {
        const std::wstring name =
            std::wstring(L"Local\\") + Title() + L".Instance." + ProgramIdentity();
        SetLastError(ERROR_SUCCESS);
        marker.h = CreateMutexW(nullptr, FALSE, name.c_str());
        other = GetLastError() == ERROR_ALREADY_EXISTS ||
                (!marker.h && GetLastError() == ERROR_ACCESS_DENIED);
    }
    return other;
}

HWND MainWindow() {
    if (g_mainWindow && IsWindow(g_mainWindow)) return g_mainWindow;
    // Before any control exists: the main window comes first.
    ControlHost::SetHostServices(&g_services);
    Host::WindowClass::Register(kMainWindowClass, MainWindowProc, 0, nullptr);
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

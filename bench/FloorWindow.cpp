// The floor for the setup program's start-up: what any program that shows the same window
// must do, written directly against the system. OLE, the common controls, the rich edit
// library, the same five system windows in a fixed window of the same size, and one stream-in
// of the same licence. No host, no stored layout, no controls of our own.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <richedit.h>

#include <cstring>

#include "tests/support/TestWindow.h"

namespace {

constexpr UINT kLicence = 150;

struct Stream {
    const char* bytes;
    size_t size;
    size_t offset;
};

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* stream = reinterpret_cast<Stream*>(cookie);
    size_t n = stream->size - stream->offset;
    if (n > static_cast<size_t>(count)) n = static_cast<size_t>(count);
    std::memcpy(buffer, stream->bytes + stream->offset, n);
    stream->offset += n;
    *done = static_cast<LONG>(n);
    return 0;
}

// The licence is a string resource of RTF in code page 1251; the rich edit window reads
// bytes, so the characters are turned back into them once.
void LoadLicence(HWND richEdit) {
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), kLicence, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0) return;
    const int size = WideCharToMultiByte(1251, 0, text, length, nullptr, 0, nullptr, nullptr);
    char* bytes = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(size)));
    if (!bytes) return;
    WideCharToMultiByte(1251, 0, text, length, bytes, size, nullptr, nullptr);
    Stream stream{bytes, static_cast<size_t>(size), 0};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, StreamIn};
    SendMessageW(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
    HeapFree(GetProcessHeap(), 0, bytes);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int cx,
           int cy, HFONT font) {
    HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, cx,
                                cy, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    if (FAILED(OleInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    HMODULE richEditLibrary =
        LoadLibraryExW(L"Msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);

    const wchar_t* windowClass = testsupport::WindowClass(
        L"PaylevixFloorWindow", WindowProc, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
        LoadCursorW(nullptr, IDC_ARROW));
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, 418, 476};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND hwnd = CreateWindowExW(0, windowClass, L"Floor window", style, CW_USEDEFAULT,
                                CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                nullptr, nullptr, instance, nullptr);

    LOGFONTW lf{};
    lf.lfHeight = -13;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = RUSSIAN_CHARSET;
    lstrcpyW(lf.lfFaceName, L"Arial Unicode MS");
    HFONT font = CreateFontIndirectW(&lf);
    HWND richEdit = CreateWindowExW(WS_EX_CLIENTEDGE, L"RichEdit50W", L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
                                        ES_WANTRETURN | ES_AUTOVSCROLL | ES_READONLY |
                                        ES_NOHIDESEL | ES_SAVESEL,
                                    18, 18, 382, 344, hwnd, nullptr, instance, nullptr);
    SendMessageW(richEdit, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SendMessageW(richEdit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    LoadLicence(richEdit);
    Child(hwnd, L"Button", L"Я согласен с условиями лицензионного соглашения.", BS_3STATE, 18, 372,
          382, 28, font);
    Child(hwnd, L"Button", L"Отмена установки", BS_PUSHBUTTON, 18, 405, 94, 52, font);
    Child(hwnd, L"Button", L"Удалить надстройку", BS_PUSHBUTTON | BS_MULTILINE | WS_DISABLED, 162,
          405, 94, 52, font);
    Child(hwnd, L"Button", L"Установить / Обновить", BS_PUSHBUTTON | BS_MULTILINE | WS_DISABLED,
          306, 405, 94, 52, font);

    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteObject(font);
    if (richEditLibrary) FreeLibrary(richEditLibrary);
    OleUninitialize();
    return 0;
}

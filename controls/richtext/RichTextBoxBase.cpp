#include "controls/richtext/RichTextBoxBase.h"

#include <ole2.h>

#include "controls/base/Handles.h"

namespace RichTextBoxBase {

namespace {

// Module-wide, on the user-interface thread only.
UniqueModule g_library;
const wchar_t* g_class = L"";
int g_instances = 0;

// A program started from a downloads folder must never pick up a planted copy beside it.
HMODULE LoadFromSystemFolder(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Text copied from a rich edit window is on the clipboard as that library's data object.
// Rendered now, while the library is still loaded, the data outlives it; left as it is,
// the next flush (OleUninitialize at the latest) would call into code that is gone.
void FlushOwnClipboardData() {
    DWORD process = 0;
    const HWND owner = GetClipboardOwner();
    if (owner && GetWindowThreadProcessId(owner, &process) && process == GetCurrentProcessId()) {
        OleFlushClipboard();
    }
}

}  // namespace

bool InitRichTextBox() {
    if (!g_library) {
        if (HMODULE module = LoadFromSystemFolder(L"Msftedit.dll")) {
            g_library.Reset(module);
            g_class = L"RichEdit50W";
        } else if (HMODULE older = LoadFromSystemFolder(L"Riched20.dll")) {
            g_library.Reset(older);
            g_class = L"RichEdit20W";
        } else {
            return false;
        }
    }
    ++g_instances;
    return true;
}

void ReleaseRichTextBox() {
    if (g_instances == 0) return;
    if (--g_instances == 0) {
        FlushOwnClipboardData();
        g_library.Reset();
        g_class = L"";
    }
}

const wchar_t* RichEditClass() {
    return g_class;
}

HMODULE RichEditModule() {
    return g_library.Get();
}

}  // namespace RichTextBoxBase

#include "controls/base/ComCtlsBase.h"

#include <commctrl.h>

#include "controls/base/ComPtr.h"

namespace ComCtlsBase {

namespace {

// Sent by the system's non-client painting code while a window is being destroyed.
constexpr UINT kDestroyNotice = 0x0090;

std::wstring PropName(const std::wstring& prefix, const wchar_t* suffix) {
    return (prefix.empty() ? std::wstring(kDefaultPrefix) : prefix) + suffix;
}

}  // namespace

bool InstallSubclass(HWND hWnd, ISubclass* receiver, DWORD_PTR dwRefData,
                     const std::wstring& prefix) {
    if (!hWnd || !receiver) return false;
    const std::wstring init = PropName(prefix, L"SubclassInit");
    if (GetPropW(hWnd, init.c_str())) return false;
    const auto id = reinterpret_cast<UINT_PTR>(receiver);
    // The properties are set only on success: a window the system refused to subclass must
    // not pass for subclassed, or a later install could never take place.
    if (!SetWindowSubclass(hWnd, SubclassProc, id, dwRefData)) return false;
    SetPropW(hWnd, PropName(prefix, L"SubclassID").c_str(), reinterpret_cast<HANDLE>(id));
    SetPropW(hWnd, init.c_str(), reinterpret_cast<HANDLE>(1));
    return true;
}

void RemoveSubclass(HWND hWnd, const std::wstring& prefix) {
    if (!hWnd) return;
    const std::wstring init = PropName(prefix, L"SubclassInit");
    if (GetPropW(hWnd, init.c_str()) != reinterpret_cast<HANDLE>(1)) return;
    const std::wstring idName = PropName(prefix, L"SubclassID");
    const auto id = reinterpret_cast<UINT_PTR>(GetPropW(hWnd, idName.c_str()));
    RemoveWindowSubclass(hWnd, SubclassProc, id);
    RemovePropW(hWnd, idName.c_str());
    RemovePropW(hWnd, init.c_str());
}

LRESULT CallDefaultProc(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hWnd, wMsg, wParam, lParam);
}

LRESULT CALLBACK SubclassProc(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                              UINT_PTR uIdSubclass, DWORD_PTR dwRefData) {
    switch (wMsg) {
        case WM_DESTROY:
            return CallDefaultProc(hWnd, wMsg, wParam, lParam);
        case WM_NCDESTROY:
        case kDestroyNotice: {
            // A subclass must be gone before its window is. The properties stay: they go
            // with the window, and a receiver's later RemoveSubclass on the dead handle then
            // finds nothing to do.
            const LRESULT result = CallDefaultProc(hWnd, wMsg, wParam, lParam);
            RemoveWindowSubclass(hWnd, SubclassProc, uIdSubclass);
            return result;
        }
        default:
            break;
    }
    ComPtr<ISubclass> receiver;
    auto* unknown = reinterpret_cast<ISubclass*>(uIdSubclass);
    if (!unknown || FAILED(unknown->QueryInterface(IID_ISubclass, receiver.PutVoid())) ||
        !receiver) {
        return CallDefaultProc(hWnd, wMsg, wParam, lParam);
    }
    try {
        return receiver->Message(hWnd, wMsg, wParam, lParam, dwRefData);
    } catch (...) {
        // A C++ exception cannot unwind through the system's frames above us (the process
        // would end); a receiver that broke the no-throw rule loses only this message.
        return 0;
    }
}

void InitCommonControlsClass(DWORD flags) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = flags;
    InitCommonControlsEx(&icc);
}

void ClearFocusCues(HWND hWnd) {
    SendMessageW(hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

}  // namespace ComCtlsBase

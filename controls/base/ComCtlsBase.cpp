#include "controls/base/ComCtlsBase.h"

#include <commctrl.h>

#include <memory>
#include <mutex>
#include <vector>

#include "controls/base/ComPtr.h"

namespace ComCtlsBase {

namespace {

// Sent by the system's non-client painting code while a window is being destroyed.
constexpr UINT kDestroyNotice = 0x0090;

std::wstring Prefix(const std::wstring& prefix) {
    return prefix.empty() ? std::wstring(kDefaultPrefix) : prefix;
}

std::wstring PropName(const std::wstring& prefix, const wchar_t* suffix) {
    return Prefix(prefix) + suffix;
}

// One system subclass of one window under one prefix. The system tells subclasses apart by
// their identifier alone, so the identifier handed to it is this record's address rather than
// the receiver's: one receiver may subclass one window under two prefixes (a dialog object
// over its owner window does), and each must stay a subclass of its own. The record lives
// from the install until RemoveSubclass or the window's destruction.
struct Record {
    HWND hwnd;
    std::wstring prefix;
    ISubclass* receiver;
};

// Windows of any thread may be subclassed, each by its own thread.
std::mutex g_lock;
std::vector<std::unique_ptr<Record>> g_records;

UINT_PTR IdOf(const Record* record) {
    return reinterpret_cast<UINT_PTR>(record);
}

// Takes the record of `hWnd` under `prefix` out of the table; null when there is none.
std::unique_ptr<Record> TakeRecord(HWND hWnd, const std::wstring& prefix) {
    std::lock_guard lock(g_lock);
    for (auto it = g_records.begin(); it != g_records.end(); ++it) {
        if ((*it)->hwnd == hWnd && (*it)->prefix == prefix) {
            std::unique_ptr<Record> record = std::move(*it);
            g_records.erase(it);
            return record;
        }
    }
    return nullptr;
}

void ForgetRecord(UINT_PTR id) {
    std::lock_guard lock(g_lock);
    std::erase_if(g_records, [id](const auto& r) { return IdOf(r.get()) == id; });
}

}  // namespace

bool InstallSubclass(HWND hWnd, ISubclass* receiver, DWORD_PTR dwRefData,
                     const std::wstring& prefix) {
    if (!hWnd || !receiver) return false;
    const std::wstring init = PropName(prefix, L"SubclassInit");
    if (GetPropW(hWnd, init.c_str())) return false;
    // A record left by an earlier window with the same handle (one whose destruction never
    // reached our procedure) or by properties removed behind our back goes first.
    if (std::unique_ptr<Record> stale = TakeRecord(hWnd, Prefix(prefix)))
        RemoveWindowSubclass(hWnd, SubclassProc, IdOf(stale.get()));
    auto record = std::make_unique<Record>(Record{hWnd, Prefix(prefix), receiver});
    // The properties are set only on success: a window the system refused to subclass must
    // not pass for subclassed, or a later install could never take place.
    if (!SetWindowSubclass(hWnd, SubclassProc, IdOf(record.get()), dwRefData)) return false;
    {
        std::lock_guard lock(g_lock);
        g_records.push_back(std::move(record));
    }
    SetPropW(hWnd, PropName(prefix, L"SubclassID").c_str(), static_cast<HANDLE>(receiver));
    SetPropW(hWnd, init.c_str(), reinterpret_cast<HANDLE>(1));
    return true;
}

void RemoveSubclass(HWND hWnd, const std::wstring& prefix) {
    if (!hWnd) return;
    const std::wstring init = PropName(prefix, L"SubclassInit");
    if (GetPropW(hWnd, init.c_str()) != reinterpret_cast<HANDLE>(1)) return;
    if (std::unique_ptr<Record> record = TakeRecord(hWnd, Prefix(prefix)))
        RemoveWindowSubclass(hWnd, SubclassProc, IdOf(record.get()));
    RemovePropW(hWnd, PropName(prefix, L"SubclassID").c_str());
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
            ForgetRecord(uIdSubclass);
            return result;
        }
        default:
            break;
    }
    // The record may go during the call (the receiver removes its subclass), so only its
    // receiver is read, before.
    ComPtr<ISubclass> receiver;
    auto* unknown = uIdSubclass ? reinterpret_cast<const Record*>(uIdSubclass)->receiver : nullptr;
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

namespace Testing {

UINT_PTR SystemSubclassId(HWND hWnd, const std::wstring& prefix) {
    std::lock_guard lock(g_lock);
    for (const auto& r : g_records) {
        if (r->hwnd == hWnd && r->prefix == Prefix(prefix)) return IdOf(r.get());
    }
    return 0;
}

}  // namespace Testing

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

#include "tools/StandInServer.h"

#include <objbase.h>
#include <oleauto.h>

#include "controls/base/ComObject.h"
#include "tools/StandInApplication.h"
#include "tools/StandInConfig.h"
#include "tools/StandInJournal.h"

namespace StandInServer {

namespace {

constexpr wchar_t kDescription[] = L"Paylevix spreadsheet stand-in";
// A process started by COM whose creation never comes does not stay forever.
constexpr DWORD kFirstCreationTimeoutMs = 60000;

Mode g_mode = Mode::Embedding;
LONG g_objects = 0;
LONG g_locks = 0;
bool g_created = false;
bool g_quitting = false;
IUnknown* g_application = nullptr;
// After Quit, how long clients may keep the application before the process ends anyway.
constexpr UINT kQuitGraceMs = 5000;

void Journal(const std::wstring& line) {
    StandInJournal::Append(StandInConfig::Read().journal, line);
}

void EndWhenIdle() {
    if (g_objects == 0 && (g_quitting || (g_mode == Mode::Embedding && g_locks == 0)))
        PostQuitMessage(0);
}

void CALLBACK QuitGraceOver(HWND, UINT, UINT_PTR, DWORD) {
    PostQuitMessage(0);
}

// A static object: the process lifetime is counted by objects and locks instead.
class ClassFactory final : public UnownedComObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        HRESULT hr = StandInConfig::Read().failCreate;
        if (SUCCEEDED(hr)) {
            auto* application = new StandInApplication;
            hr = application->QueryInterface(riid, object);
            application->Release();
        }
        Journal(L"create" + (SUCCEEDED(hr) ? std::wstring() : StandInJournal::ErrorSuffix(hr)));
        // The process's own hold from its start ends with the first creation.
        if (!g_created) {
            g_created = true;
            LockServer(FALSE);
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++g_locks;
        } else if (g_locks > 0) {
            --g_locks;
            EndWhenIdle();
        }
        return S_OK;
    }
};

ClassFactory g_factory;

// Handles one message loop; false once the process is to end.
bool PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

class Key {
public:
    explicit Key(const std::wstring& path) {
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key_, nullptr) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    bool Set(const wchar_t* name, const std::wstring& value) {
        return key_ &&
               RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
                   ERROR_SUCCESS;
    }

private:
    HKEY key_ = nullptr;
};

std::wstring RegisteredClsid() {
    wchar_t value[64] = L"";
    LONG size = sizeof(value);
    if (RegQueryValueW(HKEY_CLASSES_ROOT,
                       (std::wstring(StandInConfig::kProgId) + L"\\CLSID").c_str(), value,
                       &size) != ERROR_SUCCESS)
        return {};
    return value;
}

bool IsOurs(const std::wstring& clsid) {
    return CompareStringOrdinal(clsid.c_str(), -1, StandInConfig::kClsidText, -1, TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

void ObjectCreated() {
    ++g_objects;
}

void ObjectDestroyed() {
    --g_objects;
    EndWhenIdle();
}

void Quit() {
    // The reply to the Quit call itself is still on its way to the client: ending the process
    // now can lose it (the client then sees the call fail). End once the client has let go of
    // the application, or after a grace period.
    g_quitting = true;
    if (g_mode == Mode::Embedding) {
        SetTimer(nullptr, 0, kQuitGraceMs, QuitGraceOver);
        EndWhenIdle();
    } else {
        PostQuitMessage(0);
    }
}

void SetApplication(IUnknown* application) {
    g_application = application;
}

int Run(Mode mode) {
    g_mode = mode;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    Journal(mode == Mode::Embedding ? L"start embedding" : L"start running");
    DWORD classCookie = 0, activeCookie = 0;
    HANDLE stop = nullptr;
    int exitCode = 0;
    if (mode == Mode::Embedding) {
        // COM starts the process for a creation: hold it until that creation has come.
        g_locks = 1;
        if (FAILED(CoRegisterClassObject(StandInConfig::kClsid, &g_factory, CLSCTX_LOCAL_SERVER,
                                         REGCLS_SINGLEUSE, &classCookie)))
            exitCode = 1;
    } else {
        stop = CreateEventW(nullptr, TRUE, FALSE, StandInConfig::kStopEvent);
        if (stop) ResetEvent(stop);
        auto* application = new StandInApplication;
        // Strong: the registration itself keeps the object, as the running application does.
        if (FAILED(RegisterActiveObject(static_cast<IDispatch*>(application), StandInConfig::kClsid,
                                        ACTIVEOBJECT_STRONG, &activeCookie)))
            exitCode = 1;
        application->Release();
    }
    const DWORD started = GetTickCount();
    while (exitCode == 0) {
        DWORD timeout = INFINITE;
        if (mode == Mode::Embedding && !g_created) {
            const DWORD elapsed = GetTickCount() - started;
            if (elapsed >= kFirstCreationTimeoutMs) break;
            timeout = kFirstCreationTimeoutMs - elapsed;
        }
        const DWORD wait = MsgWaitForMultipleObjectsEx(stop ? 1 : 0, stop ? &stop : nullptr,
                                                       timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (stop && wait == WAIT_OBJECT_0) break;
        if (!PumpMessages()) break;
    }
    if (classCookie) CoRevokeClassObject(classCookie);
    if (activeCookie) RevokeActiveObject(activeCookie, nullptr);
    // Clients that still hold the application lose it now, as they would with the real one.
    if (g_application) CoDisconnectObject(g_application, 0);
    PumpMessages();
    if (stop) CloseHandle(stop);
    Journal(L"exit");
    CoUninitialize();
    return exitCode;
}

bool Register(const std::wstring& serverPath) {
    const std::wstring current = RegisteredClsid();
    if (!current.empty() && !IsOurs(current)) return false;
    const std::wstring clsidKey = std::wstring(L"CLSID\\") + StandInConfig::kClsidText;
    bool ok = Key(StandInConfig::kProgId).Set(nullptr, kDescription) &&
              Key(std::wstring(StandInConfig::kProgId) + L"\\CLSID")
                  .Set(nullptr, StandInConfig::kClsidText) &&
              Key(clsidKey).Set(nullptr, kDescription) &&
              Key(clsidKey + L"\\ProgID").Set(nullptr, StandInConfig::kProgId) &&
              Key(clsidKey + L"\\LocalServer32").Set(nullptr, L"\"" + serverPath + L"\"");
    // Path answers a folder that exists, as the real application's does.
    StandInConfig::ProgramFolder({});
    return ok;
}

bool Unregister() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT,
                   (std::wstring(L"CLSID\\") + StandInConfig::kClsidText).c_str());
    const std::wstring current = RegisteredClsid();
    if (IsOurs(current)) RegDeleteTreeW(HKEY_CLASSES_ROOT, StandInConfig::kProgId);
    return true;
}

bool Stop() {
    HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, StandInConfig::kStopEvent);
    if (!stop) return false;
    SetEvent(stop);
    CloseHandle(stop);
    return true;
}

}  // namespace StandInServer

// Cost of a message through ISubclass (ComCtlsBase's shared subclass procedure, the receiver's
// QueryInterface and Message, the default procedure) against a bare SetWindowSubclass
// procedure that passes it straight on, on both windows a control subclasses: a system
// window (a button) and a window of the control's own class. Batches alternate in one run.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchReport.h"
#include "controls/base/ComCtlsBase.h"

namespace {

class Receiver : public ISubclass {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ISubclass) {
            *out = static_cast<ISubclass*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    // As a control does: look at the reference value, pass on what it does not handle.
    LRESULT STDMETHODCALLTYPE Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                      DWORD_PTR dwRefData) override {
        if (dwRefData == 2 && wMsg == WM_SETFOCUS) return 0;
        return ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
    }

private:
    ULONG refs_ = 1;
};

LRESULT CALLBACK BareProc(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    return DefSubclassProc(hWnd, wMsg, wParam, lParam);
}

double Now() {
    static LARGE_INTEGER frequency{};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds for `count` messages sent to the window.
double Batch(HWND hwnd, int count) {
    const double start = Now();
    for (int i = 0; i < count; ++i)
        SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    return Now() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Median over alternating batches of the through-ISubclass time over the bare time.
void Compare(const char* name, const wchar_t* cls, const char* what) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND bare = CreateWindowExW(0, cls, L"Text", WS_POPUP, 0, 0, 100, 30, nullptr, nullptr,
                                instance, nullptr);
    HWND through = CreateWindowExW(0, cls, L"Text", WS_POPUP, 0, 0, 100, 30, nullptr, nullptr,
                                   instance, nullptr);
    Receiver receiver;
    SetWindowSubclass(bare, BareProc, 1, 0);
    ComCtlsBase::InstallSubclass(through, &receiver, 1);
    constexpr int kMessages = 2000, kBatches = 15;
    Batch(bare, kMessages);
    Batch(through, kMessages);
    std::vector<double> ratios;
    double bareSum = 0, throughSum = 0;
    for (int i = 0; i < kBatches; ++i) {
        const double b = Batch(bare, kMessages);
        const double t = Batch(through, kMessages);
        ratios.push_back(t / b);
        bareSum += b;
        throughSum += t;
    }
    char detail[200];
    std::snprintf(detail, sizeof detail,
                  "%s: %.2f us through ISubclass, %.2f us bare (median of %d alternating "
                  "batches of %d messages)",
                  what, 1e6 * throughSum / (kBatches * kMessages),
                  1e6 * bareSum / (kBatches * kMessages), kBatches, kMessages);
    BenchReport::Figure(name, Median(ratios), "<= 1.15", detail);
    ComCtlsBase::RemoveSubclass(through);
    RemoveWindowSubclass(bare, BareProc, 1);
    DestroyWindow(bare);
    DestroyWindow(through);
}

LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int wmain() {
    ComCtlsBase::InitCommonControlsClass(ICC_STANDARD_CLASSES);
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PaylevixBenchUserControl";
    RegisterClassW(&wc);
    Compare("subclass.system_window", L"Button", "WM_GETTEXTLENGTH to a button");
    Compare("subclass.own_window", wc.lpszClassName,
            "WM_GETTEXTLENGTH to a window of the control's own class");
    return 0;
}

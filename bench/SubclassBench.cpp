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
#include "tests/support/TestWindow.h"
#include "tests/support/WithoutTypeInfo.h"
#include "controls/base/ComCtlsBase.h"

namespace {

class Receiver : public testsupport::WithoutTypeInfo<ISubclass> {
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

// Seconds for `count` messages sent to the window.
double Batch(HWND hwnd, int count) {
    const double start = BenchReport::Now();
    for (int i = 0; i < count; ++i)
        SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    return (BenchReport::Now() - start) / 1000;
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
    BenchReport::Figure(name, BenchReport::Median(ratios), "<= 1.15", detail);
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
    Compare("subclass.system_window", L"Button", "WM_GETTEXTLENGTH to a button");
    Compare("subclass.own_window",
            testsupport::WindowClass(L"PaylevixBenchUserControl", OwnWindowProc),
            "WM_GETTEXTLENGTH to a window of the control's own class");
    return 0;
}

// Start-up and exit of a program that uses the visual-styles start-up:
//   teardown_probe <major version> <report file>
// It pretends the common controls are of the given major version, runs the start-up work,
// and at exit reports the process error mode twice: as seen while a module-level object made
// after the start-up is released, and as seen by an exit handler registered before it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/base/VisualStyles.h"

namespace {

int g_major = 0;
std::wstring g_report;
UINT g_modeAtObjectRelease = 0xFFFF;

HRESULT CALLBACK FakeDllGetVersion(DLLVERSIONINFO* info) {
    info->dwMajorVersion = static_cast<DWORD>(g_major);
    info->dwMinorVersion = 0;
    return S_OK;
}

void Report() {
    FILE* f = _wfopen(g_report.c_str(), L"w");
    if (!f) return;
    std::fprintf(f, "%u %u\n", g_modeAtObjectRelease, GetErrorMode());
    std::fclose(f);
}

struct ModuleObject {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    ~ModuleObject() {
        DestroyWindow(window);
        g_modeAtObjectRelease = GetErrorMode();
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    g_major = _wtoi(argv[1]);
    g_report = argv[2];
    SetErrorMode(0);
    std::atexit(Report);
    VisualStyles::Testing::SystemAnswers answers;
    answers.dllGetVersion = FakeDllGetVersion;
    VisualStyles::Testing::SetSystemAnswers(&answers);
    VisualStyles::InitVisualStyles();
    static ModuleObject object;
    return VisualStyles::TeardownGuardArmed() ? 10 : 11;
}

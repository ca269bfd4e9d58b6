#include "controls/base/VisualStyles.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cstdlib>

#include "controls/base/ComCtlsBase.h"

namespace VisualStyles {

namespace {

Testing::SystemAnswers g_answers;

bool g_versionTested = false;
int32_t g_majorVersion = 0;
bool g_levelTested = false;
uint8_t g_supportLevel = 0;
bool g_guardArmed = false;

// DllGetVersion of the common-controls library this process uses: the one its activation
// context (the manifest) selected, which the imports have loaded already.
bool QueryVersion(DLLVERSIONINFO& info) {
    info = {};
    info.cbSize = sizeof(info);
    if (g_answers.dllGetVersion) return g_answers.dllGetVersion(&info) == S_OK;
    HMODULE module = GetModuleHandleW(L"comctl32.dll");
    if (!module) return false;
    const auto query = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetVersion")));
    return query && query(&info) == S_OK;
}

void TeardownAction() {
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
}

}  // namespace

void InitVisualStyles() {
    if (!g_guardArmed && GetComCtlVersion() >= 6) {
        // Exit handlers run after main has returned, so after the program's forms and
        // controls are gone; registered at start-up, this one runs after any registered later.
        g_guardArmed = std::atexit(TeardownAction) == 0;
    }
    ComCtlsBase::InitCommonControlsClass(ICC_STANDARD_CLASSES);
}

int32_t GetComCtlVersion() {
    if (!g_versionTested) {
        DLLVERSIONINFO info;
        if (QueryVersion(info)) g_majorVersion = static_cast<int32_t>(info.dwMajorVersion);
        g_versionTested = true;
    }
    return g_majorVersion;
}

uint8_t ComCtlsSupportLevel() {
    if (!g_levelTested) {
        DLLVERSIONINFO info;
        if (QueryVersion(info)) {
            if (info.dwMajorVersion == 6 && info.dwMinorVersion == 0) {
                g_supportLevel = 1;
            } else if (info.dwMajorVersion > 6 ||
                       (info.dwMajorVersion == 6 && info.dwMinorVersion > 0)) {
                g_supportLevel = 2;
            }
        }
        g_levelTested = true;
    }
    return g_supportLevel;
}

bool EnabledVisualStyles() {
    if (GetComCtlVersion() < 6) return false;
    const auto isThemeActive = g_answers.isThemeActive ? g_answers.isThemeActive : IsThemeActive;
    if (!isThemeActive()) return false;
    const auto isAppThemed = g_answers.isAppThemed ? g_answers.isAppThemed : IsAppThemed;
    if (isAppThemed()) return true;
    const auto properties =
        g_answers.getThemeAppProperties ? g_answers.getThemeAppProperties : GetThemeAppProperties;
    return (properties() & STAP_ALLOW_CONTROLS) != 0;
}

bool TeardownGuardArmed() {
    return g_guardArmed;
}

namespace Testing {

void SetSystemAnswers(const SystemAnswers* answers) {
    g_answers = answers ? *answers : SystemAnswers{};
    g_versionTested = false;
    g_majorVersion = 0;
    g_levelTested = false;
    g_supportLevel = 0;
}

}  // namespace Testing

}  // namespace VisualStyles

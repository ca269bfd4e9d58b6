// VisualStyles: what the controls ask about the common-controls library and the theme, and
// the program's start-up work for them.
//
// The library's version is asked once and cached for the life of the process; whether themed
// drawing is active is asked afresh each time (the theme can change while the program runs).
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <cstdint>

namespace VisualStyles {

// Start-up work, once, before any window exists: arms the teardown guard (with version 6 or
// later of the common controls) and registers the standard control classes.
void InitVisualStyles();

// The major version of the loaded common-controls library; 0 when it cannot be asked.
int32_t GetComCtlVersion();

// 0 below version 6.0, 1 for exactly 6.0, 2 for 6.1 or later (split buttons and the like).
uint8_t ComCtlsSupportLevel();

// Whether controls are drawn with visual styles now.
bool EnabledVisualStyles();

// Whether the teardown guard is armed: at process exit, after every window is gone, it turns
// off the system's fault dialog (SetErrorMode(SEM_NOGPFAULTERRORBOX)), so that a fault in the
// final teardown of version 6 of the common controls ends the process quietly.
bool TeardownGuardArmed();

namespace Testing {

// Stand-ins for the system's answers; a null member keeps the system's own.
struct SystemAnswers {
    HRESULT(CALLBACK* dllGetVersion)(DLLVERSIONINFO*) = nullptr;
    BOOL(WINAPI* isThemeActive)() = nullptr;
    BOOL(WINAPI* isAppThemed)() = nullptr;
    DWORD(WINAPI* getThemeAppProperties)() = nullptr;
};

// Replaces the system's answers (nullptr: the system's own again) and forgets the cached
// version answers, so that they are asked again. The teardown guard stays as it is.
void SetSystemAnswers(const SystemAnswers* answers);

}  // namespace Testing

}  // namespace VisualStyles

// Start-up of the setup program, and its entry point.
#include "setup/MMain.h"

#include <windows.h>
#include <ole2.h>

#include <cstdlib>
#include <exception>

#include "controls/base/OleApartment.h"
#include "controls/base/VisualStyles.h"
#include "host/Form.h"
#include "host/Program.h"
#include "setup/FMain.h"

namespace MMain {

namespace {

void BringForwardRunningCopy() {
    const HWND window = FindWindowW(Host::Form::kWindowClass, FMain::kTitle);
    if (!window) return;
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    // Activating the top-level window of that title: the same window.
    SetActiveWindow(window);
}

}  // namespace

void Main() {
    // A setup program is often started from a downloads folder: libraries loaded by name
    // come from the system folder only, never from beside the program.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    if (Program::PrevInstance()) {
        BringForwardRunningCopy();
        return;
    }
    VisualStyles::InitVisualStyles();
    OleApartment ole;
    try {
        std::unique_ptr<Host::Form> form = FMain::Create();
        form->Show(Host::ShowMode::Modal);
        form->Unload();
    } catch (const std::exception&) {
        // A layout this program cannot build is a broken build: there is nothing to show.
    }
    Program::DestroyMainWindow();
}

}  // namespace MMain

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MMain::Main();
    return 0;
}

#if defined(__GLIBCXX__)
// The runtime's default terminate handler prints the demangled exception type to a console
// this program does not have, and brings the whole demangler with it (about 50 KB). Ending
// the process at once is all a window program can do at that point anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
#endif

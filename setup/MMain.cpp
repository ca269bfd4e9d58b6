// Entry point of the setup program.
#include <windows.h>

#include "setup/MMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MMain::Main();
    return 0;
}

// A program that asks the host whether another copy of itself runs.
//   instance_probe check                      exit code 1 when another copy runs, else 0
//   instance_probe hold READY QUIT [minimized] ask, signal READY, then wait for QUIT (with a
//                                             minimised window when asked); exit code as above
#include <windows.h>

#include <string>

#include "host/Program.h"

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"check";
    const bool other = Program::PrevInstance();
    if (mode == L"hold" && argc > 3) {
        HWND window = nullptr;
        if (argc > 4 && std::wstring(argv[4]) == L"minimized") {
            window =
                CreateWindowExW(0, L"Static", L"instance probe", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            ShowWindow(window, SW_SHOWMINNOACTIVE);
        }
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
        HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
        if (ready) SetEvent(ready);
        while (quit && MsgWaitForMultipleObjects(1, &quit, FALSE, 20000, QS_ALLINPUT) ==
                           WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
        if (window) DestroyWindow(window);
        if (ready) CloseHandle(ready);
        if (quit) CloseHandle(quit);
    }
    return other ? 1 : 0;
}

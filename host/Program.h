// Program: what the host knows about the running program.
#pragma once

#include <windows.h>

#include <string>

namespace Program {

// The class of the hidden top-level main window. Extensions that must find the host from
// within the process look for an unowned top-level window of the thread whose class begins
// with "Thunder" and ends with "Main".
inline constexpr wchar_t kMainWindowClass[] = L"ThunderPaylevixMain";

HINSTANCE Instance();

// "Paylevix": the caption of message boxes and of the hidden main window.
const wchar_t* Title();

// The program file's folder, with one trailing backslash.
std::wstring Folder();

// True when another copy of this program is running, whatever the state of its windows
// (none yet, hidden, minimised). The first call takes a named kernel object that lives
// as long as the process: call it early, before any window, so that a copy starting a
// moment later sees this one. Copies are told apart by the program file's name, so a
// different program built on the host is never taken for a copy.
bool PrevInstance();

// The hidden, unowned top-level main window of the user-interface thread, created on first
// use; control timers tick through it.
HWND MainWindow();

// Destroys the main window (the end of the program, or a test that needs a clean slate).
void DestroyMainWindow();

}  // namespace Program

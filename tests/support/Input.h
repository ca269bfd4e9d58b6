// Real keyboard and mouse input through the system's input queue.
//
// The waiting calls return once this thread has taken the last of their events from its
// queue (seen by a thread hook) and dispatched what followed, so that a test checks the
// answer to its input rather than a moment after it. They give up after two seconds when
// the input never reaches the thread (another window in front) and then return false.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <utility>

namespace testsupport {

// Presses and releases `vk` with `modifiers` held around it, and waits.
bool PressKey(WORD vk, std::initializer_list<WORD> modifiers = {});
// Keys down (false) and up (true) in the order given, and waits.
bool PressKeys(std::initializer_list<std::pair<WORD, bool>> keys);
// The same keys as PressKey without waiting: for input another process takes.
void SendKeys(WORD vk, std::initializer_list<WORD> modifiers = {});

// Moves the pointer there, as a real mouse moves it, and waits until the system reports it
// there and this thread has taken the move.
bool MoveCursor(POINT screen);
// Presses and releases the left button there `times` times in a row (2: a double click),
// and waits for the last release.
bool ClickScreen(POINT screen, int times = 1);
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND hwnd);

}  // namespace testsupport

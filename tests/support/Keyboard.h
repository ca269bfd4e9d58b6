// Real key presses through the system's input queue.
#pragma once

#include <windows.h>

namespace testsupport {

// Presses and releases `vk` (with `modifier` held around it when given) through SendInput,
// then dispatches the thread's messages for a moment so that the keys arrive.
void PressKey(WORD vk, WORD modifier = 0);

}  // namespace testsupport

// Input: real keyboard and mouse input, as a person would give it (SendInput).
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace FormScript::Input {

// The keys of a key string in the usual notation: characters as typed; "+" Shift, "^" Ctrl,
// "%" Alt held for the next key or for a group in parentheses; "~" Enter; "{NAME}" and
// "{NAME n}" for named keys (ENTER, TAB, ESC, F1..F16, arrows, ...) and for the characters
// that are part of the notation ("{+}", "{{}", "{}}", "{~}", "{(}", ...).
// ControlError 5 for a malformed string.
std::vector<INPUT> ParseKeys(std::wstring_view keys);

// Sends input events and processes this thread's messages until the input has been handled.
// `settle` false only sends (from inside another loop that will handle it).
void Send(const std::vector<INPUT>& inputs, bool settle = true);

enum class MouseAction { Down, Up, Click, DblClick, Move };

// The pointer to `screen`, then the action with `button` (1 left, 2 right, 4 middle) while
// the `shift` keys (1 Shift, 2 Ctrl, 4 Alt) are held.
std::vector<INPUT> Mouse(POINT screen, MouseAction action, int button, int shift);

// Waits (processing messages, a second at the most) until the window that a person would
// hit at `screen` belongs to the top-level window `root`: a window just shown may not be
// in place yet.
void WaitUntilOnTop(POINT screen, HWND root);

// Waits likewise until a window of this thread is the foreground window, when one of its
// windows is shown: keys typed before that would go elsewhere.
void WaitForForeground();

// Processes this thread's messages for `ms` milliseconds.
void Pump(DWORD ms);

}  // namespace FormScript::Input

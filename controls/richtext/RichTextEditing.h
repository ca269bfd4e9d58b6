// RichTextEditing: the editing operations of a rich edit window: one-message commands and
// queries (clipboard, undo, the modified flag), search, lines, hit testing, margins and zoom.
//
// Line numbers on this side start at 1, and 0 names the line of the caret; the window's own
// start at 0. Without a window (0) every operation does nothing and answers 0, false or the
// empty string (Find answers -1, no match). Error 380 for an argument out of range, 6 for a
// number too large for the value it is sent as.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace Host {
class ControlSite;
}

namespace RichTextEditing {

// The one message of a command or a query; 0 without a window.
LRESULT Send(HWND richEdit, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

// Find options: bits combined in `options`.
inline constexpr int32_t kFindWholeWord = 2;
inline constexpr int32_t kFindMatchCase = 4;
inline constexpr int32_t kFindNoHighlight = 8;  // leave the selection alone

// The position of the first match of `text` between `start` and `end` (-1: the end of the
// text), or -1; the match is selected unless kFindNoHighlight.
int32_t Find(HWND richEdit, const std::wstring& text, int32_t start, int32_t end, int32_t options);
// The text of a line without its line break.
std::wstring GetLine(HWND richEdit, int32_t lineNumber);
// Scrolls the line to the top of the window.
void ScrollToLine(HWND richEdit, int32_t lineNumber);
// The line of a character; -1 the line of the caret.
int32_t GetLineFromChar(HWND richEdit, int32_t charIndex);
// The character nearest to a point in the container's position units.
int32_t CharFromPos(HWND richEdit, const Host::ControlSite& site, float x, float y);

// The left or right margin in the container's size units. Assigning 65535 or -1 lets the font
// decide both; the change is told to the host.
float Margin(HWND richEdit, const Host::ControlSite& site, bool right);
void SetMargin(HWND richEdit, Host::ControlSite& site, bool right, float value);

// The zoom ratio, 1 when off; assigning 1 turns it off, and a ratio the window refuses is
// error 380. The change is told to the host.
double Zoom(HWND richEdit);
void SetZoom(HWND richEdit, Host::ControlSite& site, double value);

}  // namespace RichTextEditing

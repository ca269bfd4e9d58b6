// Catches real message boxes: reads their title, text, icon and buttons, then presses one.
//
// In-process: while a MessageBoxCatcher is alive on the test thread, every box that the
// thread shows is recorded and closed. A box shown when no catcher is alive is an
// unexpected box: it is closed too, and the running test fails with its title and text.
// The flags of the call (style, owner, size field) are read from the program's own call of
// MessageBoxIndirectW, because the window does not show all of them.
//
// Out-of-process: WaitForProcessBox finds a box of another process, reads it and presses a
// button; it fails the test when none comes in time.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct CaughtBox {
    std::wstring title;
    std::wstring text;
    // What the program passed to MessageBoxIndirectW (in-process boxes only).
    bool haveCall = false;
    UINT cbSize = 0;
    DWORD style = 0;
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    // What the window shows.
    HWND hwnd = nullptr;
    HWND windowOwner = nullptr;  // GetWindow(GW_OWNER) of the box
    UINT icon = 0;               // MB_ICONHAND, MB_ICONQUESTION, ... or 0 when none is shown
    std::vector<int> buttons;    // identifiers of the visible buttons, in child order
    int defaultButton = 0;       // the visible BS_DEFPUSHBUTTON, 0 if none
    int pressed = 0;             // the button the catcher pressed
};

std::ostream& operator<<(std::ostream& os, const CaughtBox& box);

class MessageBoxCatcher {
public:
    // reply: the button to press; 0 presses the box's default button.
    explicit MessageBoxCatcher(int reply = 0);
    ~MessageBoxCatcher();
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    const std::vector<CaughtBox>& Boxes() const { return boxes_; }
    // Succeeds when exactly `count` boxes came; otherwise lists what did come.
    ::testing::AssertionResult Saw(size_t count) const;

private:
    friend struct CatcherAccess;
    int reply_;
    std::vector<CaughtBox> boxes_;
    MessageBoxCatcher* outer_;
};

// Installs the thread's box guard and the call recorder. Done once by the test main.
void InstallMessageBoxGuard();

// A dialog window (class "#32770", like a message box) that the test drives itself, such as
// a modeless one: the guard leaves it alone for as long as it lives. Call it before the
// thread's messages are dispatched again.
void DrivenDialog(HWND hwnd);

// Reads a message box window (any process) into `box`.
void ReadBoxWindow(HWND hwnd, CaughtBox& box);

// Waits up to `timeoutMs` for a visible message box of process `pid`, reads it and presses
// `reply` (0: its default button). Fails the test and returns nothing when none comes.
std::optional<CaughtBox> WaitForProcessBox(DWORD pid, DWORD timeoutMs, int reply = 0);

// True when process `pid` shows a message box now.
bool ProcessShowsBox(DWORD pid);

}  // namespace testsupport

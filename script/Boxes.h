// Boxes: answers for the message boxes and dialog boxes that the program's thread shows.
//
// A hook on the thread sees each dialog window become active; the box is read from a timer
// inside its own message loop, once it is filled in and shown.
//   message boxes (a dialog of buttons and static texts only): while an answer is set, each
//     is reported ("BOX <title> | <text>") and closed with that button;
//   any other dialog box: the keys set for the next one are typed into it once it shows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "controls/base/Handles.h"

namespace FormScript {

class Boxes {
public:
    using Reporter = std::function<void(const std::wstring& line)>;
    explicit Boxes(Reporter report);
    ~Boxes();
    Boxes(const Boxes&) = delete;
    Boxes& operator=(const Boxes&) = delete;

    // The button that answers every message box from now on; 0 stops answering.
    void AnswerWith(int button) { answer_ = button; }
    // Keys for the next dialog box that opens (not a message box); checked when set.
    void KeysForNextDialog(std::wstring keys);

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD);
    void Handle(HWND dialog);

    Reporter report_;
    UniqueHandle<HHOOK, HandleTraits::Hook> hook_;
    int answer_ = 0;
    std::wstring dialogKeys_;
    bool haveDialogKeys_ = false;
};

// Whether a dialog window is a message box: only buttons and static texts in it.
bool IsMessageBox(HWND dialog);

}  // namespace FormScript

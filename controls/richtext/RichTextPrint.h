// RichTextPrint: printing a rich edit window's text (or its selection) onto a caller's device
// context, page by page.
//
// A printer (a device with a physical page) gets pages until the range is printed, inside a
// document the control opens and closes itself when asked. A page that prints nothing more
// ends the job (aborted when the control opened it), so margins that leave no room for a line
// never loop. Any other device context (a screen or memory context) gets one rendering of the
// range on a page the size of the screen.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstdint>
#include <string>

namespace RichTextPrint {

// What printing asks of the device and of the window; the system's answers by default,
// scripted ones where no printer can be had.
class Device {
public:
    virtual ~Device() = default;
    virtual int Caps(HDC hdc, int index) = 0;                     // GetDeviceCaps
    virtual int ScreenCaps(int index) = 0;                        // of the screen's device context
    virtual int StartDocument(HDC hdc, const DOCINFOW& doc) = 0;  // StartDocW
    virtual int StartPage(HDC hdc) = 0;
    virtual int EndPage(HDC hdc) = 0;
    virtual int EndDoc(HDC hdc) = 0;
    virtual int AbortDoc(HDC hdc) = 0;
    // EM_FORMATRANGE: renders (or measures) one page and answers the first character left;
    // a null `range` releases the window's cached formatting.
    virtual LRESULT FormatRange(HWND richEdit, bool render, FORMATRANGE* range) = 0;
};

// GDI and the window's own message.
Device& SystemDevice();

struct Job {
    HDC hdc = nullptr;
    bool callStartEndDoc = true;  // open and close the document around the pages
    std::wstring docName;
    // Margins in twips, inside the printable area.
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The whole text, or the selection (the whole text when it is empty). Nothing without a
// window or a device context. Error 482 when the document cannot be started.
void PrintDoc(HWND richEdit, const Job& job, Device& device = SystemDevice());
void SelPrint(HWND richEdit, const Job& job, Device& device = SystemDevice());

// The characters from range.cpMin up to `end` (range.cpMax as EM_FORMATRANGE takes it).
void PrintRange(HWND richEdit, CHARRANGE range, LONG end, const Job& job, Device& device);

}  // namespace RichTextPrint

#include "controls/richtext/RichTextPrint.h"

#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"

namespace RichTextPrint {

namespace {

class System final : public Device {
public:
    int Caps(HDC hdc, int index) override { return GetDeviceCaps(hdc, index); }
    int ScreenCaps(int index) override {
        WindowDC screen;
        return screen.Get() ? GetDeviceCaps(screen.Get(), index) : 0;
    }
    int StartDocument(HDC hdc, const DOCINFOW& doc) override { return ::StartDocW(hdc, &doc); }
    int StartPage(HDC hdc) override { return ::StartPage(hdc); }
    int EndPage(HDC hdc) override { return ::EndPage(hdc); }
    int EndDoc(HDC hdc) override { return ::EndDoc(hdc); }
    int AbortDoc(HDC hdc) override { return ::AbortDoc(hdc); }
    LRESULT FormatRange(HWND richEdit, bool render, FORMATRANGE* range) override {
        return SendMessageW(richEdit, EM_FORMATRANGE, render ? TRUE : FALSE,
                            reinterpret_cast<LPARAM>(range));
    }
};

int Twips(int deviceUnits, int pixelsPerInch) {
    return pixelsPerInch > 0 ? MulDiv(deviceUnits, 1440, pixelsPerInch) : 0;
}

LONG TextLength(HWND richEdit) {
    GETTEXTLENGTHEX length{GTL_PRECISE | GTL_NUMCHARS, 1200};
    return static_cast<LONG>(
        SendMessageW(richEdit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
}

}  // namespace

Device& SystemDevice() {
    static System system;
    return system;
}

void PrintRange(HWND richEdit, CHARRANGE range, LONG end, const Job& job, Device& device) {
    const HDC hdc = job.hdc;
    const int physicalWidth = device.Caps(hdc, PHYSICALWIDTH);
    const int physicalHeight = device.Caps(hdc, PHYSICALHEIGHT);
    const bool printer = physicalWidth > 0 && physicalHeight > 0;
    int width = 0, height = 0, offsetX = 0, offsetY = 0;
    if (printer) {
        const int dpiX = device.Caps(hdc, LOGPIXELSX), dpiY = device.Caps(hdc, LOGPIXELSY);
        width = Twips(physicalWidth, dpiX);
        height = Twips(physicalHeight, dpiY);
        offsetX = Twips(device.Caps(hdc, PHYSICALOFFSETX), dpiX);
        offsetY = Twips(device.Caps(hdc, PHYSICALOFFSETY), dpiY);
    } else {
        width = Twips(device.ScreenCaps(HORZRES), device.ScreenCaps(LOGPIXELSX));
        height = Twips(device.ScreenCaps(VERTRES), device.ScreenCaps(LOGPIXELSY));
    }

    FORMATRANGE format{};
    format.hdc = hdc;
    format.hdcTarget = hdc;
    format.rcPage = {0, 0, width, height};
    format.rc = {offsetX + job.left, offsetY + job.top, width + offsetX - job.right,
                 height + offsetY - job.bottom};
    format.chrg = range;

    if (!printer) {
        device.FormatRange(richEdit, true, &format);
        device.FormatRange(richEdit, false, nullptr);
        return;
    }

    if (job.callStartEndDoc) {
        DOCINFOW doc{};
        doc.cbSize = sizeof(doc);
        doc.lpszDocName = job.docName.c_str();
        if (device.StartDocument(hdc, doc) <= 0) {
            ControlErrors::Raise(ControlErrors::kPrinterError);
        }
    }
    bool failed = false;
    for (;;) {
        if (device.StartPage(hdc) <= 0) {
            failed = true;
            break;
        }
        const LRESULT next = device.FormatRange(richEdit, true, &format);
        if (device.EndPage(hdc) <= 0) {
            failed = true;
            break;
        }
        if (next >= end) break;
        // A page that took nothing would be followed by the same page for ever.
        if (next <= format.chrg.cpMin) {
            failed = true;
            break;
        }
        format.chrg.cpMin = static_cast<LONG>(next);
    }
    device.FormatRange(richEdit, false, nullptr);
    if (job.callStartEndDoc) {
        if (failed) {
            device.AbortDoc(hdc);
        } else {
            device.EndDoc(hdc);
        }
    }
}

void PrintDoc(HWND richEdit, const Job& job, Device& device) {
    if (!richEdit || !job.hdc) return;
    PrintRange(richEdit, {0, -1}, TextLength(richEdit), job, device);
}

void SelPrint(HWND richEdit, const Job& job, Device& device) {
    if (!richEdit || !job.hdc) return;
    if (SendMessageW(richEdit, EM_SELECTIONTYPE, 0, 0) == SEL_EMPTY) {
        PrintDoc(richEdit, job, device);
        return;
    }
    CHARRANGE selection{};
    SendMessageW(richEdit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    PrintRange(richEdit, selection, selection.cpMax, job, device);
}

}  // namespace RichTextPrint

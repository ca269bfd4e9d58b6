#include "controls/richtext/RichTextEditing.h"

#include <richedit.h>

#include <algorithm>

#include "controls/base/ControlError.h"
#include "controls/base/Variant.h"
#include "host/ControlSite.h"

namespace RichTextEditing {

namespace {

using Units::Unit;

[[noreturn]] void OutOfRange() {
    ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
}

// The first character of a line (0: the caret's); error 380 when there is no such line.
LRESULT LineStart(HWND richEdit, int32_t lineNumber) {
    if (lineNumber < 0) OutOfRange();
    const LRESULT start = Send(richEdit, EM_LINEINDEX, static_cast<WPARAM>(lineNumber - 1));
    if (start == -1) OutOfRange();
    return start;
}

// The window's index of a line (0: the caret's).
LRESULT LineIndex(HWND richEdit, int32_t lineNumber, LRESULT start) {
    if (lineNumber != 0) return lineNumber - 1;
    return Send(richEdit, EM_EXLINEFROMCHAR, 0, start);
}

}  // namespace

LRESULT Send(HWND richEdit, UINT msg, WPARAM wParam, LPARAM lParam) {
    return richEdit ? SendMessageW(richEdit, msg, wParam, lParam) : 0;
}

int32_t Find(HWND richEdit, const std::wstring& text, int32_t start, int32_t end, int32_t options) {
    if (!richEdit) return -1;
    if (start < 0 || end < -1) OutOfRange();
    FINDTEXTEXW find{};
    find.chrg = {start, end};
    find.lpstrText = text.c_str();
    WPARAM flags = FR_DOWN;
    if (options & kFindWholeWord) flags |= FR_WHOLEWORD;
    if (options & kFindMatchCase) flags |= FR_MATCHCASE;
    const auto found = static_cast<int32_t>(
        SendMessageW(richEdit, EM_FINDTEXTEXW, flags, reinterpret_cast<LPARAM>(&find)));
    if (found != -1 && !(options & kFindNoHighlight)) {
        SendMessageW(richEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&find.chrgText));
    }
    return found;
}

std::wstring GetLine(HWND richEdit, int32_t lineNumber) {
    if (!richEdit) return {};
    const LRESULT start = LineStart(richEdit, lineNumber);
    const LRESULT length = Send(richEdit, EM_LINELENGTH, static_cast<WPARAM>(start));
    if (length <= 0) return {};
    // The window reads the buffer's size from its first character, which has 16 bits.
    std::wstring line(static_cast<size_t>(std::min<LRESULT>(length, 0xFFFF)), L'\0');
    line[0] = static_cast<wchar_t>(line.size());
    const LRESULT copied = SendMessageW(richEdit, EM_GETLINE,
                                        static_cast<WPARAM>(LineIndex(richEdit, lineNumber, start)),
                                        reinterpret_cast<LPARAM>(line.data()));
    if (copied <= 0) return {};
    line.resize(std::min(static_cast<size_t>(copied), line.size()));
    return line;
}

void ScrollToLine(HWND richEdit, int32_t lineNumber) {
    if (!richEdit) return;
    const LRESULT start = LineStart(richEdit, lineNumber);
    const LRESULT line = LineIndex(richEdit, lineNumber, start);
    const LRESULT first = Send(richEdit, EM_GETFIRSTVISIBLELINE);
    Send(richEdit, EM_LINESCROLL, 0, line - first);
}

int32_t GetLineFromChar(HWND richEdit, int32_t charIndex) {
    if (!richEdit) return 0;
    if (charIndex < -1) OutOfRange();
    return static_cast<int32_t>(Send(richEdit, EM_EXLINEFROMCHAR, 0, charIndex)) + 1;
}

int32_t CharFromPos(HWND richEdit, const Host::ControlSite& site, float x, float y) {
    if (!richEdit) return 0;
    POINTL point{RoundToInt32(site.ScaleX(x, Unit::ContainerPosition, Unit::Pixels)),
                 RoundToInt32(site.ScaleY(y, Unit::ContainerPosition, Unit::Pixels))};
    return static_cast<int32_t>(
        SendMessageW(richEdit, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point)));
}

float Margin(HWND richEdit, const Host::ControlSite& site, bool right) {
    if (!richEdit) return 0;
    const auto margins = static_cast<DWORD>(Send(richEdit, EM_GETMARGINS));
    const WORD pixels = right ? HIWORD(margins) : LOWORD(margins);
    return static_cast<float>(site.ScaleX(pixels, Unit::Pixels, Unit::ContainerSize));
}

void SetMargin(HWND richEdit, Host::ControlSite& site, bool right, float value) {
    if (!richEdit) return;
    if (value == 65535 || value == -1) {
        Send(richEdit, EM_SETMARGINS, EC_USEFONTINFO);
    } else {
        if (value < 0) OutOfRange();
        const int16_t pixels = RoundToInt16(site.ScaleX(value, Unit::ContainerSize, Unit::Pixels));
        const auto word = static_cast<WORD>(pixels);
        Send(richEdit, EM_SETMARGINS, right ? EC_RIGHTMARGIN : EC_LEFTMARGIN,
             right ? MAKELPARAM(0, word) : MAKELPARAM(word, 0));
    }
    site.PropertyChanged(right ? L"RightMargin" : L"LeftMargin");
}

double Zoom(HWND richEdit) {
    if (!richEdit) return 0;
    int numerator = 0, denominator = 0;
    SendMessageW(richEdit, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator),
                 reinterpret_cast<LPARAM>(&denominator));
    // 0 over 0 is no zoom.
    if (denominator == 0) return 1.0;
    return static_cast<double>(numerator) / denominator;
}

void SetZoom(HWND richEdit, Host::ControlSite& site, double value) {
    if (!richEdit) return;
    WPARAM numerator = 0;
    LPARAM denominator = 0;
    if (value != 1.0) {
        numerator = static_cast<WPARAM>(RoundToInt32(value * 1000));
        denominator = 1000;
    }
    if (!SendMessageW(richEdit, EM_SETZOOM, numerator, denominator)) OutOfRange();
    site.PropertyChanged(L"ZoomFactor");
}

}  // namespace RichTextEditing

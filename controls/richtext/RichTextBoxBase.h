// RichTextBoxBase: the rich edit library shared by every rich text box of the process, and
// the transfer of a rich edit window's content to and from strings and files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace RichTextBoxBase {

// Loads the rich edit library for one more rich text box: Msftedit.dll ("RichEdit50W"),
// else Riched20.dll ("RichEdit20W"), only ever from the system folder. False when neither
// loads.
bool InitRichTextBox();
// One rich text box is gone (its window destroyed): the last one frees the library.
void ReleaseRichTextBox();
// The window class of the loaded library; empty when none is loaded.
const wchar_t* RichEditClass();
// The loaded library; null when none is.
HMODULE RichEditModule();

// ---- Streaming ----------------------------------------------------------------------------
//
// `flags` are the window's own SF_TEXT, SF_RTF, SF_UNICODE and SFF_SELECTION. Every transfer
// has its own buffer, so a handler that streams from inside a notification cannot disturb
// the transfer in progress. A 0 window does nothing (an empty string out).

// The content (or the selection) as a string. Without SF_UNICODE the window's bytes are of
// the system ANSI code page and are converted.
std::wstring StreamStringOut(HWND richEdit, DWORD flags);
// Replaces the content (or the selection) with `text`. Without SF_UNICODE, RTF is handed over
// with every character beyond ASCII as its \u keyword (so no code page can garble it) and
// plain text in the system ANSI code page. The window's text limit is lifted for the
// transfer, so nothing is cut, and `maxLength` (0 for the window's default) is set after.
void StreamStringIn(HWND richEdit, const std::wstring& text, DWORD flags, int32_t maxLength);
// Writes the content (or the selection) to a new file beside `fileName` and replaces the
// file with it only when everything was written; error 75 otherwise, the old file intact.
void StreamFileOut(HWND richEdit, const std::wstring& fileName, DWORD flags);
// Reads the file into the window as StreamStringIn does; error 75 when it cannot be opened
// or read.
void StreamFileIn(HWND richEdit, const std::wstring& fileName, DWORD flags, int32_t maxLength);

// ---- Files --------------------------------------------------------------------------------

// LoadFile and SaveFile formats.
inline constexpr int32_t kFormatRTF = 0;
inline constexpr int32_t kFormatText = 1;
inline constexpr int32_t kFormatUnicodeText = 2;

// Error 75's text; message boxes add a final period.
inline constexpr wchar_t kFileAccessDescription[] =
    L"The specified file name cannot be accessed or is invalid";
[[noreturn]] void RaiseFileAccess();

// Whether `fileName` names an existing file (not a folder or a volume label); any error
// reading its attributes counts as missing.
bool FileExists(const std::wstring& fileName);
// The stream flags of a LoadFile or SaveFile format (unknown formats add none), with
// SFF_SELECTION for the selection only. Format 2 is Unicode text.
DWORD FormatFlags(int32_t format, bool selectionOnly);
// The format a file's first bytes announce: 2 after a UTF-16LE byte-order mark, 0 after
// "{\rtf" (in any case), else 1; error 75 when it cannot be read.
int32_t DetectFileFormat(const std::wstring& fileName);
// Loads a file into the window (an empty name does nothing); error 75 when it is missing or
// cannot be read. Format 2 reads UTF-16LE after a byte-order mark (a file holding only the
// mark is an empty document) and ANSI text without one.
void LoadFile(HWND richEdit, const std::wstring& fileName, int32_t format, bool selectionOnly,
              int32_t maxLength);
// Saves the content (an empty name does nothing) through StreamFileOut.
void SaveFile(HWND richEdit, const std::wstring& fileName, int32_t format, bool selectionOnly);

}  // namespace RichTextBoxBase

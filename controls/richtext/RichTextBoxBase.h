// RichTextBoxBase: the rich edit library shared by every rich text box of the process.
#pragma once

#include <windows.h>

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

}  // namespace RichTextBoxBase

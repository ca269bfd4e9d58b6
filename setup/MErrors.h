// MErrors: the number and description of a failed operation, as the setup procedures report
// them ("Ошибка номер: " + number + CR LF + description).
//
// - A file or resource operation: the Win32 error code (5 for a file that may not be deleted)
//   and the system's text for it (FormatMessageW, the user's language).
// - An automation call that raised an exception (DISP_E_EXCEPTION): the server's EXCEPINFO
//   scode, or its wCode in the HRESULT form 0x800A0000 | wCode when it gave no scode, and the
//   server's own description.
// - Any other failed COM or automation call: its HRESULT.
// Numbers are shown as signed decimals (an HRESULT such as 0x800A03EC as -2146827284). Where
// the system has no text for a code, the description says so in the program's language.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "controls/base/ControlError.h"

namespace MErrors {

ControlError FromWin32(DWORD code);
// `excepInfo`: what the Invoke that returned `hr` filled in, or nullptr.
ControlError FromHResult(HRESULT hr, EXCEPINFO* excepInfo = nullptr);

// The system's text for `code`, without the line end; empty when the system has none.
std::wstring SystemMessage(DWORD code);

}  // namespace MErrors

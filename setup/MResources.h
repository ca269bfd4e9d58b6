// MResources: the resources the program carries, read back whole: the payloads of type
// "CUSTOM" (language 1049) and the string resources (the licence agreement, an RTF document
// of up to 65,535 characters). Shared by the setup procedures, the main window and the tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace MResources {

inline constexpr WORD kWorkbook = 101;  // the add-in workbook, written as Paylevix.xla
inline constexpr WORD kHelpFile = 102;  // the help file, written as Paylevix.chm
inline constexpr UINT kLicence = 150;   // the licence agreement (RTF)

// The bytes of resource `id` of type "CUSTOM" of the program's module. Throws ControlError
// with the Win32 error when it cannot be found or loaded.
std::vector<uint8_t> LoadCustom(WORD id);

// String resource `id`, whole. Throws ControlError when there is none.
std::wstring LoadText(UINT id);

}  // namespace MResources

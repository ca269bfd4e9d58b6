// FMain: the setup program's only window, from the layout stored as a resource.
#pragma once

#include <memory>
#include <string>

#include "host/Form.h"

namespace FMain {

// The title the load handler sets; a second copy of the program finds this window by it and
// the form window class.
inline constexpr wchar_t kTitle[] = L"Установка надстройки Paylevix для Microsoft Excel";
// The RCDATA resource holding the layout.
inline constexpr wchar_t kLayoutResource[] = L"FMAIN";

// The window with its load and click handlers, not loaded yet. The control types it names
// are registered here.
std::unique_ptr<Host::Form> Create();

}  // namespace FMain

// MSetup: installation and removal of the add-in, and the probe for a running spreadsheet
// application. The procedures report every outcome in a message box and return nothing.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "controls/base/ControlError.h"

namespace MSetup {

inline constexpr wchar_t kAddInName[] = L"Paylevix";
inline constexpr wchar_t kExcelProgId[] = L"Excel.Application";

// Writes the add-in workbook into the user's add-ins folder, switches the add-in on in a
// private instance of the application, and writes the help file beside the application (an
// administrator) or beside this program (anyone else, with a warning to copy it).
void InstallAddIn();

// Switches the add-in off in a private instance of the application, then deletes the add-in
// workbook and, for an administrator, the help file beside the application.
void UninstallAddIn();

// Whether the add-in workbook is there to remove: the add-in path (which needs APPDATA)
// names a normal file, as the procedures themselves test it.
bool AddInPresent();

// True when a running application has registered itself as the active object of its class.
// Never fails and never shows anything.
bool IsExcelRunning();

// Whether the user is an administrator. The procedures ask through this seam so that tests
// can answer for the system. An implementation may throw ControlError when it cannot tell.
class IAdministratorCheck {
public:
    virtual ~IAdministratorCheck() = default;
    virtual bool IsUserAnAdmin() = 0;
};

// Replaces the check the procedures make; nullptr restores the system's (shell32).
void SetAdministratorCheck(IAdministratorCheck* check);

enum class Procedure { InstallAddIn, UninstallAddIn };

// The failure handler of both procedures: shows "Ошибка номер: " + number + CR LF +
// description (+ CR LF + the step's text), titled "В строке <step> InstallAddIn" (or
// UninstallAddIn), style MB_SYSTEMMODAL | MB_ICONHAND. At step 60 it first asks `excel` (when
// given) to quit, ignoring any failure of that.
void ReportFailure(Procedure procedure, int step, const ControlError& error, IDispatch* excel);

// The text that a failure at `step` appends; empty for the steps that have none.
std::wstring StepText(Procedure procedure, int step);

}  // namespace MSetup

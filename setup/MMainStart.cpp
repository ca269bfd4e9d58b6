#include "setup/MMain.h"

#include "controls/base/Common.h"

namespace MMain {

void Main() {
    // The main window is not built yet: say so instead of opening nothing.
    Common::ShowMessageBox(L"Paylevix setup: the main window is not built yet.", MB_ICONINFORMATION);
}

}  // namespace MMain

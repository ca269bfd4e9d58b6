// Writes GetAppFolder() as UTF-16 to the file named by its one argument.
#include <windows.h>

#include "controls/base/Common.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring folder = Common::GetAppFolder();
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, folder.data(), static_cast<DWORD>(folder.size() * 2), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 4;
}

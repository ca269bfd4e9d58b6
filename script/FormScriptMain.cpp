// formscript.exe: runs a script on a form (see script/README.md).
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "controls/AllControls.h"
#include "controls/base/OleApartment.h"
#include "controls/base/VisualStyles.h"
#include "host/Program.h"
#include "script/Runner.h"

namespace {

void WriteError(const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), n,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Libraries loaded by name (the script engines among them) come from the system folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);

    std::wstring error;
    std::optional<FormScript::Options> options = FormScript::ParseCommandLine(args, error);
    if (!options) {
        WriteError(error);
        return 2;
    }
    VisualStyles::InitVisualStyles();
    AllControls::Register();
    OleApartment ole;
    int code = 0;
    {
        FormScript::Runner runner(std::move(*options));
        code = runner.Run();
    }
    Program::DestroyMainWindow();
    return code;
}

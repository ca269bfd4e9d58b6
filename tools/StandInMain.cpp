// The spreadsheet automation stand-in: an out-of-process automation server registered under
// the spreadsheet application's ProgID, for machines that do not have the application.
//
//   spreadsheet_standin.exe -Embedding     started by COM for a creation
//   spreadsheet_standin.exe                running mode: the active object until stopped
//   spreadsheet_standin.exe /RegServer     register (HKEY_CLASSES_ROOT) / unregister
//   spreadsheet_standin.exe /UnregServer
//   spreadsheet_standin.exe /Stop          end a stand-in in running mode
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tools/StandInServer.h"

namespace {

bool IsSwitch(const wchar_t* arg, const wchar_t* name) {
    return (arg[0] == L'/' || arg[0] == L'-') &&
           CompareStringOrdinal(arg + 1, -1, name, -1, TRUE) == CSTR_EQUAL;
}

std::wstring OwnPath() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::wstring(buffer.data(), length);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < argc; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);
    StandInServer::Mode mode = StandInServer::Mode::Running;
    for (const std::wstring& arg : args) {
        if (IsSwitch(arg.c_str(), L"RegServer")) return StandInServer::Register(OwnPath()) ? 0 : 2;
        if (IsSwitch(arg.c_str(), L"UnregServer")) return StandInServer::Unregister() ? 0 : 2;
        if (IsSwitch(arg.c_str(), L"Stop")) return StandInServer::Stop() ? 0 : 1;
        if (IsSwitch(arg.c_str(), L"Embedding")) mode = StandInServer::Mode::Embedding;
    }
    return StandInServer::Run(mode);
}

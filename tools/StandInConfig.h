// StandInConfig: what a test chooses for the spreadsheet automation stand-in.
//
// The stand-in is started by COM, not by the test, so it cannot rely on inheriting the
// test's environment (Windows starts it through the COM service; Wine happens to start it
// from the client). Both read and write one per-user registry key instead:
//
//   HKCU\Software\Paylevix\SpreadsheetStandIn
//     Journal        REG_SZ     file that every call is appended to (none when missing)
//     AppData        REG_SZ     the user's application-data folder as the stand-in sees it:
//                               add-ins are listed from <AppData>\Microsoft\AddIns and the
//                               Installed states kept in <AppData>\Paylevix\SpreadsheetStandIn
//                               (default: the stand-in's own %APPDATA%)
//     ProgramFolder  REG_SZ     what Path answers (default: a folder under Program Files,
//                               created when missing)
//     FailCreate     REG_DWORD  an HRESULT: creating the application object fails with it
//     Faults\<member>           a member that fails (AddIns, Installed, Path, Quit, Name, ...):
//       HResult      REG_DWORD  the HRESULT (the EXCEPINFO scode when Description is given)
//       Description  REG_SZ     the error's description; when empty the call returns the
//                               HRESULT itself instead of an exception
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace StandInConfig {

// The stand-in's own class, registered under the ProgID that the setup program creates.
inline constexpr CLSID kClsid = {
    0x9b6ecd3a, 0xd590, 0x471f, {0x84, 0x37, 0xe6, 0xe3, 0x52, 0x65, 0xc6, 0xb1}};
inline constexpr wchar_t kClsidText[] = L"{9B6ECD3A-D590-471F-8437-E6E35265C6B1}";
inline constexpr wchar_t kProgId[] = L"Excel.Application";
inline constexpr wchar_t kKey[] = L"Software\\Paylevix\\SpreadsheetStandIn";
// Set to end a stand-in started in running mode.
inline constexpr wchar_t kStopEvent[] = L"PaylevixSpreadsheetStandInStop";
// The error that AddIns raises for a name it does not list.
inline constexpr HRESULT kAddInNotFound = static_cast<HRESULT>(0x800A03EC);

struct Fault {
    HRESULT hr = E_FAIL;
    std::wstring description;
};

// Case-insensitive member names.
struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
    }
};

struct Settings {
    std::wstring journal;
    std::wstring appData;
    std::wstring programFolder;
    HRESULT failCreate = S_OK;
    std::map<std::wstring, Fault, NoCaseLess> faults;
};

// The settings now in the registry (defaults where nothing is set).
Settings Read();
// Replaces whatever was set before with `settings`.
void Write(const Settings& settings);
// Removes the key: every default applies again.
void Clear();

// The folders and files the settings stand for, defaults resolved.
std::wstring AppDataFolder(const Settings& settings);  // no trailing backslash
std::wstring AddInsFolder(const Settings& settings);   // no trailing backslash
std::wstring StateFile(const Settings& settings);
std::wstring ProgramFolder(const Settings& settings);  // no trailing backslash
std::wstring DefaultProgramFolder();

// The Installed state of an add-in, kept between runs.
bool ReadInstalled(const Settings& settings, const std::wstring& name);
bool WriteInstalled(const Settings& settings, const std::wstring& name, bool installed);

}  // namespace StandInConfig

#include "tools/StandInConfig.h"

#include <shlobj.h>

#include <utility>
#include <vector>

namespace StandInConfig {

namespace {

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    bool Open(HKEY parent, const std::wstring& path) {
        return RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key_) == ERROR_SUCCESS;
    }
    bool Create(HKEY parent, const std::wstring& path) {
        return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                               &key_, nullptr) == ERROR_SUCCESS;
    }
    HKEY Get() const { return key_; }

    std::wstring String(const wchar_t* name) const {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return {};
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                             &size) != ERROR_SUCCESS)
            return {};
        return buffer.data();
    }
    bool Dword(const wchar_t* name, DWORD& value) const {
        DWORD type = 0, size = sizeof(value);
        return RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                &size) == ERROR_SUCCESS &&
               type == REG_DWORD;
    }
    void SetString(const wchar_t* name, const std::wstring& value) {
        RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void SetDword(const wchar_t* name, DWORD value) {
        RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    }

private:
    HKEY key_ = nullptr;
};

std::wstring TrimSlash(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring Environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (!size) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

void CreateFolders(const std::wstring& folder) {
    for (size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
}

}  // namespace

Settings Read() {
    Settings settings;
    RegKey key;
    if (!key.Open(HKEY_CURRENT_USER, kKey)) return settings;
    settings.journal = key.String(L"Journal");
    settings.appData = key.String(L"AppData");
    settings.programFolder = key.String(L"ProgramFolder");
    DWORD value = 0;
    if (key.Dword(L"FailCreate", value)) settings.failCreate = static_cast<HRESULT>(value);
    RegKey faults;
    if (!faults.Open(key.Get(), L"Faults")) return settings;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(faults.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        RegKey member;
        if (!member.Open(faults.Get(), name)) continue;
        Fault fault;
        if (member.Dword(L"HResult", value)) fault.hr = static_cast<HRESULT>(value);
        fault.description = member.String(L"Description");
        settings.faults[name] = std::move(fault);
    }
    return settings;
}

void Write(const Settings& settings) {
    Clear();
    RegKey key;
    if (!key.Create(HKEY_CURRENT_USER, kKey)) return;
    if (!settings.journal.empty()) key.SetString(L"Journal", settings.journal);
    if (!settings.appData.empty()) key.SetString(L"AppData", settings.appData);
    if (!settings.programFolder.empty()) key.SetString(L"ProgramFolder", settings.programFolder);
    if (settings.failCreate != S_OK)
        key.SetDword(L"FailCreate", static_cast<DWORD>(settings.failCreate));
    for (const auto& [name, fault] : settings.faults) {
        RegKey member;
        if (!member.Create(key.Get(), L"Faults\\" + name)) continue;
        member.SetDword(L"HResult", static_cast<DWORD>(fault.hr));
        member.SetString(L"Description", fault.description);
    }
}

void Clear() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

std::wstring AppDataFolder(const Settings& settings) {
    return TrimSlash(settings.appData.empty() ? Environment(L"APPDATA") : settings.appData);
}

std::wstring AddInsFolder(const Settings& settings) {
    return AppDataFolder(settings) + L"\\Microsoft\\AddIns";
}

std::wstring StateFile(const Settings& settings) {
    return AppDataFolder(settings) + L"\\Paylevix\\SpreadsheetStandIn\\state.ini";
}

std::wstring DefaultProgramFolder() {
    wchar_t programFiles[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles)))
        return L"C:\\Program Files\\Paylevix Spreadsheet Stand-in";
    return TrimSlash(programFiles) + L"\\Paylevix Spreadsheet Stand-in";
}

std::wstring ProgramFolder(const Settings& settings) {
    if (!settings.programFolder.empty()) return TrimSlash(settings.programFolder);
    // The default is the stand-in's own: it must exist, as the real program's folder does.
    std::wstring folder = DefaultProgramFolder();
    CreateFolders(folder);
    return folder;
}

bool ReadInstalled(const Settings& settings, const std::wstring& name) {
    return GetPrivateProfileIntW(L"Installed", name.c_str(), 0, StateFile(settings).c_str()) != 0;
}

bool WriteInstalled(const Settings& settings, const std::wstring& name, bool installed) {
    const std::wstring file = StateFile(settings);
    CreateFolders(file.substr(0, file.find_last_of(L'\\')));
    return WritePrivateProfileStringW(L"Installed", name.c_str(), installed ? L"1" : L"0",
                                      file.c_str()) != FALSE;
}

}  // namespace StandInConfig

#include "setup/MSetup.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/Handles.h"
#include "setup/MAutomation.h"
#include "setup/MErrors.h"
#include "setup/MResources.h"

namespace MSetup {

namespace {

constexpr uint32_t kErrorStyle = MB_SYSTEMMODAL | MB_ICONHAND;  // 0x1010
constexpr uint32_t kSuccessStyle = MB_SYSTEMMODAL;              // 0x1000
constexpr uint32_t kWarningStyle = MB_ICONHAND;                 // 0x10
constexpr wchar_t kTitle[] = L"Paylevix";
constexpr wchar_t kCloseExcel[] = L"Закройте Excel и перезапустите установку надстройки";
constexpr wchar_t kManualTail[] =
    L". Попробуйте установить её вручную через "
    L"меню Параметры -> Надстройки -> Выбрать внизу окна в выпадающем списке "
    L"\"Надстройки Excel\" и нажать кнопку \"Перейти\".";

class SystemAdministratorCheck final : public IAdministratorCheck {
public:
    bool IsUserAnAdmin() override { return ::IsUserAnAdmin() != FALSE; }
};

SystemAdministratorCheck g_systemCheck;
IAdministratorCheck* g_check = &g_systemCheck;

// The procedures run on the program's apartment; one of their own only if there is none yet.
class Apartment {
public:
    Apartment() : owned_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    ~Apartment() {
        if (owned_) CoUninitialize();
    }

private:
    bool owned_;
};

// Opens `path` for binary read/write access, creating the file when it is missing; an
// existing file keeps its content until it is written over.
UniqueFile OpenFile(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw MErrors::FromWin32(GetLastError());
    return file;
}

// Writes `bytes` at the start of the file and ends the file after them, so that nothing of a
// longer old file (one the directory search did not see) is left behind.
void WriteAll(HANDLE file, const std::vector<uint8_t>& bytes) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        throw MErrors::FromWin32(GetLastError());
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) {
            throw MErrors::FromWin32(GetLastError());
        }
        if (written == 0) throw MErrors::FromWin32(ERROR_WRITE_FAULT);
        done += written;
    }
    if (!SetEndOfFile(file)) throw MErrors::FromWin32(GetLastError());
}

// Closes the file now, so that a failure to close is reported at its own step.
void CloseFile(UniqueFile& file) {
    if (!CloseHandle(file.Release())) throw MErrors::FromWin32(GetLastError());
}

// A directory search for `path` finds a normal file: not a folder, not hidden, not a system
// file.
bool FindsNormalFile(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return !(data.dwFileAttributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

void DeleteNormalFile(const std::wstring& path) {
    if (FindsNormalFile(path) && !DeleteFileW(path.c_str()))
        throw MErrors::FromWin32(GetLastError());
}

// Creates the folders of `path` that are missing. Failures are left to the opening of the
// file, which then reports them.
void CreateFoldersOf(const std::wstring& path) {
    const size_t last = path.find_last_of(L'\\');
    if (last == std::wstring::npos) return;
    const std::wstring folder = path.substr(0, last);
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    for (size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
}

// %APPDATA%\Microsoft\AddIns\Paylevix.xla. Without APPDATA there is no such path: the bare
// remainder would name a folder at the root of the current drive.
std::wstring AddInPath() {
    const DWORD size = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (size <= 1) throw MErrors::FromWin32(ERROR_ENVVAR_NOT_FOUND);
    std::wstring appData(size, L'\0');
    appData.resize(GetEnvironmentVariableW(L"APPDATA", appData.data(), size));
    if (appData.empty()) throw MErrors::FromWin32(ERROR_ENVVAR_NOT_FOUND);
    return appData + L"\\Microsoft\\AddIns\\" + kAddInName + L".xla";
}

}  // namespace

bool AddInPresent() {
    try {
        return FindsNormalFile(AddInPath());
    } catch (const ControlError&) {
        return false;  // no APPDATA: no add-in path at all
    }
}

namespace {

void SetInstalled(IDispatch* excel, bool installed) {
    const ComPtr<IDispatch> addIn =
        MAutomation::ToObject(MAutomation::Get(excel, L"AddIns", {Variant::String(kAddInName)}));
    MAutomation::Put(addIn.Get(), L"Installed", Variant::Bool(installed));
}

// The application's folder + "\Paylevix.chm".
std::wstring ExcelHelpPath(IDispatch* excel) {
    return MAutomation::ToText(MAutomation::Get(excel, L"Path")) + L"\\" + kAddInName + L".chm";
}

std::wstring Title(Procedure procedure, int step) {
    return L"В строке " + std::to_wstring(step) +
           (procedure == Procedure::InstallAddIn ? L" InstallAddIn" : L" UninstallAddIn");
}

}  // namespace

void SetAdministratorCheck(IAdministratorCheck* check) {
    g_check = check ? check : &g_systemCheck;
}

bool IsExcelRunning() {
    Apartment apartment;
    bool running = false;
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(kExcelProgId, &clsid))) {
        ComPtr<IUnknown> object;
        running = SUCCEEDED(GetActiveObject(clsid, nullptr, object.Put())) && object;
    }
    SetErrorInfo(0, nullptr);
    return running;
}

// What each step of a procedure was doing, for the failure report; a step of one procedure
// only has no text in the other.
struct StepEntry {
    int step;
    const wchar_t* install;
    const wchar_t* remove;
};
constexpr StepEntry kStepTexts[] = {
    {10, L"Файл надстройки из ресурсов не загружен", L""},
    {13, L"Не удалось определить путь к файлу надстройки",
     L"Не удалось определить путь к файлу надстройки"},
    {15, L"Не могу удалить старый файл надстройки", L""},
    {20, L"Не могу создать новый файл надстройки", L""},
    {25, L"Не могу записать данные в файл надстройки", L""},
    {30, L"Не удалось закрыть файл надстройки", L""},
    {50, L"Не удалось открыть Excel", L"Не удалось открыть Excel"},
    {60, L"Не удалось включить надстройку ", L"Не удалось отключить надстройку "},
    {63, L"Не удалось получить путь к Excel", L"Не удалось получить путь к Excel"},
    {64, L"Не удалось получить путь к текущей папке", L""},
    {65, L"Не удалось закрыть Excel", L"Не удалось закрыть Excel"},
    {80, L"Файл справки из ресурсов не загружен", L"Не могу удалить старый файл надстройки"},
    {81, L"Не могу проверить права администратора", L""},
    {83, L"Не могу удалить старый файл справки", L"Не могу удалить старый файл справки"},
    {88, L"Не могу создать новый файл справки", L""},
    {90, L"Не могу записать данные в файл справки", L""},
    {93, L"Не удалось закрыть файл справки", L""},
    {100, L"Не могу удалить старый файл справки в текущей папке", L""},
    {110, L"Не могу создать новый файл справки в текущей папке", L""},
    {115, L"Не могу записать данные в файл справки в текущей папке", L""},
    {120, L"Не удалось закрыть файл справки в текущей папке", L""},
};

std::wstring StepText(Procedure procedure, int step) {
    for (const StepEntry& t : kStepTexts) {
        if (t.step != step) continue;
        std::wstring text = procedure == Procedure::InstallAddIn ? t.install : t.remove;
        // The add-in could not be switched: the user is told how to do it by hand.
        if (step == 60) text += std::wstring(kAddInName) + kManualTail;
        return text;
    }
    return L"";
}

void ReportFailure(Procedure procedure, int step, const ControlError& error, IDispatch* excel) {
    std::wstring text =
        L"Ошибка номер: " + std::to_wstring(error.Number()) + L"\r\n" + error.Description();
    const std::wstring stepText = StepText(procedure, step);
    if (!stepText.empty()) text += L"\r\n" + stepText;
    // The add-in could not be switched: the private instance is not needed any more.
    if (step == 60 && excel) {
        try {
            MAutomation::Call(excel, L"Quit");
        } catch (const ControlError&) {
        }
    }
    Common::ShowMessageBox(text, kErrorStyle, Title(procedure, step));
}

namespace {

// Runs a procedure's steps after the check that the application is closed; each step sets
// the number it is at, so that a failure is reported with the step it stopped at.
template <class Steps>
void RunProcedure(Procedure procedure, Steps&& steps) {
    Apartment apartment;
    int step = 0;
    ComPtr<IDispatch> excel;
    try {
        step = 5;
        if (IsExcelRunning()) {
            Common::ShowMessageBox(kCloseExcel, kErrorStyle, kTitle);
            return;
        }
        steps(step, excel);
    } catch (const ControlError& error) {
        ReportFailure(procedure, step, error, excel.Get());
    } catch (const std::bad_alloc&) {
        ReportFailure(procedure, step, ControlError(ControlErrors::kOutOfMemory), excel.Get());
    }
}

// Writes `data` as the file at `path` in place of any old one: the four steps (delete,
// create, write, close) numbered as given. The add-ins folder of a user who has never
// started the application may be missing: `makeFolders` creates it at the create step.
void ReplaceFile(const std::wstring& path, const std::vector<uint8_t>& data, int& step,
                 const int (&steps)[4], bool makeFolders = false) {
    step = steps[0];
    DeleteNormalFile(path);
    step = steps[1];
    if (makeFolders) CreateFoldersOf(path);
    UniqueFile file = OpenFile(path);
    step = steps[2];
    WriteAll(file.Get(), data);
    step = steps[3];
    CloseFile(file);
}

}  // namespace

void InstallAddIn() {
    RunProcedure(Procedure::InstallAddIn, [](int& step, ComPtr<IDispatch>& excel) {
        step = 10;
        std::vector<uint8_t> data = MResources::LoadCustom(MResources::kWorkbook);
        step = 13;
        const std::wstring addInPath = AddInPath();
        ReplaceFile(addInPath, data, step, {15, 20, 25, 30}, true);
        step = 50;
        excel = MAutomation::CreateObject(kExcelProgId);
        step = 55;
        ComPtr<IDispatch> quitter = excel;
        step = 60;
        SetInstalled(excel.Get(), true);
        step = 63;
        const std::wstring excelHelpPath = ExcelHelpPath(excel.Get());
        step = 64;
        const std::wstring localHelpPath = Common::GetAppFolder() + kAddInName + L".chm";
        step = 65;
        MAutomation::Call(quitter.Get(), L"Quit");
        step = 70;
        quitter.Reset();
        step = 80;
        data = MResources::LoadCustom(MResources::kHelpFile);
        step = 81;
        if (g_check->IsUserAnAdmin()) {
            ReplaceFile(excelHelpPath, data, step, {83, 88, 90, 93});
        } else {
            ReplaceFile(localHelpPath, data, step, {100, 110, 115, 120});
            step = 125;
            Common::ShowMessageBox(
                L"Программа установки запущена без прав администратора. "
                L"Установка прошла успешно, но вам нужно самостоятельно "
                L"скопировать файл \r\n" +
                    localHelpPath + L"\r\nв папку \r\n" + excelHelpPath,
                kWarningStyle, L"ВНИМАНИЕ!");
        }
        step = 130;
        Common::ShowMessageBox(L"Установка прошла успешно!", kSuccessStyle, kTitle);
    });
}

void UninstallAddIn() {
    RunProcedure(Procedure::UninstallAddIn, [](int& step, ComPtr<IDispatch>& excel) {
        step = 13;
        const std::wstring addInPath = AddInPath();
        step = 50;
        excel = MAutomation::CreateObject(kExcelProgId);
        step = 55;
        ComPtr<IDispatch> quitter = excel;
        step = 60;
        SetInstalled(excel.Get(), false);
        step = 63;
        const std::wstring excelHelpPath = ExcelHelpPath(excel.Get());
        step = 65;
        MAutomation::Call(quitter.Get(), L"Quit");
        step = 70;
        quitter.Reset();
        step = 80;
        DeleteNormalFile(addInPath);
        step = 83;
        if (g_check->IsUserAnAdmin()) DeleteNormalFile(excelHelpPath);
        step = 95;
        Common::ShowMessageBox(L"Удаление прошло успешно!", kSuccessStyle, kTitle);
    });
}

}  // namespace MSetup

#include "tests/setup/SetupWorld.h"

#include <algorithm>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "setup/MResources.h"
#include "tests/support/Process.h"
#include "tools/StandInJournal.h"

const std::vector<std::wstring> kInstallJournal = {L"start embedding",
                                                   L"create",
                                                   L"AddIns(Paylevix)",
                                                   L"Paylevix.Installed = True",
                                                   L"Path",
                                                   L"Quit",
                                                   L"release",
                                                   L"exit"};
const std::vector<std::wstring> kUninstallJournal = {L"start embedding",
                                                     L"create",
                                                     L"AddIns(Paylevix)",
                                                     L"Paylevix.Installed = False",
                                                     L"Path",
                                                     L"Quit",
                                                     L"release",
                                                     L"exit"};

bool FakeAdministrator::IsUserAnAdmin() {
    ++calls;
    if (fail) throw ControlError(5, L"Проверка прав недоступна");
    return answer;
}

void SetupTest::SetUp() {
    // The test's name is the world's folder; a parameterised test's "/" is not a folder.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    world = std::make_unique<standin::StandInWorld>(std::wstring(name.begin(), name.end()));
    wchar_t saved[32768];
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", saved, ARRAYSIZE(saved));
    hadAppData_ = length > 0 && length < ARRAYSIZE(saved);
    if (hadAppData_) savedAppData_ = saved;
    SetEnvironmentVariableW(L"APPDATA", world->appData.c_str());
    addInFile = world->addIns + L"\\Paylevix.xla";
    excelHelp = world->programFolder + L"\\Paylevix.chm";
    localHelp = Common::GetAppFolder() + L"Paylevix.chm";
    testsupport::DeleteTree(localHelp);
    SetReadOnly(localHelp, false);
    DeleteFileW(localHelp.c_str());
    const std::vector<uint8_t> w = MResources::LoadCustom(MResources::kWorkbook);
    const std::vector<uint8_t> h = MResources::LoadCustom(MResources::kHelpFile);
    workbook.assign(w.begin(), w.end());
    help.assign(h.begin(), h.end());
    MSetup::SetAdministratorCheck(&admin);
}

void SetupTest::TearDown() {
    MSetup::SetAdministratorCheck(nullptr);
    EXPECT_TRUE(world->WaitForExit()) << "a stand-in process is still running";
    SetEnvironmentVariableW(L"APPDATA", hadAppData_ ? savedAppData_.c_str() : nullptr);
    SetReadOnly(localHelp, false);
    DeleteFileW(localHelp.c_str());
    testsupport::DeleteTree(localHelp);
    world.reset();
}

std::wstring SystemText(DWORD code) {
    wchar_t text[1024] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, ARRAYSIZE(text), nullptr);
    std::wstring result = text;
    while (!result.empty() &&
           (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result;
}

std::wstring FailureText(long number, const std::wstring& description,
                         const std::wstring& stepText) {
    return L"Ошибка номер: " + std::to_wstring(number) + L"\r\n" + description + L"\r\n" + stepText;
}

void SetReadOnly(const std::wstring& path, bool readOnly) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                                              : (attributes & ~FILE_ATTRIBUTE_READONLY));
}

JournalAtFirstBox* JournalAtFirstBox::current_ = nullptr;

JournalAtFirstBox::JournalAtFirstBox(std::wstring journal) : journal_(std::move(journal)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

JournalAtFirstBox::~JournalAtFirstBox() {
    if (hook_) UnhookWindowsHookEx(hook_);
    current_ = nullptr;
}

LRESULT CALLBACK JournalAtFirstBox::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && current_ && !current_->seen_) {
        wchar_t name[16] = L"";
        GetClassNameW(reinterpret_cast<HWND>(wParam), name, ARRAYSIZE(name));
        if (std::wstring(name) == L"#32770") {
            current_->seen_ = true;
            current_->lines_ = StandInJournal::ReadLines(current_->journal_);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

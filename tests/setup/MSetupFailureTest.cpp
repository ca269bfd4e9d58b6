// Every failure a real fault can reach, end to end, and the failure handler's table.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "controls/base/ControlError.h"
#include "setup/MSetup.h"
#include "tests/setup/SetupWorld.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Process.h"
#include "tools/StandInConfig.h"

using testsupport::CaughtBox;
using testsupport::FileExists;
using testsupport::MessageBoxCatcher;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;
using Lines = std::vector<std::wstring>;

namespace {

constexpr wchar_t kAddInFailed[] =
    L"Не удалось включить надстройку Paylevix. Попробуйте установить её вручную через меню "
    L"Параметры -> Надстройки -> Выбрать внизу окна в выпадающем списке \"Надстройки Excel\" "
    L"и нажать кнопку \"Перейти\".";

// Runs `procedure` and returns its only message box, which must be a failure box.
CaughtBox OnlyFailureBox(void (*procedure)()) {
    MessageBoxCatcher catcher;
    procedure();
    EXPECT_TRUE(catcher.Saw(1));
    if (catcher.Boxes().empty()) return {};
    const CaughtBox box = catcher.Boxes()[0];
    EXPECT_EQ(box.style, 0x1010u);
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONHAND));
    return box;
}

// Runs `procedure`, whose only box must report Win32 error `code` at `step` with the step's
// own text.
void ExpectFailure(void (*procedure)(), int step, DWORD code, const wchar_t* stepText) {
    const CaughtBox box = OnlyFailureBox(procedure);
    EXPECT_EQ(box.title,
              L"В строке " + std::to_wstring(step) +
                  (procedure == MSetup::InstallAddIn ? L" InstallAddIn" : L" UninstallAddIn"));
    EXPECT_EQ(box.text, FailureText(code, SystemText(code), stepText));
}

const Lines kBeforeStep60 = {L"start embedding", L"create"};

Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

using InstallFailure = SetupTest;
using UninstallFailure = SetupTest;

TEST_F(InstallFailure, AReadOnlyOldWorkbookStopsAtStep15) {
    ASSERT_TRUE(WriteFileBytes(addInFile, "old"));
    SetReadOnly(addInFile, true);
    ExpectFailure(MSetup::InstallAddIn, 15, ERROR_ACCESS_DENIED,
                  L"Не могу удалить старый файл надстройки");
    SetReadOnly(addInFile, false);
    EXPECT_EQ(ReadFileBytes(addInFile), "old");
    EXPECT_TRUE(world->Journal().empty());  // no server was started
}

TEST_F(InstallFailure, AFolderInTheWayOfTheWorkbookStopsAtStep20) {
    ASSERT_TRUE(CreateDirectoryW(addInFile.c_str(), nullptr));
    ExpectFailure(MSetup::InstallAddIn, 20, ERROR_ACCESS_DENIED,
                  L"Не могу создать новый файл надстройки");
    EXPECT_TRUE(world->Journal().empty());
}

TEST_F(SetupTest, WithoutAppDataBothProceduresStopAtStep13AndWriteNothing) {
    SetEnvironmentVariableW(L"APPDATA", nullptr);
    for (auto procedure : {MSetup::InstallAddIn, MSetup::UninstallAddIn})
        ExpectFailure(procedure, 13, ERROR_ENVVAR_NOT_FOUND,
                      L"Не удалось определить путь к файлу надстройки");
    // Not at the root of the current drive either.
    EXPECT_FALSE(FileExists(L"\\Microsoft\\AddIns\\Paylevix.xla"));
    EXPECT_TRUE(world->Journal().empty());
}

TEST_F(InstallFailure, ACreationFailureStopsAtStep50AndTheWrittenWorkbookStays) {
    world->settings.failCreate = E_ACCESSDENIED;
    world->Apply();
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 50 InstallAddIn");
    // The HRESULT as a signed number; its text is the system's for the Win32 error inside.
    EXPECT_EQ(box.text, FailureText(static_cast<long>(E_ACCESSDENIED),
                                    SystemText(ERROR_ACCESS_DENIED), L"Не удалось открыть Excel"));
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    EXPECT_FALSE(FileExists(excelHelp));
    EXPECT_FALSE(FileExists(localHelp));
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(),
              (Lines{L"start embedding", L"create -> error 0x80070005", L"exit"}));
}

TEST_F(InstallFailure, AnInstalledFailureStopsAtStep60AndQuitsBeforeTheBox) {
    world->settings.faults[L"Installed"] = {static_cast<HRESULT>(0x800A03EC),
                                            L"Нельзя установить свойство Installed"};
    world->Apply();
    JournalAtFirstBox atBox(world->journal);
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 60 InstallAddIn");
    EXPECT_EQ(box.text,
              FailureText(-2146827284, L"Нельзя установить свойство Installed", kAddInFailed));
    const Lines untilQuit =
        Concat(kBeforeStep60,
               {L"AddIns(Paylevix)", L"Paylevix.Installed = True -> error 0x800A03EC", L"Quit"});
    // Quit had been called when the box appeared (the server may be ending already).
    ASSERT_TRUE(atBox.Seen());
    ASSERT_GE(atBox.Lines().size(), untilQuit.size());
    EXPECT_EQ(Lines(atBox.Lines().begin(), atBox.Lines().begin() + untilQuit.size()), untilQuit);
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);  // no rollback
    EXPECT_FALSE(FileExists(excelHelp));
    EXPECT_FALSE(FileExists(localHelp));
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_FALSE(world->Installed(L"Paylevix"));
    EXPECT_EQ(world->Journal(), Concat(untilQuit, {L"release", L"exit"}));
}

TEST_F(InstallFailure, AnErrorWithoutDescriptionShowsTheHResultAndTheSystemsText) {
    // AddIns answers a bare HRESULT: no exception information to take a description from.
    world->settings.faults[L"AddIns"] = {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L""};
    world->Apply();
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 60 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(static_cast<long>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
                                    SystemText(ERROR_FILE_NOT_FOUND), kAddInFailed));
    ASSERT_TRUE(world->WaitForExit());
}

TEST_F(InstallFailure, PathAndQuitFailuresStopAtSteps63And65WithoutQuit) {
    admin.answer = true;
    world->settings.faults[L"Path"] = {E_FAIL, L"Папка программы неизвестна"};
    world->Apply();
    CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 63 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(static_cast<long>(E_FAIL), L"Папка программы неизвестна",
                                    L"Не удалось получить путь к Excel"));
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_TRUE(world->Installed(L"Paylevix"));  // step 60 had succeeded: no rollback
    const Lines run63 = Concat(kBeforeStep60, {L"AddIns(Paylevix)", L"Paylevix.Installed = True",
                                               L"Path -> error 0x80004005", L"release", L"exit"});
    EXPECT_EQ(world->Journal(), run63);

    world->settings.faults.clear();
    world->settings.faults[L"Quit"] = {static_cast<HRESULT>(0x800A01A8), L"Занято"};
    world->Apply();
    box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 65 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(-2146827864, L"Занято", L"Не удалось закрыть Excel"));
    EXPECT_FALSE(FileExists(excelHelp));
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(),
              Concat(run63, Concat(kBeforeStep60,
                                   {L"AddIns(Paylevix)", L"Paylevix.Installed = True", L"Path",
                                    L"Quit -> error 0x800A01A8", L"release", L"exit"})));
}

TEST_F(UninstallFailure, PathAndQuitFailuresStopAtSteps63And65AndDeleteNothing) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, workbook));
    ASSERT_TRUE(WriteFileBytes(excelHelp, help));
    world->settings.faults[L"Path"] = {E_FAIL, L"Папка программы неизвестна"};
    world->Apply();
    CaughtBox box = OnlyFailureBox(MSetup::UninstallAddIn);
    EXPECT_EQ(box.title, L"В строке 63 UninstallAddIn");
    EXPECT_EQ(box.text, FailureText(static_cast<long>(E_FAIL), L"Папка программы неизвестна",
                                    L"Не удалось получить путь к Excel"));
    ASSERT_TRUE(world->WaitForExit());

    world->settings.faults.clear();
    world->settings.faults[L"Quit"] = {E_FAIL, L"Занято"};
    world->Apply();
    box = OnlyFailureBox(MSetup::UninstallAddIn);
    EXPECT_EQ(box.title, L"В строке 65 UninstallAddIn");
    EXPECT_EQ(box.text,
              FailureText(static_cast<long>(E_FAIL), L"Занято", L"Не удалось закрыть Excel"));
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    EXPECT_TRUE(ReadFileBytes(excelHelp) == help);
    ASSERT_TRUE(world->WaitForExit());
    const Lines journal = world->Journal();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), L"Quit"), 0);
    EXPECT_EQ(journal.back(), L"exit");
}

TEST_F(InstallFailure, AReadOnlyHelpFileBesideTheApplicationStopsAtStep83) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(excelHelp, "old help"));
    SetReadOnly(excelHelp, true);
    ExpectFailure(MSetup::InstallAddIn, 83, ERROR_ACCESS_DENIED,
                  L"Не могу удалить старый файл справки");
    SetReadOnly(excelHelp, false);
    EXPECT_EQ(ReadFileBytes(excelHelp), "old help");
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), kInstallJournal);  // the application had been closed
}

TEST_F(UninstallFailure, AReadOnlyHelpFileBesideTheApplicationStopsAtStep83) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, workbook));
    ASSERT_TRUE(WriteFileBytes(excelHelp, "old help"));
    SetReadOnly(excelHelp, true);
    ExpectFailure(MSetup::UninstallAddIn, 83, ERROR_ACCESS_DENIED,
                  L"Не могу удалить старый файл справки");
    SetReadOnly(excelHelp, false);
    EXPECT_FALSE(FileExists(addInFile));  // step 80 had run
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), kUninstallJournal);
}

TEST_F(UninstallFailure, AReadOnlyWorkbookStopsAtStep80AfterTheAddInWasSwitchedOff) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, workbook));
    SetReadOnly(addInFile, true);
    ExpectFailure(MSetup::UninstallAddIn, 80, ERROR_ACCESS_DENIED,
                  L"Не могу удалить старый файл надстройки");
    SetReadOnly(addInFile, false);
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), kUninstallJournal);
}

TEST_F(InstallFailure, AMissingApplicationFolderStopsAtStep88) {
    admin.answer = true;
    world->settings.programFolder = world->root + L"NoSuchFolder";
    world->Apply();
    ExpectFailure(MSetup::InstallAddIn, 88, ERROR_PATH_NOT_FOUND,
                  L"Не могу создать новый файл справки");
    ASSERT_TRUE(world->WaitForExit());
}

TEST_F(InstallFailure, AReadOnlyHelpFileBesideTheProgramStopsAtStep100) {
    admin.answer = false;
    ASSERT_TRUE(WriteFileBytes(localHelp, "old help"));
    SetReadOnly(localHelp, true);
    ExpectFailure(MSetup::InstallAddIn, 100, ERROR_ACCESS_DENIED,
                  L"Не могу удалить старый файл справки в текущей папке");
    EXPECT_EQ(ReadFileBytes(localHelp), "old help");
    ASSERT_TRUE(world->WaitForExit());
}

TEST_F(InstallFailure, AFolderInTheWayOfTheHelpFileBesideTheProgramStopsAtStep110) {
    admin.answer = false;
    ASSERT_TRUE(CreateDirectoryW(localHelp.c_str(), nullptr));
    ExpectFailure(MSetup::InstallAddIn, 110, ERROR_ACCESS_DENIED,
                  L"Не могу создать новый файл справки в текущей папке");
    ASSERT_TRUE(world->WaitForExit());
}

TEST_F(InstallFailure, AnAdministratorCheckThatCannotTellStopsAtStep81) {
    admin.fail = true;
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 81 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(5, L"Проверка прав недоступна",
                                    L"Не могу проверить права администратора"));
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), kInstallJournal);
}

// The handler for every step of both procedures: the title names the step and the procedure,
// the text carries number and description, then the step's own line where it has one (the
// tests above check what a step says where a real fault reaches it); no two steps of a
// procedure say the same.
TEST(FailureHandler, EveryStepOfBothProceduresGetsItsTitleAndText) {
    struct Step {
        int number;
        bool ownText;
    };
    using enum MSetup::Procedure;
    const std::pair<MSetup::Procedure, std::vector<Step>> procedures[] = {
        {InstallAddIn,
         {{5, false},  {10, true},  {13, true},  {15, true},   {17, false}, {20, true},
          {25, true},  {30, true},  {50, true},  {55, false},  {60, true},  {63, true},
          {64, true},  {65, true},  {70, false}, {80, true},   {81, true},  {83, true},
          {85, false}, {88, true},  {90, true},  {93, true},   {100, true}, {105, false},
          {110, true}, {115, true}, {120, true}, {125, false}, {130, false}}},
        {UninstallAddIn,
         {{10, false},
          {13, true},
          {15, false},
          {50, true},
          {55, false},
          {60, true},
          {63, true},
          {64, false},
          {65, true},
          {70, false},
          {80, true},
          {81, false},
          {83, true},
          {88, false},
          {95, false}}},
    };
    const std::wstring common = L"Ошибка номер: -2147352567\r\nОписание";
    for (const auto& [procedure, steps] : procedures) {
        MessageBoxCatcher catcher;
        for (const Step& step : steps)
            MSetup::ReportFailure(procedure, step.number, ControlError(-2147352567, L"Описание"),
                                  nullptr);
        ASSERT_TRUE(catcher.Saw(steps.size()));
        std::set<std::wstring> ownTexts;
        for (size_t i = 0; i < steps.size(); ++i) {
            const CaughtBox& box = catcher.Boxes()[i];
            SCOPED_TRACE(steps[i].number);
            EXPECT_EQ(box.title,
                      L"В строке " + std::to_wstring(steps[i].number) +
                          (procedure == InstallAddIn ? L" InstallAddIn" : L" UninstallAddIn"));
            EXPECT_EQ(box.text.substr(0, common.size()), common);
            const std::wstring own = box.text.substr(std::min(box.text.size(), common.size()));
            if (steps[i].ownText) {
                EXPECT_EQ(own.substr(0, 2), L"\r\n");
                EXPECT_GT(own.size(), 2u);
                EXPECT_EQ(own.find(L"\r\n", 2), std::wstring::npos);  // one line
                EXPECT_TRUE(ownTexts.insert(own).second) << "said twice";
            } else {
                EXPECT_EQ(own, L"");
            }
            EXPECT_EQ(box.style, 0x1010u);
        }
    }
}

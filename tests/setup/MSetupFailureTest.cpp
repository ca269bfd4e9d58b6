// Every failure a real fault can reach, end to end, and the failure handler's table.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

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
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    SetReadOnly(addInFile, false);
    EXPECT_EQ(box.title, L"В строке 15 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_ACCESS_DENIED, SystemText(ERROR_ACCESS_DENIED),
                                    L"Не могу удалить старый файл надстройки"));
    EXPECT_EQ(ReadFileBytes(addInFile), "old");
    EXPECT_TRUE(world->Journal().empty());  // no server was started
}

TEST_F(InstallFailure, AFolderInTheWayOfTheWorkbookStopsAtStep20) {
    ASSERT_TRUE(CreateDirectoryW(addInFile.c_str(), nullptr));
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 20 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_ACCESS_DENIED, SystemText(ERROR_ACCESS_DENIED),
                                    L"Не могу создать новый файл надстройки"));
    EXPECT_TRUE(world->Journal().empty());
}

TEST_F(SetupTest, WithoutAppDataBothProceduresStopAtStep13AndWriteNothing) {
    SetEnvironmentVariableW(L"APPDATA", nullptr);
    for (auto procedure : {MSetup::InstallAddIn, MSetup::UninstallAddIn}) {
        const CaughtBox box = OnlyFailureBox(procedure);
        EXPECT_EQ(box.title, procedure == MSetup::InstallAddIn ? L"В строке 13 InstallAddIn"
                                                               : L"В строке 13 UninstallAddIn");
        EXPECT_EQ(box.text, FailureText(ERROR_ENVVAR_NOT_FOUND, SystemText(ERROR_ENVVAR_NOT_FOUND),
                                        L"Не удалось определить путь к файлу надстройки"));
    }
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
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    SetReadOnly(excelHelp, false);
    EXPECT_EQ(box.title, L"В строке 83 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_ACCESS_DENIED, SystemText(ERROR_ACCESS_DENIED),
                                    L"Не могу удалить старый файл справки"));
    EXPECT_EQ(ReadFileBytes(excelHelp), "old help");
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), kInstallJournal);  // the application had been closed
}

TEST_F(UninstallFailure, AReadOnlyHelpFileBesideTheApplicationStopsAtStep83) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, workbook));
    ASSERT_TRUE(WriteFileBytes(excelHelp, "old help"));
    SetReadOnly(excelHelp, true);
    const CaughtBox box = OnlyFailureBox(MSetup::UninstallAddIn);
    SetReadOnly(excelHelp, false);
    EXPECT_EQ(box.title, L"В строке 83 UninstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_ACCESS_DENIED, SystemText(ERROR_ACCESS_DENIED),
                                    L"Не могу удалить старый файл справки"));
    EXPECT_FALSE(FileExists(addInFile));  // step 80 had run
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), kUninstallJournal);
}

TEST_F(UninstallFailure, AReadOnlyWorkbookStopsAtStep80AfterTheAddInWasSwitchedOff) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, workbook));
    SetReadOnly(addInFile, true);
    const CaughtBox box = OnlyFailureBox(MSetup::UninstallAddIn);
    SetReadOnly(addInFile, false);
    EXPECT_EQ(box.title, L"В строке 80 UninstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_ACCESS_DENIED, SystemText(ERROR_ACCESS_DENIED),
                                    L"Не могу удалить старый файл надстройки"));
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), kUninstallJournal);
}

TEST_F(InstallFailure, AMissingApplicationFolderStopsAtStep88) {
    admin.answer = true;
    world->settings.programFolder = world->root + L"NoSuchFolder";
    world->Apply();
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 88 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_PATH_NOT_FOUND, SystemText(ERROR_PATH_NOT_FOUND),
                                    L"Не могу создать новый файл справки"));
    ASSERT_TRUE(world->WaitForExit());
}

TEST_F(InstallFailure, AReadOnlyHelpFileBesideTheProgramStopsAtStep100) {
    admin.answer = false;
    ASSERT_TRUE(WriteFileBytes(localHelp, "old help"));
    SetReadOnly(localHelp, true);
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 100 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_ACCESS_DENIED, SystemText(ERROR_ACCESS_DENIED),
                                    L"Не могу удалить старый файл справки в текущей папке"));
    EXPECT_EQ(ReadFileBytes(localHelp), "old help");
    ASSERT_TRUE(world->WaitForExit());
}

TEST_F(InstallFailure, AFolderInTheWayOfTheHelpFileBesideTheProgramStopsAtStep110) {
    admin.answer = false;
    ASSERT_TRUE(CreateDirectoryW(localHelp.c_str(), nullptr));
    const CaughtBox box = OnlyFailureBox(MSetup::InstallAddIn);
    EXPECT_EQ(box.title, L"В строке 110 InstallAddIn");
    EXPECT_EQ(box.text, FailureText(ERROR_ACCESS_DENIED, SystemText(ERROR_ACCESS_DENIED),
                                    L"Не могу создать новый файл справки в текущей папке"));
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
// the text carries number, description and the step's own text (none for steps without one).
TEST(FailureHandler, EveryStepOfBothProceduresGetsItsTitleAndText) {
    const std::wstring removal =
        L"Не удалось отключить надстройку Paylevix. Попробуйте установить её вручную через меню "
        L"Параметры -> Надстройки -> Выбрать внизу окна в выпадающем списке \"Надстройки "
        L"Excel\" и нажать кнопку \"Перейти\".";
    struct Row {
        MSetup::Procedure procedure;
        int step;
        std::wstring text;
    };
    using enum MSetup::Procedure;
    const Row rows[] = {
        {InstallAddIn, 5, L""},
        {InstallAddIn, 10, L"Файл надстройки из ресурсов не загружен"},
        {InstallAddIn, 13, L"Не удалось определить путь к файлу надстройки"},
        {InstallAddIn, 15, L"Не могу удалить старый файл надстройки"},
        {InstallAddIn, 17, L""},
        {InstallAddIn, 20, L"Не могу создать новый файл надстройки"},
        {InstallAddIn, 25, L"Не могу записать данные в файл надстройки"},
        {InstallAddIn, 30, L"Не удалось закрыть файл надстройки"},
        {InstallAddIn, 50, L"Не удалось открыть Excel"},
        {InstallAddIn, 55, L""},
        {InstallAddIn, 60, kAddInFailed},
        {InstallAddIn, 63, L"Не удалось получить путь к Excel"},
        {InstallAddIn, 64, L"Не удалось получить путь к текущей папке"},
        {InstallAddIn, 65, L"Не удалось закрыть Excel"},
        {InstallAddIn, 70, L""},
        {InstallAddIn, 80, L"Файл справки из ресурсов не загружен"},
        {InstallAddIn, 81, L"Не могу проверить права администратора"},
        {InstallAddIn, 83, L"Не могу удалить старый файл справки"},
        {InstallAddIn, 85, L""},
        {InstallAddIn, 88, L"Не могу создать новый файл справки"},
        {InstallAddIn, 90, L"Не могу записать данные в файл справки"},
        {InstallAddIn, 93, L"Не удалось закрыть файл справки"},
        {InstallAddIn, 100, L"Не могу удалить старый файл справки в текущей папке"},
        {InstallAddIn, 105, L""},
        {InstallAddIn, 110, L"Не могу создать новый файл справки в текущей папке"},
        {InstallAddIn, 115, L"Не могу записать данные в файл справки в текущей папке"},
        {InstallAddIn, 120, L"Не удалось закрыть файл справки в текущей папке"},
        {InstallAddIn, 125, L""},
        {InstallAddIn, 130, L""},
        {UninstallAddIn, 10, L""},
        {UninstallAddIn, 13, L"Не удалось определить путь к файлу надстройки"},
        {UninstallAddIn, 15, L""},
        {UninstallAddIn, 50, L"Не удалось открыть Excel"},
        {UninstallAddIn, 55, L""},
        {UninstallAddIn, 60, removal},
        {UninstallAddIn, 63, L"Не удалось получить путь к Excel"},
        {UninstallAddIn, 64, L""},
        {UninstallAddIn, 65, L"Не удалось закрыть Excel"},
        {UninstallAddIn, 70, L""},
        {UninstallAddIn, 80, L"Не могу удалить старый файл надстройки"},
        {UninstallAddIn, 81, L""},
        {UninstallAddIn, 83, L"Не могу удалить старый файл справки"},
        {UninstallAddIn, 88, L""},
        {UninstallAddIn, 95, L""},
    };
    MessageBoxCatcher catcher;
    for (const Row& row : rows) {
        MSetup::ReportFailure(row.procedure, row.step, ControlError(-2147352567, L"Описание"),
                              nullptr);
    }
    ASSERT_TRUE(catcher.Saw(std::size(rows)));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        const CaughtBox& box = catcher.Boxes()[i];
        SCOPED_TRACE(row.step);
        EXPECT_EQ(box.title,
                  L"В строке " + std::to_wstring(row.step) +
                      (row.procedure == InstallAddIn ? L" InstallAddIn" : L" UninstallAddIn"));
        EXPECT_EQ(box.text, L"Ошибка номер: -2147352567\r\nОписание" +
                                (row.text.empty() ? L"" : L"\r\n" + row.text));
        EXPECT_EQ(box.style, 0x1010u);
    }
}

// Installation and removal end to end: the real procedures, the real stand-in server in the
// project's prefix, real files and real message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

namespace {

void ExpectBox(const CaughtBox& box, const std::wstring& title, const std::wstring& text,
               DWORD style) {
    EXPECT_EQ(box.title, title);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.style, style);
    EXPECT_EQ(box.cbSize, sizeof(MSGBOXPARAMSW));
}

constexpr wchar_t kCloseExcel[] = L"Закройте Excel и перезапустите установку надстройки";

}  // namespace

using Install = SetupTest;
using Uninstall = SetupTest;

TEST_F(Install, AsAdministratorWritesBothFilesSwitchesTheAddInOnAndReportsSuccess) {
    admin.answer = true;
    MessageBoxCatcher catcher;
    MSetup::InstallAddIn();
    ASSERT_TRUE(catcher.Saw(1));
    ExpectBox(catcher.Boxes()[0], L"Paylevix", L"Установка прошла успешно!", 0x1000);
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    EXPECT_TRUE(ReadFileBytes(excelHelp) == help);
    EXPECT_FALSE(FileExists(localHelp));
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_TRUE(world->Installed(L"Paylevix"));
    EXPECT_EQ(world->Journal(), kInstallJournal);
    EXPECT_EQ(admin.calls, 1);
}

TEST_F(Install, WithoutAdministratorRightsWarnsWithBothPathsThenReportsSuccess) {
    admin.answer = false;
    MessageBoxCatcher catcher;
    MSetup::InstallAddIn();
    ASSERT_TRUE(catcher.Saw(2));
    ExpectBox(catcher.Boxes()[0], L"ВНИМАНИЕ!",
              L"Программа установки запущена без прав администратора. Установка прошла "
              L"успешно, но вам нужно самостоятельно скопировать файл \r\n" +
                  localHelp + L"\r\nв папку \r\n" + excelHelp,
              0x10);
    EXPECT_EQ(catcher.Boxes()[0].icon, static_cast<UINT>(MB_ICONHAND));
    ExpectBox(catcher.Boxes()[1], L"Paylevix", L"Установка прошла успешно!", 0x1000);
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    EXPECT_TRUE(ReadFileBytes(localHelp) == help);
    EXPECT_FALSE(FileExists(excelHelp));
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_TRUE(world->Installed(L"Paylevix"));
    EXPECT_EQ(world->Journal(), kInstallJournal);
}

TEST_F(Install, OverAnExistingInstallationReplacesTheFilesAndSwitchesTheAddInOnAgain) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, std::string(20000, 'w')));
    ASSERT_TRUE(WriteFileBytes(excelHelp, std::string(300000, 'h')));
    StandInConfig::WriteInstalled(world->settings, L"Paylevix", true);
    MessageBoxCatcher catcher;
    MSetup::InstallAddIn();
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Установка прошла успешно!");
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    EXPECT_TRUE(ReadFileBytes(excelHelp) == help);
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_TRUE(world->Installed(L"Paylevix"));
    EXPECT_EQ(world->Journal(), kInstallJournal);
}

TEST_F(Install, AHiddenOldWorkbookThatTheSearchDoesNotSeeIsWrittenOverWhole) {
    // The directory search does not see it, so it is not deleted: what is written over it
    // must not leave its longer tail behind.
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, std::string(workbook.size() * 3, 'x')));
    SetFileAttributesW(addInFile.c_str(), FILE_ATTRIBUTE_HIDDEN);
    MessageBoxCatcher catcher;
    MSetup::InstallAddIn();
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Установка прошла успешно!");
    EXPECT_EQ(ReadFileBytes(addInFile).size(), workbook.size());
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    ASSERT_TRUE(world->WaitForExit());
}

TEST_F(Install, CreatesTheAddInsFolderOfAUserWhoNeverHadOne) {
    admin.answer = true;
    testsupport::DeleteTree(world->appData + L"\\Microsoft");
    MessageBoxCatcher catcher;
    MSetup::InstallAddIn();
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].text, L"Установка прошла успешно!");
    EXPECT_TRUE(ReadFileBytes(addInFile) == workbook);
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_TRUE(world->Installed(L"Paylevix"));
}

// A removal that succeeds: the workbook goes and, for an administrator only, the help beside
// the application; the help beside the program stays.
struct Removal {
    const char* name;
    bool administrator;
    bool excelHelp;  // files there before
    bool localHelp;
    bool installed;
};

class UninstallSucceeds : public SetupTest, public ::testing::WithParamInterface<Removal> {};

TEST_P(UninstallSucceeds, DeletesTheFilesItMayAndReportsSuccess) {
    const Removal& r = GetParam();
    admin.answer = r.administrator;
    ASSERT_TRUE(WriteFileBytes(addInFile, workbook));
    ASSERT_TRUE(!r.excelHelp || WriteFileBytes(excelHelp, help));
    ASSERT_TRUE(!r.localHelp || WriteFileBytes(localHelp, help));
    if (r.installed) StandInConfig::WriteInstalled(world->settings, L"Paylevix", true);
    MessageBoxCatcher catcher;
    MSetup::UninstallAddIn();
    ASSERT_TRUE(catcher.Saw(1));
    ExpectBox(catcher.Boxes()[0], L"Paylevix", L"Удаление прошло успешно!", 0x1000);
    EXPECT_FALSE(FileExists(addInFile));
    EXPECT_TRUE(!r.excelHelp ||
                (r.administrator ? !FileExists(excelHelp) : ReadFileBytes(excelHelp) == help));
    EXPECT_TRUE(!r.localHelp || ReadFileBytes(localHelp) == help);
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_FALSE(world->Installed(L"Paylevix"));
    EXPECT_EQ(world->Journal(), kUninstallJournal);
}

INSTANTIATE_TEST_SUITE_P(
    Uninstall, UninstallSucceeds,
    ::testing::Values(Removal{"AsAdministratorDeletesTheHelpBesideTheApplicationOnly", true, true,
                              true, true},
                      Removal{"WithoutAdministratorRightsKeepsTheHelpBesideTheApplication", false,
                              true, false, true},
                      Removal{"AsAdministratorWithoutAHelpFile", true, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Uninstall, WithTheWorkbookAbsentFailsAtStep60AsksToQuitFirstAndDeletesNothing) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(excelHelp, help));
    JournalAtFirstBox atBox(world->journal);
    MessageBoxCatcher catcher;
    MSetup::UninstallAddIn();
    ASSERT_TRUE(catcher.Saw(1));
    const CaughtBox& box = catcher.Boxes()[0];
    EXPECT_EQ(box.title, L"В строке 60 UninstallAddIn");
    EXPECT_EQ(box.style, 0x1010u);
    // The stand-in's own number and description, as it raised them.
    const std::wstring description =
        L"The add-in \"Paylevix\" is not in the add-ins folder " + world->addIns;
    EXPECT_EQ(box.text,
              FailureText(-2146827284, description,
                          L"Не удалось отключить надстройку Paylevix. Попробуйте установить её "
                          L"вручную через меню Параметры -> Надстройки -> Выбрать внизу окна в "
                          L"выпадающем списке \"Надстройки Excel\" и нажать кнопку "
                          L"\"Перейти\"."));
    ASSERT_TRUE(atBox.Seen());
    ASSERT_GE(atBox.Lines().size(), 4u);
    EXPECT_EQ(atBox.Lines()[3], L"Quit");
    EXPECT_TRUE(ReadFileBytes(excelHelp) == help);
    EXPECT_EQ(admin.calls, 0);
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(world->Journal(), (std::vector<std::wstring>{L"start embedding", L"create",
                                                           L"AddIns(Paylevix) -> error 0x800A03EC",
                                                           L"Quit", L"release", L"exit"}));
}

TEST_F(SetupTest, WhileTheApplicationRunsBothProceduresOnlyAskToCloseItAndTouchNothing) {
    admin.answer = true;
    ASSERT_TRUE(WriteFileBytes(addInFile, "old workbook"));
    ASSERT_TRUE(WriteFileBytes(excelHelp, "old help"));
    standin::RunningStandIn running;
    ASSERT_TRUE(running.Start());
    EXPECT_TRUE(MSetup::IsExcelRunning());
    {
        MessageBoxCatcher catcher;
        MSetup::InstallAddIn();
        MSetup::UninstallAddIn();
        ASSERT_TRUE(catcher.Saw(2));
        for (const CaughtBox& box : catcher.Boxes()) {
            ExpectBox(box, L"Paylevix", kCloseExcel, 0x1010);
            EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONHAND));
        }
    }
    EXPECT_EQ(ReadFileBytes(addInFile), "old workbook");
    EXPECT_EQ(ReadFileBytes(excelHelp), "old help");
    EXPECT_FALSE(FileExists(localHelp));
    EXPECT_EQ(admin.calls, 0);
    EXPECT_EQ(running.Stop(), 0);
    EXPECT_FALSE(MSetup::IsExcelRunning());
    ASSERT_TRUE(world->WaitForExit());
    // Nothing was created: the running one was only looked up.
    EXPECT_EQ(world->Journal(), (std::vector<std::wstring>{L"start running", L"release", L"exit"}));
}

TEST_F(SetupTest, IsExcelRunningSeesNoInstanceThatIsNotTheActiveObject) {
    EXPECT_FALSE(MSetup::IsExcelRunning());
    // A private instance, as the procedures create, is not "running".
    IDispatch* created = nullptr;
    ASSERT_EQ(CoCreateInstance(StandInConfig::kClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&created)),
              S_OK);
    EXPECT_FALSE(MSetup::IsExcelRunning());
    created->Release();
    // It leaves no error behind.
    IErrorInfo* info = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
    if (info) info->Release();
}

TEST_F(SetupTest, TheAddInIsPresentOnlyAsANormalFileUnderAppData) {
    EXPECT_FALSE(MSetup::AddInPresent());
    HANDLE file = CreateFileW(addInFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(MSetup::AddInPresent());
    SetFileAttributesW(addInFile.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(MSetup::AddInPresent());
    SetFileAttributesW(addInFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    // Without APPDATA there is no add-in path: never a look at the root of the drive.
    SetEnvironmentVariableW(L"APPDATA", nullptr);
    EXPECT_FALSE(MSetup::AddInPresent());
}

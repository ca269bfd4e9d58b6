// The message box and program-folder helpers, through real boxes and real processes.
#include <windows.h>

#include <gtest/gtest.h>

#include "controls/base/Common.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Process.h"
#include "tests/support/Pump.h"

using namespace testsupport;

namespace {

struct TopWindow {
    HWND hwnd;
    explicit TopWindow(const wchar_t* title)
        : hwnd(CreateWindowW(L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                             nullptr, nullptr, nullptr, nullptr)) {}
    ~TopWindow() { DestroyWindow(hwnd); }
};

}  // namespace

TEST(ShowMessageBox, ShowsTextAndTitleExactlyWithTheStyleUnchanged) {
    MessageBoxCatcher catcher;
    const std::wstring text = L"Ошибка номер: 5\r\nОтказано в доступе.\r\nНе могу удалить";
    EXPECT_EQ(Common::ShowMessageBox(text, 0x1010, L"В строке 15 InstallAddIn"), IDOK);
    ASSERT_TRUE(catcher.Saw(1));
    const CaughtBox& box = catcher.Boxes()[0];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, L"В строке 15 InstallAddIn");
    EXPECT_EQ(box.style, 0x1010u);
    EXPECT_EQ(box.cbSize, sizeof(MSGBOXPARAMSW));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(box.cbSize, 40u);
    }
    EXPECT_EQ(box.instance, GetModuleHandleW(nullptr));
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

TEST(ShowMessageBox, AnEmptyTitleGivesTheProgramTitle) {
    MessageBoxCatcher catcher;
    Common::ShowMessageBox(L"Установка прошла успешно!", 0x1000);
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].title, L"Paylevix");
}

TEST(ShowMessageBox, ReturnsTheButtonThatClosedTheBox) {
    MessageBoxCatcher catcher(IDCANCEL);
    EXPECT_EQ(Common::ShowMessageBox(L"?", MB_OKCANCEL), IDCANCEL);
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].buttons, (std::vector<int>{IDOK, IDCANCEL}));
}

TEST(ShowMessageBox, ASystemModalBoxIsOwnedByTheForegroundWindow) {
    TopWindow own(L"own");
    TopWindow foreground(L"foreground");
    Common::SetOwnActiveWindow(own.hwnd);
    SetForegroundWindow(foreground.hwnd);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == foreground.hwnd; }, 3000));
    MessageBoxCatcher catcher;
    Common::ShowMessageBox(L"system modal", MB_SYSTEMMODAL);
    Common::ClearOwnActiveWindow(own.hwnd);
    ASSERT_TRUE(catcher.Saw(1));
    EXPECT_EQ(catcher.Boxes()[0].owner, foreground.hwnd);
    EXPECT_EQ(catcher.Boxes()[0].windowOwner, foreground.hwnd);
}

TEST(ShowMessageBox, OtherBoxesAreOwnedByTheProgramsActiveWindowElseTheThreadsActiveWindow) {
    TopWindow tracked(L"tracked");
    TopWindow active(L"active");
    SetActiveWindow(active.hwnd);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == active.hwnd; }, 3000));
    {
        MessageBoxCatcher catcher;
        Common::SetOwnActiveWindow(tracked.hwnd);
        Common::ShowMessageBox(L"owned by the tracked window");
        ASSERT_TRUE(catcher.Saw(1));
        EXPECT_EQ(catcher.Boxes()[0].owner, tracked.hwnd);
    }
    {
        // Closing the box gave the activation back to its owner.
        SetActiveWindow(active.hwnd);
        ASSERT_EQ(GetActiveWindow(), active.hwnd);
        MessageBoxCatcher catcher;
        Common::ClearOwnActiveWindow(tracked.hwnd);
        Common::ShowMessageBox(L"owned by the active window");
        ASSERT_TRUE(catcher.Saw(1));
        EXPECT_EQ(catcher.Boxes()[0].owner, active.hwnd);
    }
    {
        // A tracked window that has gone counts as none.
        HWND gone =
            CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        Common::SetOwnActiveWindow(gone);
        DestroyWindow(gone);
        SetActiveWindow(active.hwnd);
        MessageBoxCatcher catcher;
        Common::ShowMessageBox(L"tracked window destroyed");
        ASSERT_TRUE(catcher.Saw(1));
        EXPECT_EQ(catcher.Boxes()[0].owner, GetActiveWindow());
        EXPECT_EQ(Common::GetOwnActiveWindow(), nullptr);
    }
}

namespace {

// Copies the probe program to `folder`, runs it there and returns what it reported.
std::wstring AppFolderOfCopyIn(const std::wstring& folder, const std::wstring& name) {
    const std::wstring target = folder + name;
    EXPECT_TRUE(CopyFileW((ExeFolder() + L"app_folder_probe.exe").c_str(), target.c_str(), FALSE))
        << "copy to " << target.size() << "-character path failed: " << GetLastError();
    const std::wstring out = FreshFolder(L"appfolder-out") + L"result.txt";
    ChildProcess probe;
    EXPECT_TRUE(probe.Start(L"\"" + target + L"\" \"" + out + L"\""));
    EXPECT_EQ(probe.Wait(20000), 0);
    const std::string bytes = ReadFileBytes(out);
    DeleteFileW(target.c_str());
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

}  // namespace

TEST(GetAppFolder, IsTheRunningProgramsFolderWithOneTrailingBackslash) {
    const std::wstring folder = Common::GetAppFolder();
    EXPECT_EQ(folder, ExeFolder());
    ASSERT_GE(folder.size(), 2u);
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_NE(folder[folder.size() - 2], L'\\');

    const std::wstring normal = FreshFolder(L"normal folder");
    EXPECT_EQ(AppFolderOfCopyIn(normal, L"probe.exe"), normal);
}

TEST(GetAppFolder, FromADriveRootIsTheRootWithOneBackslash) {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring root = std::wstring(windows, 3);  // "C:\"
    EXPECT_EQ(AppFolderOfCopyIn(root, L"paylevix_root_probe.exe"), root);
}

// A program folder longer than 259 characters is tested by app_folder_long_path: the system
// does not start programs from such paths through CreateProcessW, so that test starts the
// probe from outside.

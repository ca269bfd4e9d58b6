// The setup program end to end: a copy of setup.exe started in a folder of its own, with the
// spreadsheet stand-in and %APPDATA% of the test's world, driven from outside through its
// windows as a person would, its message boxes read and answered.
#include <windows.h>

#include <algorithm>
#include <richedit.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "setup/FMain.h"
#include "setup/MResources.h"
#include "tests/setup/SetupWorld.h"
#include "tests/support/Input.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Process.h"
#include "tests/tools/StandInWorld.h"

using testsupport::ChildProcess;

namespace {

constexpr wchar_t kFormClass[] = L"ThunderRT6FormDC";

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

// Asked of the window itself: GetWindowTextW does not ask another process's windows.
std::wstring TextOf(HWND hwnd) {
    const auto n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// One control of the window: its user control window (a child of the form) and the system
// window inside it.
struct Control {
    HWND outer = nullptr;
    HWND inner = nullptr;
    RECT rect{};  // of the outer window, in the form's client coordinates
};

struct MainWindow {
    HWND form = nullptr;
    Control licence, agreement, ok, cancel, remove;
};

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// The visible main window of process `pid`, once it is there.
HWND WaitForMainWindow(DWORD pid, DWORD timeoutMs = 15000) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        for (HWND w = FindWindowW(kFormClass, nullptr); w;
             w = FindWindowExW(nullptr, w, kFormClass, nullptr)) {
            if (ProcessOf(w) == pid && IsWindowVisible(w)) return w;
        }
        Sleep(50);
    }
    return nullptr;
}

MainWindow ReadWindow(HWND form) {
    MainWindow main;
    main.form = form;
    for (HWND outer = GetWindow(form, GW_CHILD); outer; outer = GetWindow(outer, GW_HWNDNEXT)) {
        Control c;
        c.outer = outer;
        c.inner = GetWindow(outer, GW_CHILD);
        GetWindowRect(outer, &c.rect);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&c.rect), 2);
        if (!c.inner) continue;
        const std::wstring cls = ClassOf(c.inner);
        const std::wstring text = TextOf(c.inner);
        if (cls == L"RichEdit50W" || cls == L"RichEdit20W") {
            main.licence = c;
        } else if (cls == L"Button") {
            const LONG type = GetWindowLongW(c.inner, GWL_STYLE) & BS_TYPEMASK;
            if (type == BS_3STATE || type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) {
                main.agreement = c;
            } else if (text == L"Установить / Обновить") {
                main.ok = c;
            } else if (text == L"Отмена установки") {
                main.cancel = c;
            } else if (text == L"Удалить надстройку") {
                main.remove = c;
            }
        }
    }
    return main;
}

void ExpectRect(const Control& c, int x, int y, int w, int h, const char* what) {
    EXPECT_EQ(c.rect.left, x) << what;
    EXPECT_EQ(c.rect.top, y) << what;
    EXPECT_EQ(c.rect.right - c.rect.left, w) << what;
    EXPECT_EQ(c.rect.bottom - c.rect.top, h) << what;
}

// The focus window of another process's user-interface thread.
HWND FocusOf(HWND anyWindowOfThread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(anyWindowOfThread, nullptr), &info);
    return info.hwndFocus;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override {
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::wstring name = L"setup_program_" + std::wstring(test, test + strlen(test));
        world = std::make_unique<standin::StandInWorld>(name);
        appFolder = world->root + L"Downloads\\";
        CreateDirectoryW(appFolder.c_str(), nullptr);
        exe = appFolder + L"setup.exe";
        ASSERT_TRUE(CopyFileW((testsupport::ExeFolder() + L"..\\..\\setup\\setup.exe").c_str(),
                              exe.c_str(), FALSE));
        addInFile = world->addIns + L"\\Paylevix.xla";
        hadAppData_ = GetEnvironmentVariableW(L"APPDATA", saved_, MAX_PATH) != 0;
        SetEnvironmentVariableW(L"APPDATA", world->appData.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"APPDATA", hadAppData_ ? saved_ : nullptr);
        world.reset();
    }

    // Starts a copy and waits for its main window.
    MainWindow Start(ChildProcess& process) {
        EXPECT_TRUE(process.Start(L"\"" + exe + L"\"", appFolder));
        const HWND form = WaitForMainWindow(process.Id());
        EXPECT_NE(form, nullptr) << "no main window";
        return form ? ReadWindow(form) : MainWindow{};
    }

    std::unique_ptr<standin::StandInWorld> world;
    std::wstring appFolder, exe, addInFile;

private:
    wchar_t saved_[MAX_PATH] = {};
    bool hadAppData_ = false;
};

}  // namespace

TEST_F(SetupProgram, FirstStartShowsTheWindowAsLaidOut) {
    ChildProcess process;
    MainWindow w = Start(process);
    ASSERT_NE(w.form, nullptr);
    EXPECT_EQ(ClassOf(w.form), kFormClass);
    EXPECT_EQ(TextOf(w.form), L"Установка надстройки Paylevix для Microsoft Excel");
    RECT client;
    GetClientRect(w.form, &client);
    EXPECT_EQ(client.right, 418);
    EXPECT_EQ(client.bottom, 476);
    const LONG style = GetWindowLongW(w.form, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    ASSERT_TRUE(w.licence.inner && w.agreement.inner && w.ok.inner && w.cancel.inner &&
                w.remove.inner);
    ExpectRect(w.licence, 18, 18, 382, 344, "licence");
    ExpectRect(w.agreement, 18, 372, 382, 28, "agreement");
    ExpectRect(w.cancel, 18, 405, 94, 52, "cancel");
    ExpectRect(w.remove, 162, 405, 94, 52, "remove");
    ExpectRect(w.ok, 306, 405, 94, 52, "install");
    EXPECT_EQ(TextOf(w.agreement.inner), L"Я согласен с условиями лицензионного соглашения.");

    // The first control in tab order has the focus.
    EXPECT_TRUE(WaitFor([&] { return FocusOf(w.form) == w.licence.inner; }));

    // Install waits for the agreement; Remove for an installed add-in.
    EXPECT_FALSE(IsWindowEnabled(w.ok.inner));
    EXPECT_FALSE(IsWindowEnabled(w.remove.inner));
    EXPECT_TRUE(IsWindowEnabled(w.cancel.inner));
    SendMessageW(w.agreement.inner, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(w.agreement.inner, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(w.ok.inner));
    SendMessageW(w.agreement.inner, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(w.agreement.inner, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(w.ok.inner));
    SendMessageW(w.agreement.inner, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(w.ok.inner));

    // The licence: the whole document, scrollable, not editable.
    const std::wstring licence = TextOf(w.licence.inner);
    EXPECT_GT(licence.size(), 1000u);
    EXPECT_NE(licence.find(L"ЛИЦЕНЗИОННОЕ"), std::wstring::npos);
    EXPECT_TRUE(SendMessageW(w.licence.inner, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
    EXPECT_TRUE(GetWindowLongW(w.licence.inner, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(SendMessageW(w.licence.inner, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(w.licence.inner, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_GT(SendMessageW(w.licence.inner, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(w.licence.inner, WM_CHAR, L'x', 0);
    EXPECT_EQ(TextOf(w.licence.inner), licence);

    // Tab order: licence, install, check box, cancel, remove (disabled here, so skipped).
    // The clicks left the focus on the check box.
    SetForegroundWindow(w.form);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == w.form; }));
    ASSERT_TRUE(WaitFor([&] { return FocusOf(w.form) != nullptr; }));
    std::vector<HWND> order;
    HWND focus = FocusOf(w.form);
    EXPECT_EQ(focus, w.agreement.inner);
    // A control's own window passes the focus on to its system window: wait until it has
    // settled on one of those.
    const std::vector<HWND> inner{w.licence.inner, w.ok.inner, w.agreement.inner, w.cancel.inner,
                                  w.remove.inner};
    const auto settled = [&](HWND previous) {
        const HWND now = FocusOf(w.form);
        return now != previous && std::find(inner.begin(), inner.end(), now) != inner.end();
    };
    for (int i = 0; i < 4; ++i) {
        testsupport::SendKeys(VK_TAB);
        WaitFor([&] { return settled(focus); }, 2000);
        focus = FocusOf(w.form);
        order.push_back(focus);
    }
    EXPECT_EQ(order,
              (std::vector<HWND>{w.cancel.inner, w.licence.inner, w.ok.inner, w.agreement.inner}));

    // The title-bar close button ends it, touching nothing.
    PostMessageW(w.form, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(process.Wait(10000), 0);
    EXPECT_FALSE(testsupport::FileExists(addInFile));
    EXPECT_TRUE(world->Journal().empty());
}

TEST_F(SetupProgram, InstallThenRemoveOnTheNextStart) {
    const bool admin = IsUserAnAdmin() != FALSE;
    const std::wstring help =
        admin ? world->programFolder + L"\\Paylevix.chm" : appFolder + L"Paylevix.chm";
    const auto workbook = MResources::LoadCustom(101);
    const auto helpBytes = MResources::LoadCustom(102);
    {
        ChildProcess process;
        MainWindow w = Start(process);
        ASSERT_NE(w.form, nullptr);
        EXPECT_FALSE(IsWindowEnabled(w.remove.inner));
        SendMessageW(w.agreement.inner, BM_CLICK, 0, 0);
        ASSERT_TRUE(IsWindowEnabled(w.ok.inner));
        PostMessageW(w.ok.inner, BM_CLICK, 0, 0);
        if (!admin) {
            auto warning = testsupport::WaitForProcessBox(process.Id(), 30000);
            ASSERT_TRUE(warning);
        }
        auto box = testsupport::WaitForProcessBox(process.Id(), 30000);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->title, L"Paylevix");
        EXPECT_EQ(box->text, L"Установка прошла успешно!");
        EXPECT_EQ(process.Wait(10000), 0);
        EXPECT_FALSE(IsWindow(w.form));
    }
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_EQ(testsupport::ReadFileBytes(addInFile), std::string(workbook.begin(), workbook.end()));
    EXPECT_EQ(testsupport::ReadFileBytes(help), std::string(helpBytes.begin(), helpBytes.end()));
    EXPECT_EQ(world->Journal(), kInstallJournal);
    EXPECT_TRUE(world->Installed(L"Paylevix"));

    {
        ChildProcess process;
        MainWindow w = Start(process);
        ASSERT_NE(w.form, nullptr);
        EXPECT_TRUE(IsWindowEnabled(w.remove.inner));
        EXPECT_FALSE(IsWindowEnabled(w.ok.inner));
        PostMessageW(w.remove.inner, BM_CLICK, 0, 0);
        auto box = testsupport::WaitForProcessBox(process.Id(), 30000);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, L"Удаление прошло успешно!");
        EXPECT_EQ(process.Wait(10000), 0);
    }
    ASSERT_TRUE(world->WaitForExit());
    EXPECT_FALSE(testsupport::FileExists(addInFile));
    EXPECT_FALSE(world->Installed(L"Paylevix"));
    std::vector<std::wstring> both = kInstallJournal;
    both.insert(both.end(), kUninstallJournal.begin(), kUninstallJournal.end());
    EXPECT_EQ(world->Journal(), both);
}

TEST_F(SetupProgram, CancelTouchesNothingAndAHiddenAddInLeavesRemoveDisabled) {
    ASSERT_TRUE(testsupport::WriteFileBytes(addInFile, "hidden"));
    SetFileAttributesW(addInFile.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ChildProcess process;
    MainWindow w = Start(process);
    ASSERT_NE(w.form, nullptr);
    EXPECT_FALSE(IsWindowEnabled(w.remove.inner));
    PostMessageW(w.cancel.inner, BM_CLICK, 0, 0);
    EXPECT_EQ(process.Wait(10000), 0);
    EXPECT_FALSE(testsupport::ProcessShowsBox(process.Id()));
    EXPECT_EQ(testsupport::ReadFileBytes(addInFile), "hidden");
    EXPECT_TRUE(world->Journal().empty());
    SetFileAttributesW(addInFile.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SetupProgram, ASecondCopyBringsTheFirstForwardAndLeaves) {
    ChildProcess first;
    MainWindow w = Start(first);
    ASSERT_NE(w.form, nullptr);
    // The same file again, and a renamed copy (as a browser names a second download).
    const std::wstring renamed = appFolder + L"setup (1).exe";
    ASSERT_TRUE(CopyFileW(exe.c_str(), renamed.c_str(), FALSE));
    for (const std::wstring& copy : {exe, renamed}) {
        SCOPED_TRACE(testing::Message() << copy);
        ShowWindow(w.form, SW_MINIMIZE);
        ASSERT_TRUE(WaitFor([&] { return IsIconic(w.form) != FALSE; }));

        ChildProcess second;
        const DWORD started = GetTickCount();
        ASSERT_TRUE(second.Start(L"\"" + copy + L"\"", appFolder));
        EXPECT_EQ(second.Wait(5000), 0);
        EXPECT_LT(GetTickCount() - started, 5000u);
        EXPECT_TRUE(WaitFor([&] { return !IsIconic(w.form); }));
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == w.form; }));
        EXPECT_TRUE(first.Running());
    }

    PostMessageW(w.cancel.inner, BM_CLICK, 0, 0);
    EXPECT_EQ(first.Wait(10000), 0);
}

TEST_F(SetupProgram, TheCopiedLicenceOutlivesTheProgram) {
    ChildProcess process;
    MainWindow w = Start(process);
    ASSERT_NE(w.form, nullptr);
    SetForegroundWindow(w.form);
    ASSERT_TRUE(WaitFor([&] { return FocusOf(w.form) == w.licence.inner; }));
    // Ctrl+A, Ctrl+C, as a person selects and copies the text.
    for (const WORD key : {WORD{'A'}, WORD{'C'}}) {
        INPUT in[4]{};
        for (INPUT& i : in)
            i.type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[3].ki.wVk = VK_CONTROL;
        in[1].ki.wVk = in[2].ki.wVk = key;
        in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(4, in, sizeof(INPUT));
    }
    ASSERT_TRUE(WaitFor([&] { return ProcessOf(GetClipboardOwner()) == process.Id(); }));

    PostMessageW(w.cancel.inner, BM_CLICK, 0, 0);
    EXPECT_EQ(process.Wait(10000), 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    std::wstring copied;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        copied = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    EmptyClipboard();
    CloseClipboard();
    EXPECT_NE(copied.find(L"ЛИЦЕНЗИОННОЕ"), std::wstring::npos);
}

TEST_F(SetupProgram, LibrariesPlantedBesideItAreNeverLoaded) {
    const std::wstring planted = testsupport::ExeFolder() + L"planted.dll";
    for (const wchar_t* name : {L"Msftedit.dll", L"Riched20.dll"}) {
        ASSERT_TRUE(CopyFileW(planted.c_str(), (appFolder + name).c_str(), FALSE));
    }
    ChildProcess process;
    MainWindow w = Start(process);
    ASSERT_NE(w.form, nullptr);
    ASSERT_NE(w.licence.inner, nullptr);
    EXPECT_GT(TextOf(w.licence.inner).size(), 1000u);
    PostMessageW(w.cancel.inner, BM_CLICK, 0, 0);
    EXPECT_EQ(process.Wait(10000), 0);
    EXPECT_FALSE(testsupport::FileExists(appFolder + L"Msftedit.dll.loaded"));
    EXPECT_FALSE(testsupport::FileExists(appFolder + L"Riched20.dll.loaded"));
}

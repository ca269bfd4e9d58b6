// The test support itself: a catcher that missed boxes or hung would make every later test
// worthless.
#include <windows.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "controls/base/Common.h"
#include "tests/support/GuiResources.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Process.h"
#include "tests/support/Pump.h"

using namespace testsupport;

TEST(MessageBoxCatcher, ReadsTitleTextIconButtonsAndPressesTheChosenButton) {
    MessageBoxCatcher catcher(IDNO);
    const int result = MessageBoxW(nullptr, L"Вопрос?\r\nВторая строка", L"Заголовок",
                                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    EXPECT_EQ(result, IDNO);
    ASSERT_TRUE(catcher.Saw(1));
    const CaughtBox& box = catcher.Boxes()[0];
    EXPECT_EQ(box.title, L"Заголовок");
    EXPECT_EQ(box.text, L"Вопрос?\r\nВторая строка");
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONQUESTION));
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(box.defaultButton, IDNO);
    EXPECT_EQ(box.pressed, IDNO);
}

TEST(MessageBoxCatcher, RecordsTheCallFlagsAndKeepsBoxesInOrder) {
    MessageBoxCatcher catcher;
    Common::ShowMessageBox(L"first", MB_ICONHAND | MB_SYSTEMMODAL, L"one");
    Common::ShowMessageBox(L"second", MB_OK, L"two");
    ASSERT_TRUE(catcher.Saw(2));
    EXPECT_EQ(catcher.Boxes()[0].title, L"one");
    EXPECT_TRUE(catcher.Boxes()[0].haveCall);
    EXPECT_EQ(catcher.Boxes()[0].style, 0x1010u);
    EXPECT_EQ(catcher.Boxes()[0].icon, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(catcher.Boxes()[1].title, L"two");
    EXPECT_EQ(catcher.Boxes()[1].style, 0u);
    EXPECT_EQ(catcher.Boxes()[1].icon, 0u);
    EXPECT_EQ(catcher.Boxes()[1].buttons, std::vector<int>{IDOK});
}

TEST(MessageBoxCatcher, AnUnexpectedBoxFailsTheTestAndIsClosed) {
    int result = 0;
    EXPECT_NONFATAL_FAILURE(result = Common::ShowMessageBox(L"surprise", MB_OK, L"boo"),
                            "unexpected message box: [title \"boo\", text \"surprise\"");
    EXPECT_EQ(result, IDOK);
}

TEST(MessageBoxCatcher, ABoxThatNeverComesFailsInsteadOfHanging) {
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxCatcher catcher;
            EXPECT_TRUE(catcher.Saw(1));
        },
        "expected 1 message box(es), saw 0");

    ChildProcess quiet;
    ASSERT_TRUE(quiet.Start(L"\"" + ExeFolder() + L"quiet_process.exe\" 5000"));
    const ULONGLONG start = GetTickCount64();
    EXPECT_NONFATAL_FAILURE(WaitForProcessBox(quiet.Id(), 300), "no message box from process");
    EXPECT_LT(GetTickCount64() - start, 3000u);
}

TEST(GuiResources, CountsGdiObjectsAndWindowsOfThisProcess) {
    // Warm-up: the first window of a thread brings system windows of its own.
    DestroyWindow(
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    PumpPending();
    const GuiObjectCounts before = CountGuiObjects();
    ASSERT_GE(before.gdi, 0) << "GDI objects cannot be counted here";
    ASSERT_GE(before.user, 0) << "USER objects cannot be counted here";

    HBRUSH brushes[3] = {CreateSolidBrush(1), CreateSolidBrush(2), CreateSolidBrush(3)};
    HWND window =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const GuiObjectCounts during = CountGuiObjects();
    EXPECT_EQ(during.gdi, before.gdi + 3);
    EXPECT_EQ(during.user, before.user + 1);

    for (HBRUSH b : brushes)
        DeleteObject(b);
    DestroyWindow(window);
    EXPECT_EQ(CountGuiObjects(), before);
}

bool g_timerFired = false;
void CALLBACK MarkFired(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    g_timerFired = true;
}

TEST(Pump, StopsWhenTheConditionHoldsOrTheTimeRunsOut) {
    HWND window =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    g_timerFired = false;
    SetTimer(window, 1, 50, MarkFired);
    EXPECT_TRUE(PumpUntil([] { return g_timerFired; }, 3000));
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(PumpUntil([] { return false; }, 100));
    EXPECT_GE(GetTickCount64() - start, 90u);
    DestroyWindow(window);
}

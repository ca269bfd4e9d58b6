// Common-controls version, support level, themed drawing and start-up.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <string>

#include "controls/base/VisualStyles.h"
#include "tests/support/Process.h"

using namespace testsupport;
using VisualStyles::Testing::SystemAnswers;

namespace {

DWORD g_major = 0, g_minor = 0;
HRESULT g_versionResult = S_OK;
int g_versionCalls = 0;
BOOL g_themeActive = FALSE, g_appThemed = FALSE;
DWORD g_appProperties = 0;

HRESULT CALLBACK FakeDllGetVersion(DLLVERSIONINFO* info) {
    ++g_versionCalls;
    if (info->cbSize != 20) return E_INVALIDARG;
    info->dwMajorVersion = g_major;
    info->dwMinorVersion = g_minor;
    return g_versionResult;
}
BOOL WINAPI FakeIsThemeActive() {
    return g_themeActive;
}
BOOL WINAPI FakeIsAppThemed() {
    return g_appThemed;
}
DWORD WINAPI FakeGetThemeAppProperties() {
    return g_appProperties;
}

// Stands in for the system with the given answers for the life of a test.
class FakeSystem {
public:
    FakeSystem(DWORD major, DWORD minor, HRESULT result = S_OK) {
        g_major = major;
        g_minor = minor;
        g_versionResult = result;
        g_versionCalls = 0;
        g_themeActive = TRUE;
        g_appThemed = TRUE;
        g_appProperties = STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS;
        SystemAnswers answers;
        answers.dllGetVersion = FakeDllGetVersion;
        answers.isThemeActive = FakeIsThemeActive;
        answers.isAppThemed = FakeIsAppThemed;
        answers.getThemeAppProperties = FakeGetThemeAppProperties;
        VisualStyles::Testing::SetSystemAnswers(&answers);
    }
    ~FakeSystem() { VisualStyles::Testing::SetSystemAnswers(nullptr); }
};

}  // namespace

TEST(VisualStyles, SupportLevelFollowsTheLibraryVersionAndIsAskedOnce) {
    struct Case {
        DWORD major, minor;
        HRESULT result;
        int32_t version;
        uint8_t level;
    };
    const Case cases[] = {
        {5, 81, S_OK, 5, 0}, {6, 0, S_OK, 6, 1}, {6, 10, S_OK, 6, 2},
        {6, 16, S_OK, 6, 2}, {7, 0, S_OK, 7, 2}, {6, 10, E_FAIL, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        FakeSystem system(c.major, c.minor, c.result);
        EXPECT_EQ(VisualStyles::GetComCtlVersion(), c.version);
        EXPECT_EQ(VisualStyles::ComCtlsSupportLevel(), c.level);
        const int calls = g_versionCalls;
        EXPECT_EQ(calls, 2);
        // Cached: a later change of the library's answer is not seen.
        g_major = 9;
        g_minor = 9;
        g_versionResult = S_OK;
        EXPECT_EQ(VisualStyles::GetComCtlVersion(), c.version);
        EXPECT_EQ(VisualStyles::ComCtlsSupportLevel(), c.level);
        EXPECT_EQ(g_versionCalls, calls);
    }
}

TEST(VisualStyles, ThemedDrawingNeedsVersion6AnActiveThemeAndTheProgramsPermission) {
    {
        FakeSystem system(6, 0);
        EXPECT_TRUE(VisualStyles::EnabledVisualStyles());
        // Asked afresh on every call.
        g_themeActive = FALSE;
        EXPECT_FALSE(VisualStyles::EnabledVisualStyles());
        g_themeActive = TRUE;
        // The user switched visual styles off for this program.
        g_appThemed = FALSE;
        g_appProperties = STAP_ALLOW_NONCLIENT;
        EXPECT_FALSE(VisualStyles::EnabledVisualStyles());
        g_appProperties = STAP_ALLOW_CONTROLS;
        EXPECT_TRUE(VisualStyles::EnabledVisualStyles());
    }
    {
        // Without the version 6 library nothing is themed, whatever the theme says.
        FakeSystem system(5, 82);
        EXPECT_FALSE(VisualStyles::EnabledVisualStyles());
        EXPECT_EQ(VisualStyles::ComCtlsSupportLevel(), 0);
    }
}

TEST(VisualStyles, TheDefaultAnswersComeFromTheLoadedLibrary) {
    VisualStyles::Testing::SetSystemAnswers(nullptr);
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_TRUE(comctl);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    // The manifest selected the side-by-side version 6 copy.
    EXPECT_NE(std::wstring(path).find(L"common-controls_6595b64144ccf1df_6.0"), std::wstring::npos)
        << "loaded from " << std::wstring(path).size() << " chars";
    const auto query = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
    ASSERT_TRUE(query);
    DLLVERSIONINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_EQ(query(&info), S_OK);
    EXPECT_EQ(VisualStyles::GetComCtlVersion(), static_cast<int32_t>(info.dwMajorVersion));
    // Wine's version 6 copy still reports 5.81, so there the answers are those of
    // version 5: level 0 and no themed drawing.
    if (info.dwMajorVersion < 6) {
        EXPECT_EQ(VisualStyles::ComCtlsSupportLevel(), 0);
        EXPECT_FALSE(VisualStyles::EnabledVisualStyles());
    } else {
        EXPECT_GE(VisualStyles::ComCtlsSupportLevel(), 1);
    }
}

namespace {

// Runs the start-up probe pretending version `major`; returns its exit code and what it
// reported ("<mode while a later module object was released> <mode at the last exit handler>").
std::pair<long, std::string> RunTeardownProbe(int major) {
    const std::wstring report = FreshFolder(L"teardown-" + std::to_wstring(major)) + L"report.txt";
    ChildProcess probe;
    EXPECT_TRUE(probe.Start(L"\"" + ExeFolder() + L"teardown_probe.exe\" " +
                            std::to_wstring(major) + L" \"" + report + L"\""));
    const long code = probe.Wait(20000);
    std::string text = ReadFileBytes(report);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return {code, text};
}

}  // namespace

TEST(VisualStyles, TheTeardownGuardIsArmedOnlyWithVersion6AndRunsLast) {
    // Version 6: armed; the fault dialog is off only after the program's own objects went.
    EXPECT_EQ(RunTeardownProbe(6), (std::pair<long, std::string>{10, "0 2"}));
    // Version 5: not armed; the error mode is left alone.
    EXPECT_EQ(RunTeardownProbe(5), (std::pair<long, std::string>{11, "0 0"}));
}

TEST(VisualStyles, StartUpOnVersion5LeavesTheGuardUnarmed) {
    FakeSystem system(5, 81);
    VisualStyles::InitVisualStyles();
    EXPECT_FALSE(VisualStyles::TeardownGuardArmed());
}

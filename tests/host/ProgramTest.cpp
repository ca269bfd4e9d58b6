// The previous-instance test, across real processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Process.h"

using testsupport::ChildProcess;

namespace {

struct OwnedHandle {
    HANDLE h;
    ~OwnedHandle() {
        if (h) CloseHandle(h);
    }
};

std::wstring ProbePath() {
    return testsupport::ExeFolder() + L"instance_probe.exe";
}

std::wstring Probe() {
    return L"\"" + ProbePath() + L"\"";
}

long RunCheck(const std::wstring& program = ProbePath()) {
    ChildProcess check;
    if (!check.Start(L"\"" + program + L"\" check")) return -2;
    return check.Wait(20000);
}

// Runs a holding copy, checks a second copy (`checker`) against it, ends the first.
void CheckAgainstHolder(const std::wstring& extra, const std::wstring& checker = ProbePath(),
                        long expected = 1) {
    const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + extra;
    const std::wstring readyName = L"Local\\PaylevixProbeReady" + tag;
    const std::wstring quitName = L"Local\\PaylevixProbeQuit" + tag;
    OwnedHandle ready{CreateEventW(nullptr, TRUE, FALSE, readyName.c_str())};
    OwnedHandle quit{CreateEventW(nullptr, TRUE, FALSE, quitName.c_str())};
    ChildProcess holder;
    ASSERT_TRUE(holder.Start(Probe() + L" hold " + readyName + L" " + quitName + L" " + extra));
    ASSERT_EQ(WaitForSingleObject(ready.h, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(RunCheck(checker), expected)
        << checker << " beside a copy running " << (extra.empty() ? L"without a window" : extra);
    SetEvent(quit.h);
    EXPECT_EQ(holder.Wait(20000), 0);  // the first copy saw no other
}

}  // namespace

TEST(PrevInstance, SeesAnyOtherRunningCopyWhateverItsWindows) {
    EXPECT_EQ(RunCheck(), 0);
    CheckAgainstHolder(L"");
    CheckAgainstHolder(L"minimized");
    EXPECT_EQ(RunCheck(), 0);  // the copies are gone
}

TEST(PrevInstance, IsTheSameProgramUnderAnyNameAndNeverAnotherProgram) {
    const std::wstring folder = testsupport::FreshFolder(L"instance_probe_copies");
    const std::wstring renamed = folder + L"instance_probe (1).exe";
    ASSERT_TRUE(CopyFileW(ProbePath().c_str(), renamed.c_str(), FALSE));
    // Another program: the same code with one byte more at its end, which the loader ignores.
    const std::wstring other = folder + L"instance_probe.exe";
    ASSERT_TRUE(testsupport::WriteFileBytes(other, testsupport::ReadFileBytes(ProbePath()) + '\0'));
    CheckAgainstHolder(L"", renamed, 1);
    CheckAgainstHolder(L"", other, 0);
    testsupport::DeleteTree(folder);
}

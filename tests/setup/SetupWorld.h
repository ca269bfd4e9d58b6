// The world of a setup procedure under test: a fresh %APPDATA% for the test process (the
// procedures read it) that the stand-in is told to use as well, the stand-in's program folder,
// the help file beside the test program, an administrator answer chosen by the test, and the
// payload bytes the files must end up holding.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "setup/MSetup.h"
#include "tests/tools/StandInWorld.h"

class FakeAdministrator final : public MSetup::IAdministratorCheck {
public:
    bool answer = true;
    bool fail = false;  // throws as a check that cannot tell
    int calls = 0;
    bool IsUserAnAdmin() override;
};

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<standin::StandInWorld> world;
    FakeAdministrator admin;
    std::wstring addInFile;  // %APPDATA%\Microsoft\AddIns\Paylevix.xla
    std::wstring excelHelp;  // <application folder>\Paylevix.chm
    std::wstring localHelp;  // beside the test program
    std::string workbook;    // the embedded payloads
    std::string help;

private:
    std::wstring savedAppData_;
    bool hadAppData_ = false;
};

// The system's text for a Win32 error code, without its line end.
std::wstring SystemText(DWORD code);

// "Ошибка номер: <number>\r\n<description>\r\n<step text>".
std::wstring FailureText(long number, const std::wstring& description,
                         const std::wstring& stepText);

// Makes `path` read-only (true) or writable again.
void SetReadOnly(const std::wstring& path, bool readOnly);

// The journal as it stood when the thread's first message box was created: proves what the
// stand-in had been asked before the box appeared.
class JournalAtFirstBox {
public:
    explicit JournalAtFirstBox(std::wstring journal);
    ~JournalAtFirstBox();
    JournalAtFirstBox(const JournalAtFirstBox&) = delete;
    JournalAtFirstBox& operator=(const JournalAtFirstBox&) = delete;
    const std::vector<std::wstring>& Lines() const { return lines_; }
    bool Seen() const { return seen_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static JournalAtFirstBox* current_;
    std::wstring journal_;
    std::vector<std::wstring> lines_;
    bool seen_ = false;
    HHOOK hook_ = nullptr;
};

// The journals of a whole successful run.
extern const std::vector<std::wstring> kInstallJournal;
extern const std::vector<std::wstring> kUninstallJournal;

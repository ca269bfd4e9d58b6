// Child processes and files for tests that drive real executables.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// An owned process; the destructor ends it if it still runs.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    // Starts `commandLine` (quote the program's path yourself); false when it could not start.
    bool Start(const std::wstring& commandLine, const std::wstring& currentDirectory = {});
    // Waits up to `timeoutMs`; returns the exit code, or -1 when it is still running.
    long Wait(DWORD timeoutMs);
    bool Running() const;
    void Kill();
    DWORD Id() const { return pi_.dwProcessId; }
    HANDLE Handle() const { return pi_.hProcess; }

private:
    PROCESS_INFORMATION pi_{};
};

// What a program run to its end wrote and returned.
struct RunResult {
    long exitCode = -1;  // -1: killed after the timeout
    std::string out;     // standard output, as written
    std::string err;     // standard error
};
// Runs `commandLine` with its standard output and error going to files of `folder`, waits
// up to `timeoutMs` (then kills it) and returns what it wrote.
RunResult RunCaptured(const std::wstring& commandLine, const std::wstring& folder, DWORD timeoutMs);

// Folder of the running test executable, with a trailing backslash.
std::wstring ExeFolder();
// A fresh empty folder for one test (deleted first if it exists), with a trailing backslash.
std::wstring FreshFolder(const std::wstring& name);
// Deletes a folder tree (paths may be long, \\?\ form accepted).
void DeleteTree(const std::wstring& folder);
// Whole file contents; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

}  // namespace testsupport

// A test's own world for the spreadsheet automation stand-in: fresh folders for its
// application data (add-ins folder and Installed states) and program folder, its settings in
// the registry, its journal, and the stand-in started in running mode.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tools/StandInConfig.h"

namespace standin {

class StandInWorld {
public:
    // Fresh folders under the test temp folder `name`; the settings are written at once.
    explicit StandInWorld(const std::wstring& name);
    ~StandInWorld();  // clears the settings: the defaults apply again
    StandInWorld(const StandInWorld&) = delete;
    StandInWorld& operator=(const StandInWorld&) = delete;

    std::wstring root;           // with a trailing backslash
    std::wstring appData;        // no trailing backslash, as %APPDATA% is
    std::wstring addIns;         // <appData>\Microsoft\AddIns (created)
    std::wstring programFolder;  // what Path answers (created)
    std::wstring journal;
    StandInConfig::Settings settings;

    // Writes `settings` (after a test changed them).
    void Apply() const;
    std::vector<std::wstring> Journal() const;
    // Waits until every stand-in process started in this world has ended (as many "exit"
    // lines as "start" lines).
    bool WaitForExit(DWORD timeoutMs = 15000) const;
    bool Installed(const std::wstring& name) const;
};

// The registered server file (LocalServer32 of the stand-in's class).
std::wstring ServerPath();

// The stand-in started as a user would start the application: it registers itself as the
// active object. Stop() (or the destructor) tells it to end and waits for that.
class RunningStandIn {
public:
    RunningStandIn() = default;
    ~RunningStandIn() { Stop(); }
    RunningStandIn(const RunningStandIn&) = delete;
    RunningStandIn& operator=(const RunningStandIn&) = delete;

    // Starts it and waits until it is the active object; false when it is not in time.
    bool Start();
    // Tells it to stop; returns its exit code (-1 when it did not end in time).
    long Stop();
    bool Running() const { return process_.Running(); }

private:
    testsupport::ChildProcess process_;
};

// The active object registered for the stand-in's class now, or nullptr.
IUnknown* ActiveObject();

}  // namespace standin

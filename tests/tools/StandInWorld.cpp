#include "tests/tools/StandInWorld.h"

#include <oleauto.h>

#include <algorithm>

#include "tests/support/Pump.h"
#include "tools/StandInJournal.h"

namespace standin {

StandInWorld::StandInWorld(const std::wstring& name)
    : root(testsupport::FreshFolder(name)),
      appData(root + L"AppData"),
      addIns(appData + L"\\Microsoft\\AddIns"),
      programFolder(root + L"Program"),
      journal(root + L"journal.txt") {
    CreateDirectoryW(appData.c_str(), nullptr);
    CreateDirectoryW((appData + L"\\Microsoft").c_str(), nullptr);
    CreateDirectoryW(addIns.c_str(), nullptr);
    CreateDirectoryW(programFolder.c_str(), nullptr);
    settings.journal = journal;
    settings.appData = appData;
    settings.programFolder = programFolder;
    Apply();
}

StandInWorld::~StandInWorld() {
    StandInConfig::Clear();
}

void StandInWorld::Apply() const {
    StandInConfig::Write(settings);
}

std::vector<std::wstring> StandInWorld::Journal() const {
    return StandInJournal::ReadLines(journal);
}

bool StandInWorld::WaitForExit(DWORD timeoutMs) const {
    return testsupport::PumpUntil(
        [&] {
            const std::vector<std::wstring> lines = Journal();
            const auto starts = std::count_if(lines.begin(), lines.end(), [](const auto& line) {
                return line.rfind(L"start ", 0) == 0;
            });
            return std::count(lines.begin(), lines.end(), L"exit") == starts;
        },
        timeoutMs);
}

bool StandInWorld::Installed(const std::wstring& name) const {
    return StandInConfig::ReadInstalled(settings, name);
}

std::wstring ServerPath() {
    wchar_t value[MAX_PATH * 2] = L"";
    LONG size = sizeof(value);
    const std::wstring key =
        std::wstring(L"CLSID\\") + StandInConfig::kClsidText + L"\\LocalServer32";
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return {};
    std::wstring path = value;
    path.erase(std::remove(path.begin(), path.end(), L'"'), path.end());
    return path;
}

IUnknown* ActiveObject() {
    IUnknown* object = nullptr;
    if (FAILED(GetActiveObject(StandInConfig::kClsid, nullptr, &object))) return nullptr;
    return object;
}

bool RunningStandIn::Start() {
    if (!process_.Start(L"\"" + ServerPath() + L"\"")) return false;
    return testsupport::PumpUntil(
        [] {
            IUnknown* object = ActiveObject();
            if (object) object->Release();
            return object != nullptr;
        },
        15000);
}

long RunningStandIn::Stop() {
    if (!process_.Running()) return process_.Wait(0);
    HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, StandInConfig::kStopEvent);
    if (stop) {
        SetEvent(stop);
        CloseHandle(stop);
    }
    long code = -1;
    testsupport::PumpUntil([&] { return (code = process_.Wait(0)) != -1; }, 10000);
    return code;
}

}  // namespace standin

// StandInJournal: the stand-in's record of every call, one line per event, in UTF-8 with
// CR LF, appended as it happens so that a test can read it while the stand-in still runs.
//
// Lines: "start embedding" / "start running", "create" (the application object), each member
// call with its arguments ("AddIns(Paylevix)", "Paylevix.Installed = True",
// "Paylevix.Installed", "Path", "Quit", ...), " -> error 0x........" after a call that
// failed, "release" when the last reference to the application object is gone, "exit".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace StandInJournal {

// Appends `line` to the journal file `path`; nothing when `path` is empty.
void Append(const std::wstring& path, const std::wstring& line);

// What follows a call that failed with `hr`: " -> error 0x800A03EC".
std::wstring ErrorSuffix(HRESULT hr);

// The journal's lines, without line ends; empty when there is no file.
std::vector<std::wstring> ReadLines(const std::wstring& path);

}  // namespace StandInJournal

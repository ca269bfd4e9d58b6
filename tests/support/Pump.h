// Message pumping with bounded waits.
#pragma once

#include <windows.h>

#include <functional>

namespace testsupport {

// Dispatches this thread's messages until `done` holds or `timeoutMs` has passed.
// Returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches this thread's messages for `ms` milliseconds.
void PumpFor(DWORD ms);

// Dispatches what is queued now, without waiting.
void PumpPending();

}  // namespace testsupport

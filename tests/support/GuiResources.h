// Counts of this process's GDI and USER objects, for leak tests.
//
// GetGuiResources answers on Windows. Where it is not implemented (Wine), GDI objects are
// counted in the process's shared GDI handle table (its layout is verified by a probe
// first) and USER objects as the windows this process owns, message-only ones included,
// less the input-method windows that the system adds and removes with a thread's windows.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>

namespace testsupport {

struct GuiObjectCounts {
    long gdi = -1;  // -1: cannot be counted here
    long user = -1;
    bool operator==(const GuiObjectCounts&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const GuiObjectCounts& c) {
    return os << "{gdi " << c.gdi << ", user " << c.user << "}";
}

GuiObjectCounts CountGuiObjects();

// Runs `cycle(0)` once (what lives for the process is made then), then `cycle(1..times)`,
// and fails the test when the counts after differ from those before.
void ExpectNoGuiLeaks(const std::function<void(int)>& cycle, int times = 5);

}  // namespace testsupport

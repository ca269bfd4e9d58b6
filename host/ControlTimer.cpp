#include "host/ControlTimer.h"

#include <map>

#include "host/Program.h"

namespace Host {

namespace {

// Live timers by identifier; an identifier is never reused, so a tick queued for a timer
// that has gone finds nothing.
std::map<UINT_PTR, ControlTimer*>& Timers() {
    static std::map<UINT_PTR, ControlTimer*> timers;
    return timers;
}

UINT_PTR g_nextId = 1;

}  // namespace

ControlTimer::ControlTimer(std::function<void()> onTick, uint32_t intervalMs, bool enabled)
    : onTick_(std::move(onTick)), interval_(intervalMs), enabled_(enabled), id_(g_nextId++) {
    Timers()[id_] = this;
    Apply();
}

ControlTimer::~ControlTimer() {
    if (running_) KillTimer(Program::MainWindow(), id_);
    Timers().erase(id_);
}

void ControlTimer::SetInterval(uint32_t ms) {
    if (ms == interval_) return;
    interval_ = ms;
    if (running_) {
        KillTimer(Program::MainWindow(), id_);
        running_ = false;
    }
    Apply();
}

void ControlTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Apply();
}

void ControlTimer::Apply() {
    const bool run = enabled_ && interval_ > 0;
    if (run == running_) return;
    HWND window = Program::MainWindow();
    if (run) {
        running_ = SetTimer(window, id_, interval_, nullptr) != 0;
    } else {
        KillTimer(window, id_);
        running_ = false;
    }
}

void ControlTimer::Tick(UINT_PTR id) {
    auto it = Timers().find(id);
    if (it == Timers().end()) return;
    // The handler may delete the timer; nothing of it is touched afterwards.
    std::function<void()> handler = it->second->onTick_;
    if (handler) handler();
}

}  // namespace Host

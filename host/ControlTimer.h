// ControlTimer: a timer a control owns (interval in milliseconds and an enabled flag).
//
// It ticks through the program's hidden main window on the user-interface thread, so it
// works for windowless controls too, and only while messages are being dispatched.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace Host {

class ControlTimer {
public:
    explicit ControlTimer(std::function<void()> onTick, uint32_t intervalMs = 0,
                          bool enabled = false);
    ~ControlTimer();
    ControlTimer(const ControlTimer&) = delete;
    ControlTimer& operator=(const ControlTimer&) = delete;

    uint32_t Interval() const { return interval_; }
    // 0 stops the timer (its enabled flag stays as it is).
    void SetInterval(uint32_t ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // Called by the main window for WM_TIMER; an unknown identifier is ignored.
    static void Tick(UINT_PTR id);

private:
    void Apply();

    std::function<void()> onTick_;
    uint32_t interval_;
    bool enabled_;
    UINT_PTR id_;
    bool running_ = false;
};

}  // namespace Host

#pragma once
// A repeating timer on the user-interface thread, like a form's timer control:
// while enabled it calls its tick function every Interval milliseconds from
// the event loop (inside DoEvents / WaitForEvents too). A tick that is still
// running when the next one falls due is not re-entered; the late tick is
// simply dropped. The tick function may disable the timer or change its
// interval; it must not destroy the timer.
#include <cstdint>
#include <functional>
#include <memory>

namespace ostrak {

class PeriodicTimer {
public:
    // A disabled timer that will call onTick every intervalMs once enabled.
    PeriodicTimer(uint32_t intervalMs, std::function<void()> onTick);
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Starts (true) or stops (false) the ticks; enabling an enabled timer
    // changes nothing.
    void SetEnabled(bool enabled);
    bool Enabled() const;
    // Changes the interval; an enabled timer restarts its period.
    void SetInterval(uint32_t intervalMs);
    uint32_t Interval() const;

private:
    struct Impl;
    std::unique_ptr<Impl> Impl_;
};

} // namespace ostrak

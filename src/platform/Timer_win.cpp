#include "platform/Timer.h"

#include <map>
#include <windows.h>

namespace ostrak {

namespace {

struct TimerState {
    UINT_PTR Id = 0; // the thread timer while enabled, else 0
    uint32_t IntervalMs = 0;
    std::function<void()> OnTick;
    bool InTick = false;
};

// The enabled timers of this thread by their system id. A WM_TIMER still in
// the queue of a timer that has gone finds nothing here.
thread_local std::map<UINT_PTR, TimerState*> g_timers;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    const auto it = g_timers.find(id);
    if (it == g_timers.end())
        return;
    TimerState* impl = it->second;
    if (impl->InTick || !impl->OnTick)
        return;
    struct Guard {
        bool& Flag;
        ~Guard() { Flag = false; }
    } guard{impl->InTick};
    impl->InTick = true;
    impl->OnTick();
}

void Start(TimerState& impl) {
    impl.Id = ::SetTimer(nullptr, 0, impl.IntervalMs, OnTimer);
    if (impl.Id != 0)
        g_timers[impl.Id] = &impl;
}

void Stop(TimerState& impl) {
    if (impl.Id == 0)
        return;
    ::KillTimer(nullptr, impl.Id);
    g_timers.erase(impl.Id);
    impl.Id = 0;
}

} // namespace

struct PeriodicTimer::Impl : TimerState {};

PeriodicTimer::PeriodicTimer(uint32_t intervalMs, std::function<void()> onTick)
    : Impl_(std::make_unique<Impl>()) {
    Impl_->IntervalMs = intervalMs;
    Impl_->OnTick = std::move(onTick);
}

PeriodicTimer::~PeriodicTimer() {
    Stop(*Impl_);
}

void PeriodicTimer::SetEnabled(bool enabled) {
    if (enabled && Impl_->Id == 0)
        Start(*Impl_);
    else if (!enabled)
        Stop(*Impl_);
}

bool PeriodicTimer::Enabled() const {
    return Impl_->Id != 0;
}

void PeriodicTimer::SetInterval(uint32_t intervalMs) {
    Impl_->IntervalMs = intervalMs;
    if (Impl_->Id != 0) {
        Stop(*Impl_);
        Start(*Impl_);
    }
}

uint32_t PeriodicTimer::Interval() const {
    return Impl_->IntervalMs;
}

} // namespace ostrak

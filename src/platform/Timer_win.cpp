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

// A timer of interval 0 fires as soon as the message loop runs, not at the
// system timer's 10 ms minimum: it is a message posted to a message-only
// window, posted again after each tick while the timer stays enabled. Its ids
// count down from the top, apart from the system's timer ids.
constexpr UINT ZeroTimerMessage = WM_APP + 1;
thread_local UINT_PTR g_next_zero_id = ~static_cast<UINT_PTR>(0);
thread_local HWND g_zero_window = nullptr;

LRESULT CALLBACK ZeroTimerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != ZeroTimerMessage)
        return ::DefWindowProcA(window, message, wParam, lParam);
    const UINT_PTR id = static_cast<UINT_PTR>(wParam);
    OnTimer(nullptr, 0, id, 0);
    // Still enabled (the tick did not stop it): it fires again.
    if (g_timers.count(id) != 0)
        ::PostMessageA(window, ZeroTimerMessage, wParam, 0);
    return 0;
}

HWND ZeroTimerWindow() {
    if (!g_zero_window) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ZeroTimerProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "OstrakZeroTimer";
        ::RegisterClassA(&wc); // fails harmlessly when another thread registered it
        g_zero_window = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, wc.hInstance, nullptr);
    }
    return g_zero_window;
}

void Start(TimerState& impl) {
    if (impl.IntervalMs == 0) {
        const HWND window = ZeroTimerWindow();
        const UINT_PTR id = g_next_zero_id--;
        if (window && ::PostMessageA(window, ZeroTimerMessage, static_cast<WPARAM>(id), 0)) {
            impl.Id = id;
            g_timers[id] = &impl;
        }
        return;
    }
    impl.Id = ::SetTimer(nullptr, 0, impl.IntervalMs, OnTimer);
    if (impl.Id != 0)
        g_timers[impl.Id] = &impl;
}

void Stop(TimerState& impl) {
    if (impl.Id == 0)
        return;
    if (impl.IntervalMs != 0)
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
    const bool enabled = Impl_->Id != 0;
    Stop(*Impl_);
    Impl_->IntervalMs = intervalMs;
    if (enabled)
        Start(*Impl_);
}

uint32_t PeriodicTimer::Interval() const {
    return Impl_->IntervalMs;
}

} // namespace ostrak

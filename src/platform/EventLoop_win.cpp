#include "platform/EventLoop.h"

#include "platform/TickCount.h"
#include "runtime/Program.h"

#include <windows.h>

#include <mmsystem.h>

namespace ostrak {

namespace {

// Dispatches every message in the thread's queue; true when there was one.
bool RunPending() {
    bool ran = false;
    MSG msg;
    while (!ProgramEnded() && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ran = true;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ran;
}

} // namespace

// Once the program has ended (with a hook in place of the real end, see
// Program.h) no message is dispatched any more and no wait waits.
void DoEvents() {
    if (ProgramEnded())
        return;
    RunPending();
}

void WaitForEvents(uint32_t maxMs) {
    if (ProgramEnded())
        return;
    if (RunPending() || maxMs == 0)
        return;
    // Wakes for anything that arrives in the queue, a message posted from
    // another thread included, or when the time is up.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, maxMs >= INFINITE ? INFINITE - 1 : maxMs, QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    RunPending();
}

void WaitTicks(uint32_t ms) {
    if (ms == 0 || ProgramEnded())
        return;
    // A timed wait ends on a tick of the system's timer, which comes every
    // 15.6 ms unless a program asks for finer ones: a pause of 10 ms would
    // take 16. The finer timer is asked for only while a pause lasts.
    struct FineTimer {
        FineTimer() { ::timeBeginPeriod(1); }
        ~FineTimer() { ::timeEndPeriod(1); }
    } fine;
    const uint32_t start = TickCount();
    for (;;) {
        if (ProgramEnded())
            return;
        const uint32_t elapsed = ElapsedTicks(start, TickCount());
        if (elapsed >= ms)
            return;
        WaitForEvents(ms - elapsed);
    }
}

} // namespace ostrak

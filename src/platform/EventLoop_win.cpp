#include "platform/EventLoop.h"

#include "platform/TickCount.h"
#include "runtime/Program.h"

#include <windows.h>

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

#include "platform/EventLoop.h"

#include "platform/TickCount.h"
#include "runtime/Program.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace ostrak {

// Once the program has ended (with a hook in place of the real end, see
// Program.h) no event runs any more and no wait waits.
void DoEvents() {
    if (ProgramEnded())
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForEvents(uint32_t maxMs) {
    if (ProgramEnded())
        return;
    if (maxMs == 0) {
        DoEvents();
        return;
    }
    // The wake-up timer bounds the blocking wait; a precise timer fires on
    // time instead of a few milliseconds early.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(maxMs > 0x7FFFFFFFu ? 0x7FFFFFFFu : maxMs));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
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

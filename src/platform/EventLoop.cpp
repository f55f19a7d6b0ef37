#include "platform/EventLoop.h"

#include "platform/TickCount.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace ostrak {

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForEvents(uint32_t maxMs) {
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
        const uint32_t elapsed = ElapsedTicks(start, TickCount());
        if (elapsed >= ms)
            return;
        WaitForEvents(ms - elapsed);
    }
}

} // namespace ostrak

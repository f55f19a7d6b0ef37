// Timer1 and the errors met inside a tick.
#include "FormDriver.h"
#include "platform/TickCount.h"
#include "platform/Timer.h"
#include "runtime/ErrorRecord.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

TEST(Tick, PeriodicTimerRepeatsUntilDisabled) {
    int ticks = 0;
    PeriodicTimer timer(20, [&] { ++ticks; });
    EXPECT_FALSE(timer.Enabled());
    timer.SetEnabled(true);
    uint32_t start = TickCount();
    while (ticks < 3 && ElapsedTicks(start, TickCount()) < 2000)
        WaitForEvents(50);
    EXPECT_GE(ticks, 3);
    timer.SetEnabled(false);
    int stopped = ticks;
    for (int i = 0; i < 5; ++i)
        WaitForEvents(20);
    EXPECT_EQ(ticks, stopped);
}

TEST(Tick, TickIsNotReenteredWhileItLetsEventsRun) {
    int depth = 0;
    int deepest = 0;
    int ticks = 0;
    PeriodicTimer timer(5, [&] {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        for (int i = 0; i < 4; ++i)
            WaitForEvents(10);
        --depth;
    });
    timer.SetEnabled(true);
    uint32_t start = TickCount();
    while (ticks < 3 && ElapsedTicks(start, TickCount()) < 2000)
        WaitForEvents(10);
    timer.SetEnabled(false);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(deepest, 1);
}

TEST(Tick, SocketErrorsAreIgnoredInATickAndPassedOnByRetrieveHTML) {
    FormDriver d(70000); // no such port: Connect raises the overflow error
    Err().Clear();
    d.Form.RetrieveFile("127.0.0.1", "/f", "/nonexistent/f");
    EXPECT_NO_THROW(d.Form.Timer1_Timer());
    EXPECT_EQ(Err().Number, ErrOverflow);
    EXPECT_EQ(Err().Source, "CSocket.CSocket.Connect");
    d.Form.CloseConnections();

    try {
        d.Form.RetrieveHTML("127.0.0.1", "/v");
        ADD_FAILURE() << "RetrieveHTML returned";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Record.Number, ErrOverflow);
    }
}

} // namespace

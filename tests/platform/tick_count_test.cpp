#include "platform/EventLoop.h"
#include "platform/TickCount.h"

#include "support/OneShot.h"

#include <gtest/gtest.h>

using namespace ostrak;

TEST(TickCount, ElapsedSurvivesWrap) {
    TickControl::StartAt(0xFFFFFFF0u);
    uint32_t start = TickCount();
    TickControl::Advance(0x20);
    uint32_t now = TickCount();
    EXPECT_LT(now, start); // the counter wrapped
    EXPECT_GE(ElapsedTicks(start, now), 0x20u);
    EXPECT_LT(ElapsedTicks(start, now), 0x20u + 1000u);
}

TEST(EventLoop, WaitReturnsOnEventBeforeDeadline) {
    bool fired = false;
    OneShot event([&] { fired = true; });
    event.Start(0);
    uint32_t start = TickCount();
    while (!fired && ElapsedTicks(start, TickCount()) < 5000)
        WaitForEvents(5000);
    EXPECT_TRUE(fired);
    EXPECT_LT(ElapsedTicks(start, TickCount()), 1000u);
}

// ModSkins.Pause: waits at least the given ticks, lets events run, survives
// the tick counter's wrap.
#include "installer/ModSkins.h"
#include "platform/TickCount.h"

#include "platform/Timer.h"
#include "support/OneShot.h"

#include <gtest/gtest.h>

using namespace ostrak;

TEST(Pause, ZeroOrLessReturnsAfterTheFirstCheckWithoutRunningEvents) {
    for (int32_t ms : {0, -1, -1000}) {
        bool ran = false;
        OneShot posted([&] { ran = true; });
        posted.Start(0);
        ModSkins::Pause(ms);
        EXPECT_FALSE(ran) << ms;
        // Let the posted event run before the next case.
        ModSkins::Pause(1);
        while (!ran)
            ModSkins::Pause(1);
    }
}

TEST(Pause, LastsAtLeastTheGivenTicksAndRunsEventsMeanwhile) {
    int ticks = 0;
    PeriodicTimer timer(5, [&] { ++ticks; });
    timer.SetEnabled(true);
    const uint32_t start = TickCount();
    ModSkins::Pause(60);
    const uint32_t elapsed = ElapsedTicks(start, TickCount());
    EXPECT_GE(elapsed, 60u);
    EXPECT_GE(ticks, 2);
}

TEST(Pause, SurvivesTheTickCounterWrapping) {
    // The counter starts 50 ms below the wrap and is pushed 100 ms forward on
    // every timer event, so a 1000 ms pause crosses the wrap after its first
    // event and ends after about ten (real time: about 50 ms).
    TickControl::StartAt(0xFFFFFFFFu - 50);
    const uint32_t start = TickCount();
    int pushes = 0;
    PeriodicTimer timer(5, [&] {
        TickControl::Advance(100);
        ++pushes;
    });
    timer.SetEnabled(true);

    ModSkins::Pause(1000);

    const uint32_t now = TickCount();
    EXPECT_LT(now, start); // the counter wrapped during the pause
    EXPECT_GE(ElapsedTicks(start, now), 1000u);
    EXPECT_GE(pushes, 9);
    EXPECT_LE(pushes, 11); // it returned as soon as the time was up
}

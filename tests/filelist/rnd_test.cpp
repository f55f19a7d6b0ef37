#include "runtime/Rnd.h"

#include <gtest/gtest.h>

using namespace ostrak;

TEST(Rnd, FirstNumberAfterStart) {
    RndGenerator g;
    EXPECT_NEAR(g.Next(1.0f), 0.7055475, 1e-7);
    // A call with 0 repeats it; a positive call moves on.
    EXPECT_NEAR(g.Next(0.0f), 0.7055475, 1e-7);
    EXPECT_GT(std::abs(g.Next(1.0f) - 0.7055475f), 1e-3f);
}

TEST(Rnd, NegativeArgumentReseeds) {
    RndGenerator g;
    EXPECT_NEAR(g.Next(-1.0f), 0.224007, 1e-6);
    g.Next(1.0f);
    g.Randomize(4711.25);
    // Whatever came before, the same negative argument gives the same number.
    EXPECT_NEAR(g.Next(-1.0f), 0.224007, 1e-6);
    EXPECT_NEAR(Rnd(-1.0f), 0.224007, 1e-6);
    EXPECT_NEAR(Rnd(0.0f), 0.224007, 1e-6);
}

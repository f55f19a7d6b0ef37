// The no-progress rule shared by the installer and ostrak_fetch.
#include "http/StallRule.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

TEST(StallRule, StallMustLastPastTheLimit) {
    struct Case {
        uint32_t Start;
        uint32_t Elapsed;
        bool Stalled;
    };
    const Case cases[] = {
        {1000, 0, false},
        {1000, StallRule::StallMs, false},
        {1000, StallRule::StallMs + 1, true},
        // The tick counter wraps between the two readings.
        {0xFFFFFF00u, StallRule::StallMs, false},
        {0xFFFFFF00u, StallRule::StallMs + 1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StallRule::Stalled(c.Start, c.Start + c.Elapsed), c.Stalled)
            << c.Start << " + " << c.Elapsed;
    EXPECT_EQ(StallRule::StallMs, 7000u);
    EXPECT_EQ(StallRule::MaxRetries, 10);
}

} // namespace

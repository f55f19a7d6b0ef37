#pragma once
// The calendar clock, for what expires (unlike TickCount, which only measures
// how long something took). Any thread.
#include <cstdint>

namespace ostrak {

// Seconds since the epoch (1970-01-01 UTC) by the system's clock.
int64_t SecondsSinceEpoch();

} // namespace ostrak

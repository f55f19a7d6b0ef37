#pragma once
// The millisecond tick counter: 32 bits, from a monotonic clock, wrapping
// after about 49.7 days. Elapsed time is always ElapsedTicks(start, now),
// unsigned arithmetic, so a wrap between the two readings is harmless.
//
// Tests can place the counter anywhere (just below 2^32, say) and move it
// forward, so that long waits are tested without sleeping.
#include <cstdint>

namespace ostrak {

uint32_t TickCount();

constexpr uint32_t ElapsedTicks(uint32_t start, uint32_t now) {
    return now - start;
}

namespace TickControl {
// From now on TickCount() continues from value.
void StartAt(uint32_t value);
// Moves the counter forward by ms (on top of real time passing).
void Advance(uint32_t ms);
} // namespace TickControl

} // namespace ostrak

#pragma once
// The no-progress rule for a file fetch, shared by everything that polls
// FrmConnect for a file (the installer's verified download, ostrak_fetch):
// a transfer whose DownPerc has not changed for more than StallMs is
// abandoned with CloseConnections and requested again, at most MaxRetries
// times, so a file gets at most MaxRetries + 1 attempts.
//
// Plain constants and a pure function; any thread.
#include "platform/TickCount.h"

#include <cstdint>

namespace ostrak {

namespace StallRule {

inline constexpr uint32_t StallMs = 7000;
inline constexpr int MaxRetries = 10;

// True when a stall that began at tick start has lasted past StallMs at tick
// now (a wrap of the tick counter between the two is harmless).
constexpr bool Stalled(uint32_t start, uint32_t now) {
    return ElapsedTicks(start, now) > StallMs;
}

} // namespace StallRule

} // namespace ostrak

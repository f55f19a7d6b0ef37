#pragma once
// The no-progress rule for a file fetch, shared by everything that polls
// FrmConnect for a file (the installer's verified download, ostrak_fetch):
// a transfer whose DownPerc has not changed for more than StallMs is
// abandoned with CloseConnections and requested again, at most MaxRetries
// times, so a file gets at most MaxRetries + 1 attempts. A transfer that
// moves, but by fewer than MinBytesPerSecond averaged over RateWindowMs (a
// drip), counts as stalled too (RateWatch).
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

// The slowest transfer taken: far below the slowest real line (a 56k modem
// moves 7 KB/s), far above a server that drips bytes to hold a client.
inline constexpr int64_t MinBytesPerSecond = 256;
inline constexpr uint32_t RateWindowMs = 30000;

// Averages the bytes of one attempt over consecutive windows of
// RateWindowMs, from Start on.
class RateWatch {
public:
    // A new window begins at tick now with the byte count bytes.
    constexpr void Start(uint32_t now, int64_t bytes) { Start_ = now, Bytes_ = bytes; }
    // True when the window begun at Start has ended by tick now with fewer
    // than MinBytesPerSecond x RateWindowMs / 1000 bytes more than then;
    // a window that ended fast enough gives way to the next.
    constexpr bool TooSlow(uint32_t now, int64_t bytes) {
        if (ElapsedTicks(Start_, now) < RateWindowMs)
            return false;
        if (bytes - Bytes_ < MinBytesPerSecond * (RateWindowMs / 1000))
            return true;
        Start(now, bytes);
        return false;
    }
    // Milliseconds from now until the window ends (0 when it has).
    constexpr uint32_t MsLeft(uint32_t now) const {
        const uint32_t elapsed = ElapsedTicks(Start_, now);
        return elapsed >= RateWindowMs ? 0 : RateWindowMs - elapsed;
    }

private:
    uint32_t Start_ = 0;
    int64_t Bytes_ = 0;
};

} // namespace StallRule

} // namespace ostrak

#pragma once
// Progress lines of ostrak_fetch on standard error: one when the percentage
// has moved by 5 points or more, or when a second has passed since the last
// line, whichever comes first; bytes only when no length was announced.
#include <cstdint>
#include <iosfwd>

namespace ostrak {

class ProgressLine {
public:
    explicit ProgressLine(std::ostream& out) : Out_(out) {}
    // Reports the state of the transfer (announced 0: unknown length).
    void Update(int64_t received, int64_t announced, uint32_t now);
    // Forgets what was shown (a fresh attempt starts).
    void Reset() { Shown_ = false; }

private:
    std::ostream& Out_;
    bool Shown_ = false;
    int64_t LastPercent_ = 0;
    uint32_t LastTick_ = 0;
};

} // namespace ostrak

#include "platform/TickCount.h"

#include <atomic>
#include <chrono>

namespace ostrak {

namespace {
std::atomic<uint64_t> g_offset{0};

uint64_t MonotonicMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
} // namespace

uint32_t TickCount() {
    return static_cast<uint32_t>(MonotonicMs() + g_offset.load());
}

namespace TickControl {
void StartAt(uint32_t value) {
    g_offset.store(static_cast<uint64_t>(value) - MonotonicMs());
}
void Advance(uint32_t ms) {
    g_offset.fetch_add(ms);
}
} // namespace TickControl

} // namespace ostrak

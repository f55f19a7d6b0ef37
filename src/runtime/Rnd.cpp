#include "runtime/Rnd.h"

#include <chrono>
#include <cstring>

namespace ostrak {

namespace {
constexpr uint32_t StateMask = 0xFFFFFF;

uint32_t Step(uint32_t s) {
    return (s * 0xFD43FDu + 0xC39EC3u) & StateMask;
}

RndGenerator& ProcessGenerator() {
    static RndGenerator generator;
    return generator;
}
} // namespace

float RndGenerator::Next(float x) {
    if (x < 0.0f) {
        uint32_t b = 0;
        std::memcpy(&b, &x, sizeof b);
        State = Step(((b >> 24) + b) & StateMask);
    } else if (x > 0.0f) {
        State = Step(State);
    }
    return static_cast<float>(State) / 16777216.0f;
}

void RndGenerator::Randomize(double seed) {
    uint64_t bits = 0;
    std::memcpy(&bits, &seed, sizeof bits);
    uint32_t high = static_cast<uint32_t>(bits >> 32);
    uint32_t mixed = ((high >> 16) ^ high) & 0xFFFF;
    State = (State & 0xFF) | (mixed << 8);
}

float Rnd(float x) {
    return ProcessGenerator().Next(x);
}

void Randomize() {
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    double seconds = duration<double>(now).count();
    double sinceMidnight =
        seconds - 86400.0 * static_cast<double>(static_cast<int64_t>(seconds / 86400.0));
    Randomize(static_cast<float>(sinceMidnight));
}

void Randomize(double seed) {
    ProcessGenerator().Randomize(seed);
}

} // namespace ostrak

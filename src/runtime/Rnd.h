#pragma once
// The runtime's pseudo-random function: a 24-bit linear congruential
// generator with one process-wide state (initially 327680). UI thread only.
//
//   Rnd(x) with x < 0   reseeds from the bit pattern of x (as an IEEE single)
//                       and returns the first number of the new sequence;
//   Rnd(x) with x > 0   returns the next number;
//   Rnd(0)              returns the most recent number again.
//
// Every result is state / 2^24, so 0 <= result < 1. The release file list's
// key stream is drawn from this function; the reader and the publisher's tool
// share it, so a seeded sequence is the same in both.
#include <cstdint>

namespace ostrak {

// One generator with its own state. Rnd() and Randomize() work on the
// process-wide instance; tests and tools may use private ones.
class RndGenerator {
public:
    static constexpr uint32_t InitialState = 327680;

    float Next(float x);
    // Mixes a number into the state (the runtime's Randomize with a number):
    // the high 32 bits of its double image, folded to 16 bits, replace the
    // upper two of the state's three bytes.
    void Randomize(double seed);

    uint32_t State = InitialState;
};

float Rnd(float x = 1.0f);
// Reseeds the process-wide generator from the time of day (the seconds since
// midnight), as the HTTP client does on every connection.
void Randomize();
void Randomize(double seed);

} // namespace ostrak

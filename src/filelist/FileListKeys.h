#pragma once
// The key stream that masks every field of the release file list after the
// seed byte. It is drawn from the process-wide pseudo-random function
// (platform/Rnd.h), which the HTTP client reseeds from the clock on every
// connection: draw a whole list's keys without letting events run in between.
#include <cstdint>

namespace ostrak {

class FileListKeys {
public:
    // Reseeds the process-wide generator with minus seed. A seed of 0 would
    // not reseed it (the keys would then depend on earlier calls); callers
    // refuse it before making a key stream.
    explicit FileListKeys(uint8_t seed);

    // The next key, 0 to 255: t = Rnd(0); x = Rnd(-t); x * 255 rounded to
    // the nearest whole number, halves to the even neighbour, in single
    // precision.
    uint8_t Next();
};

} // namespace ostrak

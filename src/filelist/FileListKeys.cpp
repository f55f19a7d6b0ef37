#include "filelist/FileListKeys.h"

#include "runtime/Rnd.h"

#include <cmath>

namespace ostrak {

FileListKeys::FileListKeys(uint8_t seed) {
    Rnd(-static_cast<float>(seed));
}

uint8_t FileListKeys::Next() {
    float t = Rnd(0.0f);
    float x = Rnd(-t);
    // The default rounding mode rounds halves to the even neighbour.
    float scaled = x * 255.0f;
    return static_cast<uint8_t>(std::nearbyint(scaled));
}

} // namespace ostrak

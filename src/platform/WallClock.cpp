#include "platform/WallClock.h"

#include <chrono>

namespace ostrak {

int64_t SecondsSinceEpoch() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace ostrak

#include "installer/ModSkins.h"

#include "platform/EventLoop.h"

namespace ostrak {

namespace ModSkins {

void Pause(int32_t ms) {
    WaitTicks(ms > 0 ? static_cast<uint32_t>(ms) : 0);
}

} // namespace ModSkins

} // namespace ostrak

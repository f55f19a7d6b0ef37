#include "installer/ModSkins.h"

#include "platform/EventLoop.h"
#include "platform/TickCount.h"

namespace ModSkins {

void Pause(int32_t ms) {
    const uint32_t start = GetTickCount();
    for (;;) {
        const uint32_t elapsed = ElapsedTicks(start, GetTickCount());
        if (ms <= 0 || elapsed >= static_cast<uint32_t>(ms))
            return;
        WaitForEvents(static_cast<uint32_t>(ms) - elapsed);
    }
}

} // namespace ModSkins

#include "Progress.h"

#include "platform/TickCount.h"

#include <ostream>

namespace ostrak {

void ProgressLine::Update(int64_t received, int64_t announced, uint32_t now) {
    int64_t percent = announced > 0 ? received * 100 / announced : 0;
    bool due = !Shown_ || ElapsedTicks(LastTick_, now) >= 1000 ||
               (announced > 0 && percent >= LastPercent_ + 5);
    if (!due)
        return;
    Shown_ = true;
    LastPercent_ = percent;
    LastTick_ = now;
    Out_ << "ostrak_fetch: ";
    if (announced > 0)
        Out_ << percent << "% (" << received << " of " << announced << " bytes)\n";
    else
        Out_ << received << " bytes\n";
    Out_.flush();
}

} // namespace ostrak

#pragma once
// ModSkins: the timed pause of the installer's actions.
#include <cstdint>

namespace ostrak {

namespace ModSkins {

// Returns after at least ms milliseconds of the tick counter, letting
// window, timer and socket events run meanwhile (it blocks between events
// and costs next to no CPU). Pause(0), or a negative ms, returns after the
// first check without running any event. A wrap of the 32-bit tick counter
// during the pause is harmless. UI thread only.
void Pause(int32_t ms);

} // namespace ModSkins

} // namespace ostrak

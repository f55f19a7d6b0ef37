#pragma once
// Event pumping on the one user-interface thread.
//
// There is no loop of our own: the toolkit's loop runs the window, the timers
// and the socket notifications. Long actions run inside a handler and keep the
// program alive by letting events run inside their waits:
//
//   DoEvents()            lets whatever is pending run once, then returns.
//   WaitForEvents(ms)     lets pending events run; when nothing is pending it
//                         blocks (costing no CPU) until the next event arrives
//                         or ms milliseconds have passed, whichever is first.
//
// A wait loop therefore reads: while (!done && !ProgramEnded() && elapsed <
// limit) WaitForEvents(limit - elapsed); it does its checks after every return.
// Both need a QCoreApplication (or QApplication) to exist. Once the program
// has ended (ProgramEnded(), Program.h) all three return at once and run no
// event.
#include <cstdint>

namespace ostrak {

void DoEvents();
void WaitForEvents(uint32_t maxMs);

// Returns after at least ms milliseconds of the tick counter (TickCount.h),
// letting events run meanwhile and blocking between them. ms == 0 returns
// after the first check without running any event.
void WaitTicks(uint32_t ms);

} // namespace ostrak

#pragma once
// Ending the program.
//
// EndProgram() is the language's End: the program ends as soon as control
// returns to the event loop; the caller returns at once and runs nothing
// more. Called before the loop runs (a refused start-up), it leaves
// ProgramEnded() true and main() returns without starting the loop.
#include <functional>

namespace ostrak {

// Marks the program ended and runs the end hook (by default: make the event
// loop return exitCode).
void EndProgram(int exitCode = 0);
// True once EndProgram() has run (since the last SetEndProgramHook()).
bool ProgramEnded();

// Replaces what EndProgram() does after marking the program ended (nullptr:
// the default) and clears the mark; returns the previous hook. Tests use it
// to see the program end without their own process ending.
using EndProgramHook = std::function<void(int exitCode)>;
EndProgramHook SetEndProgramHook(EndProgramHook hook);

} // namespace ostrak

#pragma once
// Ending the program: the language's End. UI thread only.
//
// EndProgram(code) is called by the exit path once it has unloaded what it
// unloads (the HTTP client and the window), possibly deep inside an action
// and inside waits nested in one another (a timer or a button handler that
// runs inside a Pause, inside RetrieveHTML's wait, inside the download poll).
//
// In the program (no hook): the functions given to AtProgramEnd run, last
// registered first, the C streams are flushed and the process terminates with
// code (a build under AddressSanitizer first looks for leaks, as its normal
// exit would). EndProgram never returns, and nothing unwinds: no destructor runs,
// neither of the frames between the event loop and the caller (the action,
// its waits, the event dispatch inside them, main()) nor of static objects.
// So no destructor of ours ever runs on a half-unloaded state. Whatever must
// not be left behind is settled before the call (the HTTP client's unload
// removes its temporary file) or through AtProgramEnd (the instance lock).
//
// With a hook (tests, SetEndProgramHook): EndProgram marks the program
// ended, calls the hook and returns. From then until the next
// SetEndProgramHook the program behaves as ended as far as our code can:
//   - DoEvents, WaitForEvents and WaitTicks return at once and run no event,
//     so every wait built on them (Pause, RetrieveHTML's wait, the download
//     poll) returns at once as well;
//   - every routine of an action checks ProgramEnded() after each call that
//     can end the program (a wait, a dialog, a call into the HTTP client, the
//     exit path itself) and returns at once when it is true, touching nothing
//     that the exit path unloaded (the HTTP client's object may be gone). The
//     destructors that run on that way out release only what their own object
//     owns.
// Called before the event loop runs (a refused start-up), the hooked
// program's main() sees ProgramEnded() and returns without starting it.
#include <functional>

namespace ostrak {

// Ends the program with exitCode (see above).
void EndProgram(int exitCode = 0);
// True once EndProgram() has run (since the last SetEndProgramHook()).
bool ProgramEnded();

// Replaces what EndProgram() does after marking the program ended (nullptr:
// terminate the process) and clears the mark; returns the previous hook.
// Tests use it to see the program end without their own process ending.
using EndProgramHook = std::function<void(int exitCode)>;
EndProgramHook SetEndProgramHook(EndProgramHook hook);

// Registers a function that the terminating end runs before the process
// goes (not when a hook replaces the end). It must not wait or run events.
void AtProgramEnd(std::function<void()> release);

} // namespace ostrak

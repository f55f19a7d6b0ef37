#pragma once
// Starting the game, as the language's Shell does: detached, without
// arguments, in the folder that holds it. The game is a Windows program:
// nothing else is started. UI thread.
#include "runtime/ErrorRecord.h"

#include <string>

namespace ostrak {

enum class StartResult {
    Started,           // wine runs the program on its own
    NeedsWine,         // a Windows executable, and no wine on the PATH: nothing started
    NotWindowsProgram, // a regular file that is no Windows executable: nothing started
    Failed,            // nothing started; *failure says why
};

// Starts the file at path when it is a Windows executable
// (IsWindowsExecutable), as "wine <path>" with wine from the PATH; any other
// file is neither started nor changed. The program gets no arguments, runs
// in the folder that holds path (the current folder for a bare name),
// inherits the environment, and is not waited for. Nothing raises, and the
// current error record is left alone: on failure *failure, when given, has
// Source "Program.Start", Description "<path>: <reason>" and Number the
// system's error number: why the file cannot be queried, EISDIR for a
// folder, EINVAL for anything else that is not a regular file, or ENOEXEC
// when the system could not start wine (the reason is the system's text
// then).
StartResult StartProgram(const std::string& path, ErrorRecord* failure = nullptr);

// True when the file's first two bytes are "MZ" (a Windows executable).
bool IsWindowsExecutable(const std::string& path);

} // namespace ostrak

#pragma once
// Starting a program, as the language's Shell does: detached, without
// arguments, in the current folder of the installer. UI thread.
#include "runtime/ErrorRecord.h"

#include <string>

namespace ostrak {

enum class StartResult {
    Started,   // the program (or wine with it) runs on its own
    NeedsWine, // a Windows executable, and no wine on the PATH: nothing started
    Failed,    // nothing started; *failure says why
};

// Starts the file at path. A Windows executable (IsWindowsExecutable) runs as
// "wine <path>" when wine is on the PATH. Any other file is made executable
// (execute permission added wherever read permission is) and run directly.
// The program gets no arguments, inherits the current folder and the
// environment, and is not waited for. Nothing raises, and the current error
// record is left alone: on failure *failure, when given, has Source
// "Program.Start", Description "<path>: <reason>" and Number the system's
// error number: why the file cannot be queried, EISDIR for a folder, EINVAL
// for anything else that is not a regular file, why it cannot be executed,
// or ENOEXEC when the system could not start it (the reason is the system's
// text then).
StartResult StartProgram(const std::string& path, ErrorRecord* failure = nullptr);

// True when the file's first two bytes are "MZ" (a Windows executable).
bool IsWindowsExecutable(const std::string& path);

} // namespace ostrak

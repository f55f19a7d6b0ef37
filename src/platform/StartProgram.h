#pragma once
// Starting a program, as the language's Shell does: detached, without
// arguments, in the current folder of the installer. UI thread.
#include <string>

namespace ostrak {

enum class StartResult {
    Started,   // the program (or wine with it) runs on its own
    NeedsWine, // a Windows executable, and no wine on the PATH: nothing started
    Failed,    // nothing started; the current error record (Err()) says why
};

// Starts the file at path. A Windows executable (IsWindowsExecutable) runs as
// "wine <path>" when wine is on the PATH. Any other file is made executable
// (execute permission added wherever read permission is) and run directly.
// The program gets no arguments, inherits the current folder and the
// environment, and is not waited for. Failure numbers: 53 the file does not
// exist or is not a regular file, 70 it cannot be made executable, 75 the
// system could not start it.
StartResult StartProgram(const std::string& path);

// True when the file's first two bytes are "MZ" (a Windows executable).
bool IsWindowsExecutable(const std::string& path);

} // namespace ostrak

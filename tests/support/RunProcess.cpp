// What the child processes do alike on both systems: the waits and ends
// built on Wait and Signal, and RunProcess.
#include "support/Subprocess.h"

namespace ostrak {

namespace {
// The signal numbers of Linux, where the children run on both systems (on
// Windows they are Linux programs started through /bin/sh).
constexpr int SigKill = 9, SigTerm = 15;
} // namespace

int ChildProcess::WaitForEndingSignal() {
    Wait(-1);
    return Signal_;
}

void ChildProcess::Stop(int graceMs) {
    Signal(SigTerm);
    if (!Wait(graceMs)) {
        Signal(SigKill);
        Wait(-1);
    }
}

void ChildProcess::Kill() {
    Signal(SigKill);
    Wait(-1);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options,
                         int timeoutMs) {
    ProcessOptions toFiles = options;
    toFiles.Input = false;
    toFiles.LineOutput = false;
    ChildProcess child(argv, toFiles);
    ProcessResult result;
    result.Ended = child.Wait(timeoutMs);
    if (!result.Ended)
        child.Kill();
    result.ExitCode = child.ExitCode();
    result.Signal = child.EndingSignal();
    result.Out = child.Out();
    result.Err = child.Err();
    return result;
}

} // namespace ostrak

#include "support/Subprocess.h"

namespace ostrak {

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

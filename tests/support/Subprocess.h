#pragma once
// Running programs from tests: a tool to completion with its output
// captured, or a server kept running for the life of an object.
#include <string>
#include <vector>

namespace ostrak {

struct ProcessResult {
    int ExitCode = -1; // -1 when it did not exit normally
    std::string Out;
    std::string Err;
};

// Runs argv[0] (a path) with argv and waits for it; stdin is /dev/null.
ProcessResult RunProcess(const std::vector<std::string>& argv);

// A child process whose stdout the test reads line by line (its stderr is
// dropped); stopped with SIGTERM and reaped by the destructor unless the test
// waited for its end.
class ChildProcess {
public:
    // pipeBytes > 0 shrinks the stdout pipe to about that many bytes, so that
    // the child blocks once that much output waits unread.
    explicit ChildProcess(const std::vector<std::string>& argv, int pipeBytes = 0);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of its stdout (without the newline); false at its end or
    // after timeoutMs.
    bool ReadLine(std::string& line, int timeoutMs);
    // Bytes of its stdout waiting unread, and how many the pipe holds.
    int PendingOutput() const;
    int PipeCapacity() const;
    void Signal(int signal) const;
    // Waits for its end: the signal that ended it, 0 when it exited.
    int WaitForEndingSignal();

private:
    int Pid_ = -1;
    int OutFd_ = -1;
    std::string Pending_;
};

} // namespace ostrak

#pragma once
// Running programs from tests, the one way tests start a process: a tool run
// to completion with its output captured (RunProcess), or a child that lives
// as long as its object (ChildProcess), talked to through its stdin and
// stdout, sent signals and waited for with a bound. Everything runs on the
// test's thread; nothing calls back.
#include "support/TempDir.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrak {

// How a child starts, said in a chain: ProcessOptions().WithInput().WithLineOutput().
struct ProcessOptions {
    ProcessOptions& SetEnv(const std::string& name, const std::string& value) {
        Env.emplace_back(name, value);
        return *this;
    }
    ProcessOptions& UnsetEnv(const std::string& name) {
        Env.emplace_back(name, std::nullopt);
        return *this;
    }
    ProcessOptions& InFolder(const std::string& folder) {
        Folder = folder;
        return *this;
    }
    ProcessOptions& WithInput() {
        Input = true;
        return *this;
    }
    ProcessOptions& WithLineOutput(int pipeBytes = 0) {
        LineOutput = true;
        PipeBytes = pipeBytes;
        return *this;
    }
    ProcessOptions& WithForwardedErr() {
        ForwardErr = true;
        return *this;
    }

    // Changes to the test's environment: a name with a value is set, a name
    // without one is removed.
    std::vector<std::pair<std::string, std::optional<std::string>>> Env;
    // The child's working folder ("" keeps the test's).
    std::string Folder;
    // stdin is a stream socket that Write() feeds and CloseInput() ends;
    // otherwise it is /dev/null.
    bool Input = false;
    // stdout is a pipe read with ReadLine(); otherwise it goes to a file that
    // Out() reads.
    bool LineOutput = false;
    // stderr is the test's own, so that the child's messages show in the
    // test's output (Err() then stays ""); otherwise it goes to a file that
    // Err() reads.
    bool ForwardErr = false;
    // With LineOutput: > 0 shrinks the pipe to about that many bytes, so that
    // the child blocks once that much output waits unread.
    int PipeBytes = 0;
};

struct ProcessResult {
    int ExitCode = -1;  // -1 when it did not exit normally
    int Signal = 0;     // the signal that ended it, 0 when none did
    bool Ended = false; // false when it was still running at the bound (then killed)
    std::string Out;
    std::string Err;
};

// Whether path names a program this system can start.
bool IsProgram(const std::string& path);

// Runs argv[0] (a path, or a name looked up on PATH) with argv and waits up
// to timeoutMs for its end; a child still running then is killed.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {},
                         int timeoutMs = 60000);

// A running child. The destructor stops it (SIGTERM, SIGKILL when that does
// not end it within a few seconds) unless the test waited for its end.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options);
    // A child whose stdout the test reads line by line (see PipeBytes).
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
    // Its stdout (without LineOutput) and stderr so far.
    std::string Out() const;
    std::string Err() const;
    // Writes to its stdin (with Input); false when it cannot.
    bool Write(const std::string& bytes);
    void CloseInput();

    void Signal(int signal) const;
    // Waits up to timeoutMs (0: only looks) for its end; true once it ended.
    bool Wait(int timeoutMs);
    bool Running() { return !Wait(0); }
    // After its end: the exit code (-1 when a signal ended it) and the
    // signal that ended it (0 when it exited).
    int ExitCode() const { return ExitCode_; }
    int EndingSignal() const { return Signal_; }
    // Waits without a bound for its end: the signal that ended it, 0 when it
    // exited.
    int WaitForEndingSignal();
    // Sends SIGTERM, then SIGKILL when it has not ended after graceMs, and
    // waits for the end.
    void Stop(int graceMs = 3000);
    // Sends SIGKILL and waits for the end.
    void Kill();

private:
    int Pid_ = -1;
    int PidFd_ = -1; // readable once the child has ended
    int InFd_ = -1;
    int OutFd_ = -1;
    bool Ended_ = false;
    int ExitCode_ = -1;
    int Signal_ = 0;
    TempDir Capture_; // holds the stdout and stderr files
    std::string Pending_;
};

} // namespace ostrak

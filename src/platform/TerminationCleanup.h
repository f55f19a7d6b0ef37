#pragma once
// Temporary files and folders that must not outlive the program when it is
// ended by SIGINT, SIGTERM or SIGHUP (Ctrl+C, kill, a closed terminal).
//
// Live temporary paths sit in a fixed table of slots that the signal handler
// reads without locks or allocation; registering and releasing may happen on
// any thread. The handler removes every registered path (a folder with what
// it holds directly), then ends the program by the same signal with its
// default action, so the parent still sees how it ended. SIGKILL cannot be
// caught: what it leaves is swept later by RemoveStaleTemporaries.
#include <cstddef>
#include <string>

namespace ostrak {

namespace Files {

// Installs the handler for SIGINT, SIGTERM and SIGHUP. A signal the program
// was started with ignored (nohup, a background job) stays ignored. Also
// ignores SIGXFSZ, so that a write past the file-size limit fails (EFBIG)
// and is handled like a full disk. Call once from main, before the first
// temporary path is made.
void RemoveTemporariesOnTermination();

// Keeps path for removal by the handler; register a path before creating it,
// so that no signal finds it made but not yet registered (removing a path
// that does not exist yet does no harm). Returns a handle for
// ReleaseTemporaryPath, or -1 when the path cannot be kept (the table is full
// or the path too long; it is then only swept later).
int RegisterTemporaryPath(const std::string& path, bool isFolder);
// The path behind handle is no longer temporary (renamed into place or
// removed). -1 is ignored.
void ReleaseTemporaryPath(int handle);

// Holds SIGINT, SIGTERM and SIGHUP back on the calling thread while it lives,
// around a few steps that must not be cut apart (two renames that swap
// folders); a signal that came meanwhile takes effect when it goes. For
// single-threaded programs: another thread may still take the signal.
class TerminationDeferred {
public:
    TerminationDeferred();
    ~TerminationDeferred();
    TerminationDeferred(const TerminationDeferred&) = delete;
    TerminationDeferred& operator=(const TerminationDeferred&) = delete;

private:
    // The signal mask to restore, in the system's own form.
    static constexpr std::size_t PreviousSize = 128;
    unsigned char Previous_[PreviousSize];
};

} // namespace Files

} // namespace ostrak

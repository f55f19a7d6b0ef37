#pragma once
// Whether another instance of this program is running.
//
// The running instance holds a lock file named after the executable's base
// name ("ostrak_install.lock") in the user's runtime folder (RuntimeFolder(),
// Environment.h).
// The lock is held until ReleaseInstanceLock() or the end of the process (the
// program's end removes the lock file, see Program.h); the lock of a process
// that died is taken over, however old it is, and the lock of a live process
// is never taken over, however long it runs.
// UI thread only.
#include <string>

namespace ostrak {

// True when another live process holds the lock. Otherwise this process takes
// the lock (if it does not hold it yet) and the answer is false. When the lock
// file cannot be created at all (an unusable runtime folder) no other
// instance can be seen: the answer is false and a warning goes to stderr.
bool PrevInstance();

// Gives the lock up (the next PrevInstance() takes it again).
void ReleaseInstanceLock();

// The lock file's path, read from the environment on each call.
std::string InstanceLockPath();

} // namespace ostrak

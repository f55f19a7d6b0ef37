#pragma once
// Host lookups of the test's choosing (winsock/HostLookup.h) for the life of
// the object, and a gate that holds a lookup up until the test opens it.
// The system's lookups and no kept answers are back afterwards.
#include "winsock/HostLookup.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

namespace ostrak {

class ScopedHostLookups {
public:
    explicit ScopedHostLookups(ForwardLookup forward, ReverseLookup reverse = {}) {
        SetHostLookups(std::move(forward), std::move(reverse));
    }
    ~ScopedHostLookups() { SetHostLookups({}, {}); }
    ScopedHostLookups(const ScopedHostLookups&) = delete;
    ScopedHostLookups& operator=(const ScopedHostLookups&) = delete;
};

// Shared between a test and the lookup threads that wait on it; open it
// before the test ends so that no thread stays blocked.
class LookupGate {
public:
    void Open() {
        std::lock_guard<std::mutex> guard(Lock_);
        Open_ = true;
        Opened_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> guard(Lock_);
        Opened_.wait(guard, [&] { return Open_; });
    }

private:
    std::mutex Lock_;
    std::condition_variable Opened_;
    bool Open_ = false;
};

} // namespace ostrak

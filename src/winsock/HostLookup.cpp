#include "winsock/HostLookup.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "winsock/SocketApi.h"
#include "winsock/SystemLookup.h"

namespace ostrak {

namespace {

using Done = std::function<void(const HostAnswer&)>;

// A forward lookup under way (Waiters wait for it) or a kept answer.
struct ForwardEntry {
    bool Finished = false;
    HostAnswer Answer;
    uint32_t KeptAt = 0;
    std::vector<Done> Waiters;
};

// A reverse lookup under way (callers wait for it until WaitEnd) or a kept
// answer.
struct ReverseEntry {
    bool Finished = false;
    bool Found = false;
    std::string Name;
    uint32_t KeptAt = 0;
    std::chrono::steady_clock::time_point WaitEnd;
};

std::mutex lookupLock;
std::condition_variable reverseAnswered;
ForwardLookup forwardLookup;
ReverseLookup reverseLookup;
std::map<std::string, std::shared_ptr<ForwardEntry>> forwardEntries;
std::map<uint32_t, std::shared_ptr<ReverseEntry>> reverseEntries;

bool StartWorker(std::function<void()> work) {
    try {
        std::thread(std::move(work)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void FinishForward(const std::string& name, const std::shared_ptr<ForwardEntry>& entry,
                   const HostAnswer& answer) {
    std::vector<Done> waiters;
    {
        std::lock_guard<std::mutex> guard(lookupLock);
        waiters.swap(entry->Waiters);
        entry->Finished = true;
        entry->Answer = answer;
        entry->KeptAt = TickCount();
        // A failure is not kept: the next lookup asks again.
        auto it = forwardEntries.find(name);
        if (answer.Error != 0 && it != forwardEntries.end() && it->second == entry)
            forwardEntries.erase(it);
    }
    for (const Done& done : waiters)
        done(answer);
}

void FinishReverse(const std::shared_ptr<ReverseEntry>& entry, bool found, std::string name) {
    std::lock_guard<std::mutex> guard(lookupLock);
    entry->Found = found;
    entry->Name = std::move(name);
    entry->Finished = true;
    entry->KeptAt = TickCount();
    reverseAnswered.notify_all();
}

template <typename Map> void ForgetFinished(Map& entries) {
    for (auto it = entries.begin(); it != entries.end();)
        it = it->second->Finished ? entries.erase(it) : std::next(it);
}

} // namespace

void SetHostLookups(ForwardLookup forward, ReverseLookup reverse) {
    std::lock_guard<std::mutex> guard(lookupLock);
    forwardLookup = std::move(forward);
    reverseLookup = std::move(reverse);
    ForgetFinished(forwardEntries);
    ForgetFinished(reverseEntries);
}

void ForgetHostAnswers() {
    std::lock_guard<std::mutex> guard(lookupLock);
    ForgetFinished(forwardEntries);
    ForgetFinished(reverseEntries);
}

bool LookUpHostName(const std::string& name, Done done) {
    std::unique_lock<std::mutex> guard(lookupLock);
    auto it = forwardEntries.find(name);
    if (it != forwardEntries.end()) {
        std::shared_ptr<ForwardEntry> entry = it->second;
        if (!entry->Finished) {
            entry->Waiters.push_back(std::move(done));
            return true;
        }
        if (HostAnswerFresh(entry->KeptAt, TickCount())) {
            HostAnswer kept = entry->Answer;
            guard.unlock();
            done(kept);
            return true;
        }
    }
    auto entry = std::make_shared<ForwardEntry>();
    entry->Waiters.push_back(std::move(done));
    ForwardLookup lookup = forwardLookup ? forwardLookup : SystemForwardLookup;
    // Started under the lock, so that nobody joins a lookup that never runs.
    if (!StartWorker([name, entry, lookup] { FinishForward(name, entry, lookup(name)); }))
        return false;
    forwardEntries[name] = entry;
    return true;
}

bool LookUpHostAddress(uint32_t address, std::string& officialName) {
    std::unique_lock<std::mutex> guard(lookupLock);
    std::shared_ptr<ReverseEntry> entry;
    auto it = reverseEntries.find(address);
    if (it != reverseEntries.end() &&
        (!it->second->Finished || HostAnswerFresh(it->second->KeptAt, TickCount())))
        entry = it->second;
    if (entry == nullptr) {
        entry = std::make_shared<ReverseEntry>();
        entry->WaitEnd =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(ReverseLookupLimitMs);
        reverseEntries[address] = entry;
        ReverseLookup lookup = reverseLookup ? reverseLookup : SystemReverseLookup;
        auto work = [address, entry, lookup] {
            std::string name;
            bool found = lookup(address, name);
            FinishReverse(entry, found, std::move(name));
        };
        if (!StartWorker(work)) {
            // No worker: the lookup holds the caller up for as long as it takes.
            guard.unlock();
            work();
            guard.lock();
        }
    }
    reverseAnswered.wait_until(guard, entry->WaitEnd, [&] { return entry->Finished; });
    if (!entry->Finished || !entry->Found)
        return false;
    officialName = entry->Name;
    return true;
}

} // namespace ostrak

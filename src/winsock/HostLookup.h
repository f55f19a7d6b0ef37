#pragma once
// Host lookups behind the socket layer (the asynchronous resolver and the
// reverse lookup of SocketApi.h), with the answers kept for the run.
//
// Linux keeps no answers between lookups, and the HTTP client gives a
// connection attempt about 2.1 s before it starts another: without a memory,
// a name whose lookup takes longer (a dead first name server) would never
// connect. So:
//   - a forward answer that found an address is reused while it is fresh
//     (HostAnswerKeepMs by the tick counter); failures are not kept;
//   - a forward lookup of a name that is already being looked up joins that
//     lookup instead of starting another;
//   - reverse answers, found or not, are kept the same way, and a reverse
//     lookup that is already under way is joined; one reverse lookup holds
//     its callers up for ReverseLookupLimitMs in all, after which they hear
//     "no entry" until it answers.
// The lookup functions can be replaced (tests slow them down and count
// them). They run on worker threads; every function here is thread-safe.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/TickCount.h"

namespace ostrak {

struct HostAnswer {
    // 0 when found, else a Windows sockets number (11001 host not found...).
    int32_t Error = 0;
    // The official name.
    std::string Name;
    // The first IPv4 address, network order.
    uint32_t Address = 0;
};

// A forward lookup (IPv4, with the official name).
using ForwardLookup = std::function<HostAnswer(const std::string& name)>;
// A reverse lookup: true and the official name when an entry is found.
using ReverseLookup = std::function<bool(uint32_t address, std::string& officialName)>;

inline constexpr uint32_t HostAnswerKeepMs = 60000;
inline constexpr uint32_t ReverseLookupLimitMs = 1000;

// True while an answer kept at tick keptAt may still be used at tick now.
constexpr bool HostAnswerFresh(uint32_t keptAt, uint32_t now) {
    return ElapsedTicks(keptAt, now) <= HostAnswerKeepMs;
}

// Replaces the lookups; an empty function restores the system's. Kept
// answers are forgotten; lookups under way finish with the function they
// started with.
void SetHostLookups(ForwardLookup forward, ReverseLookup reverse);
// Forgets every kept answer.
void ForgetHostAnswers();

// Looks name up and calls done with the answer: at once on the caller's
// thread for a fresh kept answer, else on a worker thread. False (done never
// called) when no worker can be started.
bool LookUpHostName(const std::string& name, std::function<void(const HostAnswer&)> done);
// Looks address (network order) up, holding the caller up as described
// above. True and the official name when an entry is found.
bool LookUpHostAddress(uint32_t address, std::string& officialName);

} // namespace ostrak

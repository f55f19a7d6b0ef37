#pragma once
// Internal to the platform layer: how the socket calls keep the asynchronous
// select rules (AsyncSelect.h). Each hook is a no-op for a socket without an
// active registration.
#include <cstdint>

namespace ostrak {

namespace AsyncSelectHooks {
// A connect is under way (the write notification will report its end).
void ConnectPending(int32_t s);
// A connect failed at once with error (a Windows sockets number): true when
// s is registered, and the connect notification carries the error instead.
bool ConnectFailedAtOnce(int32_t s, int32_t error);
// A connect finished at once: connect and write notifications follow.
void ConnectedAtOnce(int32_t s);
// The socket listens now.
void Listening(int32_t s);
// An accept was attempted on s; outOfResources when it failed for lack of
// descriptors or memory (the connection still waits).
void Accepted(int32_t s, bool outOfResources);
// A receive asked s for requested bytes and got result (-1: failed with
// errnoValue).
void Received(int32_t s, int32_t requested, long result, int errnoValue);
// A send could not take all the data (would block or partial).
void SendBlocked(int32_t s);
// s is about to be closed: its registration ends.
void Closing(int32_t s);
} // namespace AsyncSelectHooks

} // namespace ostrak

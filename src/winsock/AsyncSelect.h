#pragma once
// Asynchronous select: readiness notifications of a socket, posted to a
// message window (MessageWindow.h) as message(wParam = socket handle,
// lParam = event code in the low 16 bits, error code in the high 16 bits).
//
// The classic rules hold, and nothing busy-loops:
//   connect (16)  when a pending connect finishes, with its error; then write.
//                 A connect that the system refuses at once (connection
//                 refused, network or host unreachable) is reported the same
//                 way: the call says it would block, the notification brings
//                 the error
//   write (2)     after a successful connect, when an accepted socket is
//                 registered, and again only after a send would have blocked
//                 (or took part of the data)
//   read (1)      when the socket becomes readable; re-armed only by the
//                 next receive, and posted again at once after a receive
//                 that filled its whole buffer (more is waiting)
//   close (32)    once, when a receive finds that the peer closed (error 0)
//                 or reset the connection (10054); data before the close is
//                 offered through read notifications first
//   accept (8)    when a connection waits on a listening socket; re-armed by
//                 the next accept
// Every posted notification belongs to its registration: once the socket is
// closed or its notifications are cancelled (or replaced), notifications
// still queued for it are dropped, so a reused fd number never receives them.
// UI thread only.
#include <cstdint>

#include "winsock/MessageWindow.h"

namespace ostrak {

constexpr int32_t FdRead = 1;
constexpr int32_t FdWrite = 2;
constexpr int32_t FdOob = 4;
constexpr int32_t FdAccept = 8;
constexpr int32_t FdConnect = 16;
constexpr int32_t FdClose = 32;

constexpr int32_t MakeSelectLParam(int32_t event, int32_t error) {
    return int32_t((uint32_t(error) << 16) | (uint32_t(event) & 0xFFFF));
}

// Requests the events of mask for socket s on window/message; mask 0 cancels.
// The socket becomes non-blocking. 0 on success, -1 with WsGetLastError().
int32_t WsAsyncSelect(int32_t s, WindowHandle window, uint32_t message, int32_t mask);
// Posts a notification of one's own for s into the same stream, tied to the
// socket's current registration. False when s is not registered.
bool WsPostSocketNotification(int32_t s, int32_t event, int32_t error);
// Number of sockets with an active registration (for tests).
int32_t WsAsyncSelectCount();

} // namespace ostrak

#pragma once
// The socket library in the manner of Windows Sockets 1.1, over BSD sockets.
//
// Handles are 32-bit (-1: no socket); calls return -1 on failure and leave the
// Windows sockets error number (10035 would block, 10061 refused, ...) for
// WsGetLastError(), per thread. Option levels and names are the classic ones
// (level 65535; 4098 receive buffer, 4104 type, 32 broadcast). Addresses and
// ports inside WsAddress are in network byte order. Sends never raise
// SIGPIPE. A socket registered with WsAsyncSelect (AsyncSelect.h) does not
// block; these calls keep its notifications armed as the classic rules say.
// Calls other than start-up need a started library (else 10093).
#include "winsock/WsErrors.h"

#include <cstdint>
#include <string>

namespace ostrak {

constexpr int32_t WsInvalidSocket = -1;
constexpr int32_t WsSocketError = -1;
constexpr uint32_t WsInaddrNone = 0xFFFFFFFFu;
constexpr int32_t WsSolSocket = 65535;
constexpr int32_t WsSoBroadcast = 32;
constexpr int32_t WsSoRcvBuf = 4098;
constexpr int32_t WsSoType = 4104;
constexpr int32_t WsMaxUdpDatagram = 65507;

struct WsAddress {
    uint16_t Port = 0;    // network byte order
    uint32_t Address = 0; // network byte order: the first byte is the lowest
};

// Start-up record of the library.
struct WsLibraryInfo {
    uint16_t Version = 0;
    uint16_t HighVersion = 0;
    uint16_t MaxSockets = 0;
    uint16_t MaxUdpDg = 0;
};

// Starts the library (counted per process). 0 on success, else an error code.
int32_t WsStartup(uint16_t versionRequested, WsLibraryInfo& info);
// Ends one start; 10093 when the library is not started.
int32_t WsCleanup();
// Outstanding starts, and starts/cleanups made so far in this process.
int32_t WsStartupDepth();
int32_t WsStartupCalls();
int32_t WsCleanupCalls();

int32_t WsGetLastError();
void WsSetLastError(int32_t code);
// Windows sockets number for an errno value, and for a getaddrinfo result.
int32_t WsErrorFromErrno(int errnoValue);
int32_t WsErrorFromResolver(int gaiValue);

int32_t WsSocket(int32_t family, int32_t type, int32_t protocol);
int32_t WsConnect(int32_t s, const WsAddress& to);
int32_t WsBind(int32_t s, const WsAddress& local);
int32_t WsListen(int32_t s, int32_t backlog);
// Returns the new handle (peer address in *peer when given) or -1.
int32_t WsAccept(int32_t s, WsAddress* peer);
int32_t WsSend(int32_t s, const char* data, int32_t length, int32_t flags);
int32_t WsSendTo(int32_t s, const char* data, int32_t length, int32_t flags, const WsAddress& to);
int32_t WsRecv(int32_t s, char* buffer, int32_t length, int32_t flags);
int32_t WsRecvFrom(int32_t s, char* buffer, int32_t length, int32_t flags, WsAddress* from);
// how: 0 receive, 1 send, 2 both.
int32_t WsShutdown(int32_t s, int32_t how);
// Ends the socket's notifications, then closes it.
int32_t WsCloseSocket(int32_t s);
int32_t WsGetSockName(int32_t s, WsAddress& local);
int32_t WsGetPeerName(int32_t s, WsAddress& peer);
int32_t WsGetSockOpt(int32_t s, int32_t level, int32_t name, int32_t& value);
int32_t WsSetSockOpt(int32_t s, int32_t level, int32_t name, int32_t value);

// Parses a dotted IPv4 address like inet_addr; WsInaddrNone when it is none
// (including "255.255.255.255").
uint32_t WsInetAddr(const std::string& text);
// Dotted text of a network-order address.
std::string WsInetNtoa(uint32_t address);
uint16_t WsHtons(uint16_t value);
uint16_t WsNtohs(uint16_t value);
// Reverse lookup of an IPv4 address (network order): true and the official
// name when an entry is found. Answers are kept, and one lookup holds its
// callers up for at most about a second in all; until it answers it counts
// as no entry (HostLookup.h).
bool WsGetHostByAddr(uint32_t address, std::string& officialName);

} // namespace ostrak

#include "winsock/SocketApi.h"

#include <cerrno>
#include <mutex>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "winsock/AsyncSelectHooks.h"
#include "winsock/HostLookup.h"

namespace ostrak {

namespace {

std::mutex libraryLock;
int32_t startupDepth = 0;
int32_t startupCalls = 0;
int32_t cleanupCalls = 0;

// The library's own error numbers are the ones the layer reports; a call of
// ours that fails before reaching it sets the thread's error the same way.
int32_t Fail() {
    return WsSocketError;
}

int32_t FailWith(int32_t code) {
    ::WSASetLastError(code);
    return WsSocketError;
}

bool Started() {
    std::lock_guard<std::mutex> guard(libraryLock);
    return startupDepth > 0;
}

int32_t NotStarted() {
    return FailWith(WsError::NotInitialised);
}

SOCKET Handle(int32_t s) {
    return static_cast<SOCKET>(static_cast<uint32_t>(s));
}

sockaddr_in ToSockaddr(const WsAddress& a) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = a.Port;
    sa.sin_addr.s_addr = a.Address;
    return sa;
}

WsAddress FromSockaddr(const sockaddr_in& sa) {
    return WsAddress{sa.sin_port, sa.sin_addr.s_addr};
}

// Wine gives every stream socket a fixed receive buffer of 64 KiB, the size
// a Windows program is told of, where Windows itself grows the buffer with
// the connection's speed. Over such a window a download waits on the server
// at every turn: on loopback it takes twice as long as on Linux. Under Wine a
// stream socket asks for the room the system's tuning would give it; on
// Windows that tuning stays, as asking for any size would turn it off.
constexpr int WineReceiveBuffer = 2 << 20;

bool UnderWine() {
    static const bool wine = [] {
        const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool KnownOption(int32_t level, int32_t name) {
    return level == WsSolSocket &&
           (name == WsSoBroadcast || name == WsSoRcvBuf || name == WsSoType);
}

} // namespace

int32_t WsStartup(uint16_t versionRequested, WsLibraryInfo& info) {
    WSADATA data{};
    const int result = ::WSAStartup(versionRequested, &data);
    if (result != 0)
        return result;
    std::lock_guard<std::mutex> guard(libraryLock);
    ++startupDepth;
    ++startupCalls;
    info.Version = data.wVersion;
    info.HighVersion = data.wHighVersion;
    info.MaxSockets = data.iMaxSockets;
    info.MaxUdpDg = data.iMaxUdpDg;
    return 0;
}

int32_t WsCleanup() {
    {
        std::lock_guard<std::mutex> guard(libraryLock);
        if (startupDepth == 0)
            return FailWith(WsError::NotInitialised);
        --startupDepth;
        ++cleanupCalls;
    }
    ::WSACleanup();
    return 0;
}

int32_t WsStartupDepth() {
    std::lock_guard<std::mutex> guard(libraryLock);
    return startupDepth;
}
int32_t WsStartupCalls() {
    std::lock_guard<std::mutex> guard(libraryLock);
    return startupCalls;
}
int32_t WsCleanupCalls() {
    std::lock_guard<std::mutex> guard(libraryLock);
    return cleanupCalls;
}

int32_t WsGetLastError() {
    return ::WSAGetLastError();
}
void WsSetLastError(int32_t code) {
    ::WSASetLastError(code);
}

int32_t WsErrorFromErrno(int e) {
    switch (e) {
    case 0:
        return 0;
    case EINTR:
        return WsError::Intr;
    case EACCES:
    case EPERM:
        return WsError::Acces;
    case EFAULT:
        return WsError::Fault;
    case EINVAL:
        return WsError::Inval;
    case EMFILE:
    case ENFILE:
        return WsError::MFile;
    case EAGAIN:
    case EWOULDBLOCK:
    case EINPROGRESS:
        return WsError::WouldBlock;
    case EBADF:
    case ENOTSOCK:
        return WsError::NotSock;
    case EMSGSIZE:
        return WsError::MsgSize;
    case EADDRINUSE:
        return WsError::AddrInUse;
    case EADDRNOTAVAIL:
        return WsError::AddrNotAvail;
    case ENETUNREACH:
        return WsError::NetUnreach;
    case ECONNABORTED:
        return WsError::ConnAborted;
    case ECONNRESET:
        return WsError::ConnReset;
    case ENOBUFS:
    case ENOMEM:
        return WsError::NoBufs;
    case ENOTCONN:
        return WsError::NotConn;
    case EPIPE:
        return WsError::Shutdown;
    case ETIMEDOUT:
        return WsError::TimedOut;
    case ECONNREFUSED:
        return WsError::ConnRefused;
    case EHOSTUNREACH:
        return WsError::HostUnreach;
    default:
        return 10107; // system call failure
    }
}

int32_t WsErrorFromResolver(int g) {
    // getaddrinfo answers with the library's own numbers here (EAI_NONAME is
    // 11001, EAI_AGAIN 11002, EAI_FAIL 11003, EAI_NODATA 11004).
    if (g == 0 || (g >= WsError::HostNotFound && g <= WsError::NoData))
        return g;
    if (g == EAI_MEMORY)
        return WsError::NoBufs;
    return WsError::NoRecovery;
}

int32_t WsSocket(int32_t family, int32_t type, int32_t protocol) {
    if (!Started())
        return NotStarted();
    if (family != AF_INET || (type != SOCK_STREAM && type != SOCK_DGRAM))
        return FailWith(family != AF_INET ? WsError::AfNoSupport : WsError::SocktNoSupport);
    const SOCKET s = ::socket(AF_INET, type, protocol);
    if (s == INVALID_SOCKET)
        return Fail();
    // Socket handles are small values, like every kernel handle: they fit
    // the 32 bits of the classic interface.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // A refusal leaves the system's size, which works, only slower.
    if (type == SOCK_STREAM && UnderWine())
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&WineReceiveBuffer),
                     sizeof WineReceiveBuffer);
    return static_cast<int32_t>(s);
}

int32_t WsConnect(int32_t s, const WsAddress& to) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa = ToSockaddr(to);
    if (::connect(Handle(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        return 0;
    // A registered socket reports these through the connect notification,
    // even where the system answers at once (Wine does, for a network it
    // cannot reach).
    const int32_t e = ::WSAGetLastError();
    const bool failsAtOnce =
        e == WsError::ConnRefused || e == WsError::NetUnreach || e == WsError::HostUnreach;
    if (failsAtOnce && AsyncSelectHooks::ConnectFailedAtOnce(s, e))
        return FailWith(WsError::WouldBlock);
    return FailWith(e);
}

int32_t WsBind(int32_t s, const WsAddress& local) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa = ToSockaddr(local);
    if (::bind(Handle(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        return Fail();
    return 0;
}

int32_t WsListen(int32_t s, int32_t backlog) {
    if (!Started())
        return NotStarted();
    return ::listen(Handle(s), backlog) == 0 ? 0 : Fail();
}

int32_t WsAccept(int32_t s, WsAddress* peer) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    int len = sizeof sa;
    const SOCKET accepted = ::accept(Handle(s), reinterpret_cast<sockaddr*>(&sa), &len);
    if (accepted == INVALID_SOCKET)
        return Fail();
    ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    if (peer != nullptr)
        *peer = FromSockaddr(sa);
    return static_cast<int32_t>(accepted);
}

int32_t WsSend(int32_t s, const char* data, int32_t length, int32_t flags) {
    if (!Started())
        return NotStarted();
    const int n = ::send(Handle(s), data, length < 0 ? 0 : length, flags);
    return n == SOCKET_ERROR ? Fail() : n;
}

int32_t WsSendTo(int32_t s, const char* data, int32_t length, int32_t flags, const WsAddress& to) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa = ToSockaddr(to);
    const int n = ::sendto(Handle(s), data, length < 0 ? 0 : length, flags,
                           reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return n == SOCKET_ERROR ? Fail() : n;
}

int32_t WsRecv(int32_t s, char* buffer, int32_t length, int32_t flags) {
    if (!Started())
        return NotStarted();
    const int n = ::recv(Handle(s), buffer, length < 0 ? 0 : length, flags);
    return n == SOCKET_ERROR ? Fail() : n;
}

int32_t WsRecvFrom(int32_t s, char* buffer, int32_t length, int32_t flags, WsAddress* from) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    int len = sizeof sa;
    const int n = ::recvfrom(Handle(s), buffer, length < 0 ? 0 : length, flags,
                             reinterpret_cast<sockaddr*>(&sa), &len);
    if (n == SOCKET_ERROR)
        return Fail();
    if (from != nullptr)
        *from = FromSockaddr(sa);
    return n;
}

int32_t WsShutdown(int32_t s, int32_t how) {
    if (!Started())
        return NotStarted();
    return ::shutdown(Handle(s), how) == 0 ? 0 : Fail();
}

int32_t WsCloseSocket(int32_t s) {
    if (!Started())
        return NotStarted();
    int type = 0;
    int len = sizeof type;
    if (::getsockopt(Handle(s), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len) != 0)
        return FailWith(WsError::NotSock);
    AsyncSelectHooks::Closing(s);
    return ::closesocket(Handle(s)) == 0 ? 0 : Fail();
}

int32_t WsGetSockName(int32_t s, WsAddress& local) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    int len = sizeof sa;
    if (::getsockname(Handle(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return Fail();
    local = FromSockaddr(sa);
    return 0;
}

int32_t WsGetPeerName(int32_t s, WsAddress& peer) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    int len = sizeof sa;
    if (::getpeername(Handle(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return Fail();
    peer = FromSockaddr(sa);
    return 0;
}

// The option levels and names are the library's own numbers.
int32_t WsGetSockOpt(int32_t s, int32_t level, int32_t name, int32_t& value) {
    if (!Started())
        return NotStarted();
    if (!KnownOption(level, name))
        return FailWith(WsError::NoProtoOpt);
    int v = 0;
    int len = sizeof v;
    if (::getsockopt(Handle(s), level, name, reinterpret_cast<char*>(&v), &len) != 0)
        return Fail();
    value = v;
    return 0;
}

int32_t WsSetSockOpt(int32_t s, int32_t level, int32_t name, int32_t value) {
    if (!Started())
        return NotStarted();
    if (!KnownOption(level, name) || name == WsSoType)
        return FailWith(WsError::NoProtoOpt);
    int v = value;
    if (::setsockopt(Handle(s), level, name, reinterpret_cast<const char*>(&v), sizeof v) != 0)
        return Fail();
    return 0;
}

uint32_t WsInetAddr(const std::string& text) {
    if (text.find('\0') != std::string::npos)
        return WsInaddrNone;
    return ::inet_addr(text.c_str());
}

std::string WsInetNtoa(uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    const char* text = ::inet_ntoa(a);
    return text != nullptr ? text : "";
}

uint16_t WsHtons(uint16_t value) {
    return htons(value);
}
uint16_t WsNtohs(uint16_t value) {
    return ntohs(value);
}

bool WsGetHostByAddr(uint32_t address, std::string& officialName) {
    return LookUpHostAddress(address, officialName);
}

} // namespace ostrak

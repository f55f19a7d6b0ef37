#include "winsock/SocketApi.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "winsock/AsyncSelectHooks.h"
#include "winsock/HostLookup.h"

namespace ostrak {

namespace {

std::mutex libraryLock;
int32_t startupDepth = 0;
int32_t startupCalls = 0;
int32_t cleanupCalls = 0;

thread_local int32_t lastError = 0;

bool Started() {
    std::lock_guard<std::mutex> guard(libraryLock);
    return startupDepth > 0;
}

// Returns -1 after recording the error of errno.
int32_t FailErrno() {
    lastError = WsErrorFromErrno(errno);
    return WsSocketError;
}

int32_t NotStarted() {
    lastError = WsError::NotInitialised;
    return WsSocketError;
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

bool MapOption(int32_t level, int32_t name, int& osLevel, int& osName) {
    if (level != WsSolSocket)
        return false;
    osLevel = SOL_SOCKET;
    switch (name) {
    case WsSoBroadcast:
        osName = SO_BROADCAST;
        return true;
    case WsSoRcvBuf:
        osName = SO_RCVBUF;
        return true;
    case WsSoType:
        osName = SO_TYPE;
        return true;
    default:
        return false;
    }
}

} // namespace

int32_t WsStartup(uint16_t versionRequested, WsLibraryInfo& info) {
    // Versions below 1.1 are not offered; anything from 1.1 gets 1.1.
    uint8_t major = versionRequested & 0xFF, minor = versionRequested >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return WsError::VerNotSupported;
    std::lock_guard<std::mutex> guard(libraryLock);
    ++startupDepth;
    ++startupCalls;
    info.Version = 0x0101;
    info.HighVersion = 0x0101;
    info.MaxSockets = 32767;
    info.MaxUdpDg = WsMaxUdpDatagram;
    return 0;
}

int32_t WsCleanup() {
    std::lock_guard<std::mutex> guard(libraryLock);
    if (startupDepth == 0) {
        lastError = WsError::NotInitialised;
        return WsSocketError;
    }
    --startupDepth;
    ++cleanupCalls;
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
    return lastError;
}
void WsSetLastError(int32_t code) {
    lastError = code;
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
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS:
        return WsError::WouldBlock;
    case EALREADY:
        return WsError::Already;
    case EBADF:
    case ENOTSOCK:
        return WsError::NotSock;
    case EDESTADDRREQ:
        return WsError::DestAddrReq;
    case EMSGSIZE:
        return WsError::MsgSize;
    case EPROTOTYPE:
        return WsError::ProtoType;
    case ENOPROTOOPT:
        return WsError::NoProtoOpt;
    case EPROTONOSUPPORT:
        return WsError::ProtoNoSupport;
    case ESOCKTNOSUPPORT:
        return WsError::SocktNoSupport;
    case EOPNOTSUPP:
        return WsError::OpNotSupp;
    case EAFNOSUPPORT:
        return WsError::AfNoSupport;
    case EADDRINUSE:
        return WsError::AddrInUse;
    case EADDRNOTAVAIL:
        return WsError::AddrNotAvail;
    case ENETDOWN:
        return WsError::NetDown;
    case ENETUNREACH:
        return WsError::NetUnreach;
    case ENETRESET:
        return WsError::NetReset;
    case ECONNABORTED:
        return WsError::ConnAborted;
    case ECONNRESET:
        return WsError::ConnReset;
    case ENOBUFS:
    case ENOMEM:
        return WsError::NoBufs;
    case EISCONN:
        return WsError::IsConn;
    case ENOTCONN:
        return WsError::NotConn;
    case EPIPE:
    case ESHUTDOWN:
        return WsError::Shutdown;
    case ETIMEDOUT:
        return WsError::TimedOut;
    case ECONNREFUSED:
        return WsError::ConnRefused;
    case EHOSTDOWN:
        return WsError::HostDown;
    case EHOSTUNREACH:
        return WsError::HostUnreach;
    default:
        return 10107; // system call failure
    }
}

int32_t WsErrorFromResolver(int g) {
    switch (g) {
    case 0:
        return 0;
    case EAI_NONAME:
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return WsError::HostNotFound;
    case EAI_AGAIN:
        return WsError::TryAgain;
    case EAI_FAIL:
        return WsError::NoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return WsError::NoData;
    case EAI_MEMORY:
        return WsError::NoBufs;
    default:
        return WsError::NoRecovery;
    }
}

int32_t WsSocket(int32_t family, int32_t type, int32_t protocol) {
    if (!Started())
        return NotStarted();
    int osType = type == 1 ? SOCK_STREAM : type == 2 ? SOCK_DGRAM : -1;
    if (family != 2 || osType < 0) {
        lastError = family != 2 ? WsError::AfNoSupport : WsError::SocktNoSupport;
        return WsInvalidSocket;
    }
    int fd = ::socket(AF_INET, osType | SOCK_CLOEXEC, protocol);
    if (fd < 0)
        return FailErrno();
    return fd;
}

int32_t WsConnect(int32_t s, const WsAddress& to) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa = ToSockaddr(to);
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        AsyncSelectHooks::ConnectedAtOnce(s);
        return 0;
    }
    int e = errno;
    if (e == EINPROGRESS)
        AsyncSelectHooks::ConnectPending(s);
    // A registered socket is non-blocking, and its connect reports failure
    // through the connect notification, as the Windows sockets library does
    // for these errors that Linux may return at once.
    const bool failsAtOnce = e == ECONNREFUSED || e == ENETUNREACH || e == EHOSTUNREACH;
    if (failsAtOnce && AsyncSelectHooks::ConnectFailedAtOnce(s, WsErrorFromErrno(e))) {
        lastError = WsError::WouldBlock;
        return WsSocketError;
    }
    errno = e;
    return FailErrno();
}

int32_t WsBind(int32_t s, const WsAddress& local) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa = ToSockaddr(local);
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        return FailErrno();
    return 0;
}

int32_t WsListen(int32_t s, int32_t backlog) {
    if (!Started())
        return NotStarted();
    if (::listen(s, backlog) != 0)
        return FailErrno();
    AsyncSelectHooks::Listening(s);
    return 0;
}

int32_t WsAccept(int32_t s, WsAddress* peer) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int fd = ::accept4(s, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
    int e = errno;
    AsyncSelectHooks::Accepted(s, fd < 0 &&
                                      (e == EMFILE || e == ENFILE || e == ENOBUFS || e == ENOMEM));
    if (fd < 0) {
        errno = e;
        return FailErrno();
    }
    if (peer != nullptr)
        *peer = FromSockaddr(sa);
    return fd;
}

int32_t WsSend(int32_t s, const char* data, int32_t length, int32_t flags) {
    if (!Started())
        return NotStarted();
    ssize_t n = ::send(s, data, static_cast<size_t>(length < 0 ? 0 : length), flags | MSG_NOSIGNAL);
    int e = errno;
    if ((n < 0 && (e == EAGAIN || e == EWOULDBLOCK)) || (n >= 0 && n < length))
        AsyncSelectHooks::SendBlocked(s);
    if (n < 0) {
        errno = e;
        return FailErrno();
    }
    return static_cast<int32_t>(n);
}

int32_t WsSendTo(int32_t s, const char* data, int32_t length, int32_t flags, const WsAddress& to) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa = ToSockaddr(to);
    ssize_t n = ::sendto(s, data, static_cast<size_t>(length < 0 ? 0 : length),
                         flags | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int e = errno;
    if (n < 0 && (e == EAGAIN || e == EWOULDBLOCK))
        AsyncSelectHooks::SendBlocked(s);
    if (n < 0) {
        errno = e;
        return FailErrno();
    }
    return static_cast<int32_t>(n);
}

int32_t WsRecv(int32_t s, char* buffer, int32_t length, int32_t flags) {
    if (!Started())
        return NotStarted();
    ssize_t n = ::recv(s, buffer, static_cast<size_t>(length < 0 ? 0 : length), flags);
    int e = errno;
    AsyncSelectHooks::Received(s, length, static_cast<long>(n), e);
    if (n < 0) {
        errno = e;
        return FailErrno();
    }
    return static_cast<int32_t>(n);
}

int32_t WsRecvFrom(int32_t s, char* buffer, int32_t length, int32_t flags, WsAddress* from) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n = ::recvfrom(s, buffer, static_cast<size_t>(length < 0 ? 0 : length), flags,
                           reinterpret_cast<sockaddr*>(&sa), &len);
    int e = errno;
    AsyncSelectHooks::Received(s, length, static_cast<long>(n), e);
    if (n < 0) {
        errno = e;
        return FailErrno();
    }
    if (from != nullptr)
        *from = FromSockaddr(sa);
    return static_cast<int32_t>(n);
}

int32_t WsShutdown(int32_t s, int32_t how) {
    if (!Started())
        return NotStarted();
    int osHow = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(s, osHow) != 0)
        return FailErrno();
    return 0;
}

int32_t WsCloseSocket(int32_t s) {
    if (!Started())
        return NotStarted();
    // Only sockets may be closed here: another kind of fd with this number
    // (or none) is not ours to close.
    int type = 0;
    socklen_t len = sizeof type;
    if (::getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &len) != 0) {
        lastError = WsError::NotSock;
        return WsSocketError;
    }
    AsyncSelectHooks::Closing(s);
    if (::close(s) != 0)
        return FailErrno();
    return 0;
}

int32_t WsGetSockName(int32_t s, WsAddress& local) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return FailErrno();
    local = FromSockaddr(sa);
    return 0;
}

int32_t WsGetPeerName(int32_t s, WsAddress& peer) {
    if (!Started())
        return NotStarted();
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return FailErrno();
    peer = FromSockaddr(sa);
    return 0;
}

int32_t WsGetSockOpt(int32_t s, int32_t level, int32_t name, int32_t& value) {
    if (!Started())
        return NotStarted();
    int osLevel = 0, osName = 0;
    if (!MapOption(level, name, osLevel, osName)) {
        lastError = WsError::NoProtoOpt;
        return WsSocketError;
    }
    int v = 0;
    socklen_t len = sizeof v;
    if (::getsockopt(s, osLevel, osName, &v, &len) != 0)
        return FailErrno();
    if (osName == SO_TYPE)
        v = v == SOCK_STREAM ? 1 : v == SOCK_DGRAM ? 2 : v;
    value = v;
    return 0;
}

int32_t WsSetSockOpt(int32_t s, int32_t level, int32_t name, int32_t value) {
    if (!Started())
        return NotStarted();
    int osLevel = 0, osName = 0;
    if (!MapOption(level, name, osLevel, osName) || osName == SO_TYPE) {
        lastError = WsError::NoProtoOpt;
        return WsSocketError;
    }
    int v = value;
    if (::setsockopt(s, osLevel, osName, &v, sizeof v) != 0)
        return FailErrno();
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
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
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

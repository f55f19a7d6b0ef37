#include "support/LoopbackPeer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/EventLoop.h"

namespace ostrak {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The peers' own use of the library, apart from the code under test's.
const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}();

SOCKET S(int fd) {
    return static_cast<SOCKET>(static_cast<uint32_t>(fd));
}

bool WaitReadable(int fd, int ms) {
    WSAPOLLFD p{S(fd), POLLRDNORM, 0};
    return ::WSAPoll(&p, 1, ms) > 0;
}

// A receive that does not wait: -1 when nothing is there yet.
int RecvNow(int fd, char* buffer, size_t n) {
    if (!WaitReadable(fd, 0)) {
        ::WSASetLastError(WSAEWOULDBLOCK);
        return -1;
    }
    return ::recv(S(fd), buffer, static_cast<int>(n), 0);
}

int NewSocket(int type) {
    (void)started;
    return static_cast<int>(::socket(AF_INET, type, 0));
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

uint16_t BoundPort(int fd) {
    sockaddr_in a{};
    int len = sizeof a;
    ::getsockname(S(fd), reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

} // namespace

LoopbackConnection::~LoopbackConnection() {
    Close();
}

void LoopbackConnection::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = ::send(S(Fd), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        ASSERT_GT(n, 0) << "peer send failed: " << ::WSAGetLastError();
        done += static_cast<size_t>(n);
    }
}

std::string LoopbackConnection::ReadAvailable(size_t max) {
    std::string out(max, '\0');
    const int n = RecvNow(Fd, out.data(), max);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string LoopbackConnection::ReadExactly(size_t n, int ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::string out;
    while (out.size() < n && WaitReadable(Fd, RemainingMs(deadline))) {
        std::string chunk(n - out.size(), '\0');
        const int got = RecvNow(Fd, chunk.data(), chunk.size());
        if (got <= 0)
            break;
        out.append(chunk.data(), static_cast<size_t>(got));
    }
    return out;
}

bool LoopbackConnection::WaitForClose(int ms, std::string* before) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (WaitReadable(Fd, RemainingMs(deadline))) {
        char buf[65536];
        const int got = RecvNow(Fd, buf, sizeof buf);
        if (got == 0 || (got < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK))
            return true;
        if (got > 0 && before != nullptr)
            before->append(buf, static_cast<size_t>(got));
    }
    return false;
}

void LoopbackConnection::ShutdownWrite() {
    ::shutdown(S(Fd), SD_SEND);
}

void LoopbackConnection::Close() {
    if (Fd >= 0)
        ::closesocket(S(Fd));
    Fd = -1;
}

void LoopbackConnection::Reset() {
    linger l{1, 0};
    ::setsockopt(S(Fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    Close();
}

void LoopbackConnection::SetReceiveBuffer(int bytes) {
    ::setsockopt(S(Fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

LoopbackListener::LoopbackListener() {
    Fd = NewSocket(SOCK_STREAM);
    sockaddr_in a = Loopback(0);
    if (::bind(S(Fd), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(S(Fd), 16) != 0)
        ADD_FAILURE() << "loopback listener failed: " << ::WSAGetLastError();
    Port_ = BoundPort(Fd);
}

LoopbackListener::~LoopbackListener() {
    ::closesocket(S(Fd));
}

std::unique_ptr<LoopbackConnection> LoopbackListener::Accept(int ms, int receiveBuffer) {
    if (receiveBuffer > 0)
        ::setsockopt(S(Fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                     sizeof receiveBuffer);
    if (!WaitReadable(Fd, ms))
        return nullptr;
    const SOCKET accepted = ::accept(S(Fd), nullptr, nullptr);
    const int fd = accepted == INVALID_SOCKET ? -1 : static_cast<int>(accepted);
    return fd < 0 ? nullptr : std::make_unique<LoopbackConnection>(fd);
}

std::unique_ptr<LoopbackConnection> ConnectLoopback(uint16_t port) {
    const int fd = NewSocket(SOCK_STREAM);
    sockaddr_in a = Loopback(port);
    if (::connect(S(fd), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::closesocket(S(fd));
        return nullptr;
    }
    return std::make_unique<LoopbackConnection>(fd);
}

LoopbackUdp::LoopbackUdp() {
    Fd = NewSocket(SOCK_DGRAM);
    sockaddr_in a = Loopback(0);
    if (::bind(S(Fd), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        ADD_FAILURE() << "loopback udp failed: " << ::WSAGetLastError();
    Port_ = BoundPort(Fd);
}

LoopbackUdp::~LoopbackUdp() {
    ::closesocket(S(Fd));
}

void LoopbackUdp::SendTo(uint16_t port, const std::string& bytes) {
    sockaddr_in a = Loopback(port);
    const int n = ::sendto(S(Fd), bytes.data(), static_cast<int>(bytes.size()), 0,
                           reinterpret_cast<sockaddr*>(&a), sizeof a);
    EXPECT_EQ(n, static_cast<int>(bytes.size()));
}

bool LoopbackUdp::Receive(std::string& bytes, uint16_t* fromPort, int ms) {
    if (!WaitReadable(Fd, ms))
        return false;
    char buf[65536];
    sockaddr_in from{};
    int len = sizeof from;
    const int n = ::recvfrom(S(Fd), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0)
        return false;
    bytes.assign(buf, static_cast<size_t>(n));
    if (fromPort != nullptr)
        *fromPort = ntohs(from.sin_port);
    return true;
}

uint16_t UnusedLoopbackPort() {
    const int fd = NewSocket(SOCK_STREAM);
    sockaddr_in a = Loopback(0);
    ::bind(S(fd), reinterpret_cast<sockaddr*>(&a), sizeof a);
    uint16_t port = BoundPort(fd);
    ::closesocket(S(fd));
    return port;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        int left = RemainingMs(deadline);
        if (left == 0)
            return done();
        WaitForEvents(static_cast<uint32_t>(left));
    }
    return true;
}

bool PollUntil(const std::function<bool()>& done, int ms, int stepMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        int left = RemainingMs(deadline);
        if (left == 0)
            return done();
        WaitForEvents(static_cast<uint32_t>(std::min(left, stepMs)));
    }
    return true;
}

void RunEventsFor(int ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (int left = ms; left > 0; left = RemainingMs(deadline))
        WaitForEvents(static_cast<uint32_t>(left));
}

} // namespace ostrak

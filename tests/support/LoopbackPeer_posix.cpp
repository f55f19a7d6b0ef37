#include "support/LoopbackPeer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/EventLoop.h"

namespace ostrak {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WaitReadable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, ms);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
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
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

} // namespace

LoopbackConnection::~LoopbackConnection() {
    Close();
}

void LoopbackConnection::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(Fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        ASSERT_GT(n, 0) << "peer send failed: " << errno;
        done += static_cast<size_t>(n);
    }
}

std::string LoopbackConnection::ReadAvailable(size_t max) {
    std::string out(max, '\0');
    ssize_t n = ::recv(Fd, out.data(), max, MSG_DONTWAIT);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string LoopbackConnection::ReadExactly(size_t n, int ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::string out;
    while (out.size() < n && WaitReadable(Fd, RemainingMs(deadline))) {
        std::string chunk(n - out.size(), '\0');
        ssize_t got = ::recv(Fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
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
        ssize_t got = ::recv(Fd, buf, sizeof buf, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            return true;
        if (got > 0 && before != nullptr)
            before->append(buf, static_cast<size_t>(got));
    }
    return false;
}

void LoopbackConnection::ShutdownWrite() {
    ::shutdown(Fd, SHUT_WR);
}

void LoopbackConnection::Close() {
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
}

void LoopbackConnection::Reset() {
    linger l{1, 0};
    ::setsockopt(Fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
}

void LoopbackConnection::SetReceiveBuffer(int bytes) {
    ::setsockopt(Fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

LoopbackListener::LoopbackListener() {
    Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    if (::bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(Fd, 16) != 0)
        ADD_FAILURE() << "loopback listener failed: " << errno;
    Port_ = BoundPort(Fd);
}

LoopbackListener::~LoopbackListener() {
    ::close(Fd);
}

std::unique_ptr<LoopbackConnection> LoopbackListener::Accept(int ms, int receiveBuffer) {
    if (receiveBuffer > 0)
        ::setsockopt(Fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (!WaitReadable(Fd, ms))
        return nullptr;
    int fd = ::accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? nullptr : std::make_unique<LoopbackConnection>(fd);
}

std::unique_ptr<LoopbackConnection> ConnectLoopback(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<LoopbackConnection>(fd);
}

LoopbackUdp::LoopbackUdp() {
    Fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    if (::bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        ADD_FAILURE() << "loopback udp failed: " << errno;
    Port_ = BoundPort(Fd);
}

LoopbackUdp::~LoopbackUdp() {
    ::close(Fd);
}

void LoopbackUdp::SendTo(uint16_t port, const std::string& bytes) {
    sockaddr_in a = Loopback(port);
    ssize_t n =
        ::sendto(Fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    EXPECT_EQ(n, static_cast<ssize_t>(bytes.size()));
}

bool LoopbackUdp::Receive(std::string& bytes, uint16_t* fromPort, int ms) {
    if (!WaitReadable(Fd, ms))
        return false;
    char buf[65536];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n =
        ::recvfrom(Fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0)
        return false;
    bytes.assign(buf, static_cast<size_t>(n));
    if (fromPort != nullptr)
        *fromPort = ntohs(from.sin_port);
    return true;
}

uint16_t UnusedLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    uint16_t port = BoundPort(fd);
    ::close(fd);
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

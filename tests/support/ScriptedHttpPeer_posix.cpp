#include "support/ScriptedHttpPeer.h"

#include "platform/TickCount.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrak {

namespace {

int ListenLoopback(int backlog, int port, int& boundPort) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, backlog) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort = ntohs(addr.sin_port);
    return fd;
}

void SendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace

ScriptedHttpPeer::ScriptedHttpPeer(std::vector<Script> scripts, int port)
    : Scripts_(std::move(scripts)) {
    if (Scripts_.empty())
        Scripts_.push_back({Close()});
    Listener_ = ListenLoopback(8, port, Port_);
    if (::pipe2(StopPipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    Thread_ = std::thread([this] { Run(); });
}

ScriptedHttpPeer::~ScriptedHttpPeer() {
    Stopping_.store(true);
    char b = 0;
    (void)!::write(StopPipe_[1], &b, 1);
    Thread_.join();
    ::close(Listener_);
    ::close(StopPipe_[0]);
    ::close(StopPipe_[1]);
}

std::vector<std::string> ScriptedHttpPeer::Requests() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Requests_;
}

std::vector<uint32_t> ScriptedHttpPeer::AcceptTicks() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return AcceptTicks_;
}

bool ScriptedHttpPeer::WaitReadable(int fd, int ms) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {StopPipe_[0], POLLIN, 0}};
    for (;;) {
        int n = ::poll(fds, 2, ms);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || (fds[1].revents != 0))
            return false;
        return true;
    }
}

void ScriptedHttpPeer::Run() {
    while (!Stopping_.load()) {
        if (!WaitReadable(Listener_, -1))
            return;
        int fd = ::accept4(Listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // Every Send step leaves as a segment of its own.
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int index = Connections_.load();
        {
            std::lock_guard<std::mutex> lock(Mutex_);
            AcceptTicks_.push_back(TickCount());
        }
        Connections_.store(index + 1);
        const Script& script = Scripts_[std::min<size_t>(index, Scripts_.size() - 1)];
        Play(fd, script);
    }
}

void ScriptedHttpPeer::Play(int fd, const Script& script) {
    bool reset = false;
    for (const Step& step : script) {
        if (Stopping_.load())
            break;
        if (step.What == Step::ReadRequest) {
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(fd, 5000)) {
                ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, static_cast<size_t>(n));
            }
            std::lock_guard<std::mutex> lock(Mutex_);
            Requests_.push_back(request);
        } else if (step.What == Step::Send) {
            SendAll(fd, step.Bytes);
        } else if (step.What == Step::Sleep) {
            pollfd stop{StopPipe_[0], POLLIN, 0};
            ::poll(&stop, 1, step.Ms);
        } else if (step.What == Step::Close) {
            break;
        } else if (step.What == Step::Reset) {
            linger lg{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
            reset = true;
            break;
        } else if (step.What == Step::WaitForClientClose) {
            char buf[4096];
            while (WaitReadable(fd, -1) && ::recv(fd, buf, sizeof buf, 0) > 0) {
            }
        } else if (step.What == Step::WaitForRelease) {
            while (!Released_.load() && !Stopping_.load()) {
                pollfd stop{StopPipe_[0], POLLIN, 0};
                ::poll(&stop, 1, 5);
            }
        }
    }
    (void)reset;
    ::close(fd);
}

UnansweringPort::UnansweringPort() {
    Listener_ = ListenLoopback(0, 0, Port_);
    // With a backlog of 0 one waiting connection fills the queue; further
    // connection requests are dropped by the kernel and never answered.
    Filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(Port_));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(Filler_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("cannot fill the accept queue");
}

UnansweringPort::~UnansweringPort() {
    ::close(Filler_);
    ::close(Listener_);
}

int FreeLoopbackPort() {
    int port = 0;
    int fd = ListenLoopback(1, 0, port);
    ::close(fd);
    return port;
}

bool LoopbackPortAccepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool accepted = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return accepted;
}

} // namespace ostrak

#include "support/ScriptedHttpPeer.h"

#include "platform/TickCount.h"

#include <stdexcept>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace ostrak {

namespace {

// The peers' own use of the library, apart from the code under test's.
const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}();

SOCKET S(int fd) {
    return static_cast<SOCKET>(static_cast<uint32_t>(fd));
}

void CloseSocket(int fd) {
    if (fd >= 0)
        ::closesocket(S(fd));
}

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

int ListenLoopback(int backlog, int port, int& boundPort) {
    (void)started;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        throw std::runtime_error("socket failed");
    const int fd = static_cast<int>(s);
    sockaddr_in addr = LoopbackAddress(port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(s, backlog) != 0) {
        CloseSocket(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    int len = sizeof addr;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort = ntohs(addr.sin_port);
    return fd;
}

void SendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = ::send(S(fd), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
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
    // The stop signal: a datagram from one loopback socket to the other,
    // which the peer's waits watch beside the connection.
    for (int& end : StopPipe_)
        end = static_cast<int>(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in stop = LoopbackAddress(0);
    int len = sizeof stop;
    if (::bind(S(StopPipe_[0]), reinterpret_cast<sockaddr*>(&stop), sizeof stop) != 0 ||
        ::getsockname(S(StopPipe_[0]), reinterpret_cast<sockaddr*>(&stop), &len) != 0 ||
        ::connect(S(StopPipe_[1]), reinterpret_cast<sockaddr*>(&stop), sizeof stop) != 0)
        throw std::runtime_error("cannot make the stop sockets");
    Thread_ = std::thread([this] { Run(); });
}

ScriptedHttpPeer::~ScriptedHttpPeer() {
    Stopping_.store(true);
    char b = 0;
    ::send(S(StopPipe_[1]), &b, 1, 0);
    Thread_.join();
    CloseSocket(Listener_);
    CloseSocket(StopPipe_[0]);
    CloseSocket(StopPipe_[1]);
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
    WSAPOLLFD fds[2] = {{S(fd), POLLRDNORM, 0}, {S(StopPipe_[0]), POLLRDNORM, 0}};
    const int n = ::WSAPoll(fds, 2, ms);
    return n > 0 && fds[1].revents == 0;
}

void ScriptedHttpPeer::Run() {
    while (!Stopping_.load()) {
        if (!WaitReadable(Listener_, -1))
            return;
        const SOCKET accepted = ::accept(S(Listener_), nullptr, nullptr);
        if (accepted == INVALID_SOCKET)
            continue;
        const int fd = static_cast<int>(accepted);
        // Every Send step leaves as a segment of its own.
        const BOOL one = TRUE;
        ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                     sizeof one);
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
                const int n = ::recv(S(fd), buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, static_cast<size_t>(n));
            }
            std::lock_guard<std::mutex> lock(Mutex_);
            Requests_.push_back(request);
        } else if (step.What == Step::Send) {
            SendAll(fd, step.Bytes);
        } else if (step.What == Step::Sleep) {
            WSAPOLLFD stop{S(StopPipe_[0]), POLLRDNORM, 0};
            ::WSAPoll(&stop, 1, step.Ms);
        } else if (step.What == Step::Close) {
            break;
        } else if (step.What == Step::Reset) {
            linger lg{1, 0};
            ::setsockopt(S(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lg),
                         sizeof lg);
            reset = true;
            break;
        } else if (step.What == Step::WaitForClientClose) {
            char buf[4096];
            while (WaitReadable(fd, -1) && ::recv(S(fd), buf, sizeof buf, 0) > 0) {
            }
        } else if (step.What == Step::WaitForRelease) {
            while (!Released_.load() && !Stopping_.load()) {
                WSAPOLLFD stop{S(StopPipe_[0]), POLLRDNORM, 0};
                ::WSAPoll(&stop, 1, 5);
            }
        }
    }
    (void)reset;
    CloseSocket(fd);
}

UnansweringPort::UnansweringPort() {
    Listener_ = ListenLoopback(0, 0, Port_);
    // With a backlog of 0 one waiting connection fills the queue; further
    // connection requests are dropped by the kernel and never answered.
    Filler_ = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr = LoopbackAddress(Port_);
    if (::connect(S(Filler_), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("cannot fill the accept queue");
}

UnansweringPort::~UnansweringPort() {
    CloseSocket(Filler_);
    CloseSocket(Listener_);
}

int FreeLoopbackPort() {
    int port = 0;
    int fd = ListenLoopback(1, 0, port);
    CloseSocket(fd);
    return port;
}

bool LoopbackPortAccepts(int port) {
    (void)started;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = LoopbackAddress(port);
    const bool accepted = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::closesocket(s);
    return accepted;
}

} // namespace ostrak

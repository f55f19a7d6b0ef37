#include "faults/FaultServer.h"

#include "support/TempDir.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrak {

namespace {

// How long one endless answer may run at most: a client that never gives up
// is a failure of the case, not a full disk.
constexpr int64_t EndlessLimit = int64_t{1} << 30;

std::string Header(int64_t length) {
    std::string h = "HTTP/1.0 200 OK\r\nServer: fault\r\n";
    if (length >= 0)
        h += "Content-Length: " + std::to_string(length) + "\r\n";
    return h + "\r\n";
}

} // namespace

FaultServer::FaultServer(std::string folder) : Folder_(std::move(folder)) {
    Listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (Listener_ < 0 || ::bind(Listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(Listener_, 8) != 0 ||
        ::getsockname(Listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(StopPipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("FaultServer cannot listen on 127.0.0.1");
    Port_ = ntohs(addr.sin_port);
    Thread_ = std::thread([this] { Run(); });
}

FaultServer::~FaultServer() {
    Stopping_.store(true);
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        Allowed_.notify_all();
    }
    char b = 0;
    (void)!::write(StopPipe_[1], &b, 1);
    Thread_.join();
    ::close(Listener_);
    ::close(StopPipe_[0]);
    ::close(StopPipe_[1]);
}

void FaultServer::SetFault(const std::string& path, Fault fault, int times) {
    SetFaults(path, std::vector<Fault>(static_cast<size_t>(times), fault));
}

void FaultServer::SetFaults(const std::string& path, const std::vector<Fault>& faults) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Faults_[path] = faults;
}

void FaultServer::Allow(int n) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Allowance_ += n;
    Allowed_.notify_all();
}

std::vector<std::string> FaultServer::Requests() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Requests_;
}

bool FaultServer::TakeAllowance() {
    std::unique_lock<std::mutex> lock(Mutex_);
    Allowed_.wait(lock, [&] { return Allowance_ > 0 || Stopping_.load(); });
    if (Stopping_.load())
        return false;
    --Allowance_;
    return true;
}

void FaultServer::Run() {
    while (!Stopping_.load()) {
        pollfd fds[2] = {{Listener_, POLLIN, 0}, {StopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        int fd = ::accept4(Listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        Serve(fd);
        ::close(fd);
    }
}

bool FaultServer::Send(int fd, const std::string& bytes) {
    size_t done = 0;
    // A client that neither reads nor closes for this long is given up.
    int blockedMs = 0;
    while (done < bytes.size()) {
        if (Stopping_.load() || blockedMs > 10000)
            return false;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {StopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, 100) <= 0 || fds[1].revents != 0) {
            blockedMs += 100;
            continue;
        }
        blockedMs = 0;
        ssize_t n =
            ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
        BytesSent_ += n;
    }
    return true;
}

void FaultServer::HoldOpen(int fd) {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {StopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        char sink[4096];
        if (fds[0].revents != 0 && ::recv(fd, sink, sizeof sink, MSG_DONTWAIT) <= 0)
            return;
    }
}

void FaultServer::Serve(int fd) {
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {StopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, 5000) <= 0 || fds[1].revents != 0)
            return;
        char buffer[4096];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, static_cast<size_t>(n));
    }
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    std::optional<Fault> fault;
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        Requests_.push_back(path);
        auto it = Faults_.find(path);
        if (it != Faults_.end() && !it->second.empty()) {
            fault = it->second.front();
            it->second.erase(it->second.begin());
        }
    }
    std::string body;
    const std::string name = path.substr(0, path.find('?'));
    try {
        body = TempDir::Read(Folder_ + name);
    } catch (...) {
        if (!fault) {
            Send(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            return;
        }
    }
    if (!fault) {
        Send(fd, Header(static_cast<int64_t>(body.size())) + body);
        return;
    }
    switch (*fault) {
    case Fault::NotFound:
        Send(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        return;
    case Fault::Hold:
        if (Send(fd, Header(static_cast<int64_t>(body.size())) + body.substr(0, body.size() / 2)))
            HoldOpen(fd);
        return;
    case Fault::Drip:
    case Fault::DripWithoutLength:
        if (!Send(fd, Header(*fault == Fault::Drip ? static_cast<int64_t>(body.size()) : -1)))
            return;
        for (char c : body)
            if (!TakeAllowance() || !Send(fd, std::string(1, c)))
                return;
        return;
    case Fault::DripHeader:
        for (char c : Header(static_cast<int64_t>(body.size())))
            if (!TakeAllowance() || !Send(fd, std::string(1, c)))
                return;
        Send(fd, body);
        return;
    case Fault::EndlessHeader: {
        if (!Send(fd, "HTTP/1.0 200 OK\r\n"))
            return;
        const std::string line = "X-Filler: " + std::string(1000, 'h') + "\r\n";
        for (int64_t sent = 0; sent < EndlessLimit && Send(fd, line); sent += 1012) {
        }
        return;
    }
    case Fault::EndlessBody:
    case Fault::HugeLength: {
        if (!Send(fd, Header(*fault == Fault::HugeLength ? INT64_MAX / 2 : -1)))
            return;
        const std::string chunk(64 * 1024, 'b');
        for (int64_t sent = 0; sent < EndlessLimit && Send(fd, chunk); sent += 65536) {
        }
        return;
    }
    }
}

} // namespace ostrak

// Receives N bytes over loopback twice per round, side by side: once through
// a CSocket (read notifications, OnDataArrival, GetData as a string) and once
// with a plain blocking recv loop into a buffer of the same size (the socket's
// receive buffer size, which is what CSocket asks for per receive). A sender
// thread writes the bytes with blocking sends in both cases.
//
// Usage: bench_socket_receive [--mib N] [--rounds R]
// Prints one line per run and the medians: MiB/s (wall), receiver-thread CPU
// seconds and process CPU seconds (getrusage).
#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "sockets/CSocket.h"

using namespace ostrak;

namespace {

struct Sample {
    double Seconds = 0;
    double ThreadCpu = 0;
    double ProcessCpu = 0;
};

double Cpu(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Listener(uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

// Accepts one connection on listener and sends total bytes through it.
std::thread Sender(int listener, uint64_t total) {
    return std::thread([listener, total] {
        int fd = ::accept(listener, nullptr, nullptr);
        std::vector<char> chunk(1 << 20);
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<char>(i * 31);
        uint64_t sent = 0;
        while (sent < total) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), total - sent));
            ssize_t w = ::send(fd, chunk.data(), n, MSG_NOSIGNAL);
            if (w <= 0)
                break;
            sent += static_cast<uint64_t>(w);
        }
        ::close(fd);
    });
}

class Counter : public CSocketEvents {
public:
    explicit Counter(CSocket& s) : Socket(s) { s.SetOwner(this); }
    void OnDataArrival(int32_t) override {
        Socket.GetData(Data);
        Received += std::get<std::string>(Data).size();
    }
    void OnClose() override {
        Closed = true;
        Loop.quit();
    }
    QEventLoop Loop;
    CSocket& Socket;
    Variant Data = std::string();
    uint64_t Received = 0;
    bool Closed = false;
};

Sample RunEvents(uint64_t total) {
    uint16_t port = 0;
    int listener = Listener(port);
    std::thread sender = Sender(listener, total);
    CSocket s;
    Counter c(s);
    auto t0 = std::chrono::steady_clock::now();
    double cpu0 = Cpu(RUSAGE_THREAD), proc0 = Cpu(RUSAGE_SELF);
    s.Connect(std::string("127.0.0.1"), int32_t(port));
    // The toolkit's own loop runs the notifications, as in the program.
    if (!c.Closed)
        c.Loop.exec();
    Sample r;
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.ThreadCpu = Cpu(RUSAGE_THREAD) - cpu0;
    r.ProcessCpu = Cpu(RUSAGE_SELF) - proc0;
    sender.join();
    ::close(listener);
    if (c.Received != total) {
        std::fprintf(stderr, "events: received %llu of %llu\n", (unsigned long long)c.Received,
                     (unsigned long long)total);
        std::exit(1);
    }
    return r;
}

Sample RunPlain(uint64_t total, int bufferSize) {
    uint16_t port = 0;
    int listener = Listener(port);
    std::thread sender = Sender(listener, total);
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    auto t0 = std::chrono::steady_clock::now();
    double cpu0 = Cpu(RUSAGE_THREAD), proc0 = Cpu(RUSAGE_SELF);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    uint64_t received = 0;
    for (;;) {
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        received += static_cast<uint64_t>(n);
    }
    ::close(fd);
    Sample r;
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.ThreadCpu = Cpu(RUSAGE_THREAD) - cpu0;
    r.ProcessCpu = Cpu(RUSAGE_SELF) - proc0;
    sender.join();
    ::close(listener);
    if (received != total) {
        std::fprintf(stderr, "plain: received %llu of %llu\n", (unsigned long long)received,
                     (unsigned long long)total);
        std::exit(1);
    }
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int ReceiveBufferSize() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int v = 0;
    socklen_t len = sizeof v;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &v, &len);
    ::close(fd);
    return v;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    uint64_t mib = 1024;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::atoi(argv[i + 1]);
    }
    const uint64_t total = mib << 20;
    const int bufferSize = ReceiveBufferSize();
    std::printf("receiving %llu MiB per run over loopback, receive size %d bytes, %d rounds\n",
                (unsigned long long)mib, bufferSize, rounds);
    std::vector<double> eRate, eCpu, eProc, pRate, pCpu, pProc;
    for (int round = 0; round < rounds; ++round) {
        // Alternate the order so that neither path always runs first.
        for (int k = 0; k < 2; ++k) {
            bool events = (round + k) % 2 == 0;
            Sample s = events ? RunEvents(total) : RunPlain(total, bufferSize);
            double rate = double(mib) / s.Seconds;
            std::printf("  round %d %-6s %8.1f MiB/s  %6.2f s  receiver cpu %6.2f s  "
                        "process cpu %6.2f s\n",
                        round + 1, events ? "events" : "plain", rate, s.Seconds, s.ThreadCpu,
                        s.ProcessCpu);
            std::fflush(stdout);
            (events ? eRate : pRate).push_back(rate);
            (events ? eCpu : pCpu).push_back(s.ThreadCpu);
            (events ? eProc : pProc).push_back(s.ProcessCpu);
        }
    }
    double er = Median(eRate), pr = Median(pRate);
    std::printf("median  events %8.1f MiB/s  receiver cpu %6.2f s  process cpu %6.2f s\n", er,
                Median(eCpu), Median(eProc));
    std::printf("median  plain  %8.1f MiB/s  receiver cpu %6.2f s  process cpu %6.2f s\n", pr,
                Median(pCpu), Median(pProc));
    std::printf("events / plain throughput: %.0f%% (goal: at least 80%%)\n", 100.0 * er / pr);
    return 0;
}

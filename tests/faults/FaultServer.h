#pragma once
// A web server for fault cases: serves the files of a folder over HTTP/1.0 on
// 127.0.0.1 (port chosen by the system), one connection at a time on its own
// thread, and answers the paths given a fault badly: it holds a body half
// sent, drips it (or its header) one byte per Allow(), or sends a header or a
// body that never ends. A fault applies to the next `times` requests of its
// path (or SetFaults gives a sequence); later requests are served normally. Every other answer is a
// 200 with a "Content-Length:" header, or a 404, and the connection is closed after it. Requests
// and bytes sent are recorded; calls are thread-safe.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrak {

class FaultServer {
public:
    enum class Fault {
        // The header and half of the body, then nothing until the client or
        // the server goes.
        Hold,
        // The header with its length, then the body one byte per Allow().
        Drip,
        // As Drip, without a "Content-Length:" header.
        DripWithoutLength,
        // The header itself one byte per Allow().
        DripHeader,
        // A status line and header lines without end.
        EndlessHeader,
        // A header without a length and a body without end.
        EndlessBody,
        // A 404 with an empty body.
        NotFound,
        // "Content-Length: 4611686018427387903" and a body without end.
        HugeLength,
    };

    explicit FaultServer(std::string folder);
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    int Port() const { return Port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(Port_); }
    void SetFault(const std::string& path, Fault fault, int times = 1000);
    // The next requests of path get these faults, one each, in order.
    void SetFaults(const std::string& path, const std::vector<Fault>& faults);
    // Lets n more dripped bytes go.
    void Allow(int n = 1);
    std::vector<std::string> Requests() const;
    int64_t BytesSent() const { return BytesSent_.load(); }

private:
    void Run();
    void Serve(int fd);
    // Sends all of bytes; false when the client is gone or the server stops.
    bool Send(int fd, const std::string& bytes);
    // Waits for one Allow(); false when stopping.
    bool TakeAllowance();
    // Waits until the client closes or the server stops.
    void HoldOpen(int fd);

    std::string Folder_;
    int Listener_ = -1;
    int StopPipe_[2] = {-1, -1};
    int Port_ = 0;
    std::atomic<bool> Stopping_{false};
    std::atomic<int64_t> BytesSent_{0};
    mutable std::mutex Mutex_;
    std::condition_variable Allowed_;
    int Allowance_ = 0;
    std::map<std::string, std::vector<Fault>> Faults_;
    std::vector<std::string> Requests_;
    std::thread Thread_;
};

} // namespace ostrak

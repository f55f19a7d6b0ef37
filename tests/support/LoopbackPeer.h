#pragma once
// Scripted raw peers on 127.0.0.1 for socket tests, over plain BSD sockets
// (independent of the code under test). Every wait has a deadline; the
// calls never run the event loop themselves, so a test interleaves them
// with WaitUntil (below) while the object under test needs the loop.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ostrak {

// A connected TCP endpoint.
class LoopbackConnection {
public:
    explicit LoopbackConnection(int fd) : Fd(fd) {}
    ~LoopbackConnection();
    LoopbackConnection(const LoopbackConnection&) = delete;
    LoopbackConnection& operator=(const LoopbackConnection&) = delete;

    // Sends all of bytes (blocking; fails the test if it cannot).
    void Send(const std::string& bytes);
    // What is readable now, up to max bytes, without waiting ("" if none).
    std::string ReadAvailable(size_t max = 1 << 20);
    // Reads until n bytes have come or ms passed; returns what came.
    std::string ReadExactly(size_t n, int ms = 5000);
    // Waits up to ms for the other side's close; true when it came (any
    // data before it is read and returned in *before when given).
    bool WaitForClose(int ms = 5000, std::string* before = nullptr);
    // Stops sending (FIN), keeps reading possible.
    void ShutdownWrite();
    // Closes normally.
    void Close();
    // Closes with a reset (RST) instead of a FIN.
    void Reset();
    // Shrinks the kernel receive buffer (call before data flows).
    void SetReceiveBuffer(int bytes);
    int Handle() const { return Fd; }

private:
    int Fd;
};

// A TCP listener on 127.0.0.1, port chosen by the system.
class LoopbackListener {
public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    uint16_t Port() const { return Port_; }
    // Waits up to ms for a connection; null when none came.
    std::unique_ptr<LoopbackConnection> Accept(int ms = 5000, int receiveBuffer = 0);

private:
    int Fd = -1;
    uint16_t Port_ = 0;
};

// Opens a TCP connection to 127.0.0.1:port (blocking); null on failure.
std::unique_ptr<LoopbackConnection> ConnectLoopback(uint16_t port);

// A UDP endpoint on 127.0.0.1, port chosen by the system.
class LoopbackUdp {
public:
    LoopbackUdp();
    ~LoopbackUdp();
    LoopbackUdp(const LoopbackUdp&) = delete;
    LoopbackUdp& operator=(const LoopbackUdp&) = delete;

    uint16_t Port() const { return Port_; }
    void SendTo(uint16_t port, const std::string& bytes);
    // Waits up to ms for one datagram; false when none came.
    bool Receive(std::string& bytes, uint16_t* fromPort = nullptr, int ms = 5000);

private:
    int Fd = -1;
    uint16_t Port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound and released at once).
uint16_t UnusedLoopbackPort();

// Lets events run until done() or ms passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int ms = 5000);
// As WaitUntil, but checks done() at least every stepMs as well: for
// conditions that change outside the event loop (a peer's socket).
bool PollUntil(const std::function<bool()>& done, int ms = 5000, int stepMs = 5);
// Lets events run for ms (to observe that nothing more happens).
void RunEventsFor(int ms);

} // namespace ostrak

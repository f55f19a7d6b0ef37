#pragma once
// A scripted TCP peer on 127.0.0.1 (port chosen by the system) that plays
// what real HTTP servers will not: responses cut at chosen bytes, pauses,
// resets, silence. It runs on its own thread and serves one connection at a
// time; connection n follows script n (the last script repeats). Requests
// received and the tick count at each accept are recorded.
//
// Also here: UnansweringPort, a port whose connection attempts never complete.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrak {

class ScriptedHttpPeer {
public:
    struct Step {
        enum Kind { ReadRequest, Send, Sleep, Close, Reset, WaitForClientClose, WaitForRelease };
        Kind What;
        std::string Bytes;
        int Ms = 0;
    };
    using Script = std::vector<Step>;

    // Reads the request up to its blank line (at most 5 s).
    static Step Read() { return {Step::ReadRequest, {}, 0}; }
    static Step Send(std::string bytes) { return {Step::Send, std::move(bytes), 0}; }
    static Step SleepMs(int ms) { return {Step::Sleep, {}, ms}; }
    // Closes the connection (FIN); also what happens after the last step.
    static Step Close() { return {Step::Close, {}, 0}; }
    // Aborts the connection (RST).
    static Step Reset() { return {Step::Reset, {}, 0}; }
    // Reads and drops until the client closes or shuts down its side.
    static Step WaitForClientClose() { return {Step::WaitForClientClose, {}, 0}; }
    // Waits until Release() is called (or the peer stops).
    static Step WaitForRelease() { return {Step::WaitForRelease, {}, 0}; }

    // The usual script: read the request, send response, close.
    static Script Answer(std::string response) {
        return {Read(), Send(std::move(response)), Close()};
    }

    // Listens on port (0: a free one chosen by the system).
    explicit ScriptedHttpPeer(std::vector<Script> scripts, int port = 0);
    ~ScriptedHttpPeer();
    ScriptedHttpPeer(const ScriptedHttpPeer&) = delete;
    ScriptedHttpPeer& operator=(const ScriptedHttpPeer&) = delete;

    int Port() const { return Port_; }
    int Connections() const { return Connections_.load(); }
    std::vector<std::string> Requests() const;
    std::vector<uint32_t> AcceptTicks() const;
    // Lets WaitForRelease steps go on.
    void Release() { Released_.store(true); }

private:
    void Run();
    void Play(int fd, const Script& script);
    // Waits until fd is readable or the peer stops; false when stopping or after ms.
    bool WaitReadable(int fd, int ms);

    std::vector<Script> Scripts_;
    int Listener_ = -1;
    int StopPipe_[2] = {-1, -1};
    int Port_ = 0;
    std::atomic<bool> Stopping_{false};
    std::atomic<bool> Released_{false};
    std::atomic<int> Connections_{0};
    mutable std::mutex Mutex_;
    std::vector<std::string> Requests_;
    std::vector<uint32_t> AcceptTicks_;
    std::thread Thread_;
};

// A listening port whose accept queue is full, so that a connection attempt
// to it gets no answer at all (the SYN is dropped) until the object goes.
class UnansweringPort {
public:
    UnansweringPort();
    ~UnansweringPort();
    UnansweringPort(const UnansweringPort&) = delete;
    UnansweringPort& operator=(const UnansweringPort&) = delete;
    int Port() const { return Port_; }

private:
    int Listener_ = -1;
    int Filler_ = -1;
    int Port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on right now (it was free a
// moment ago), for refused connections.
int FreeLoopbackPort();

// Whether something accepts connections on port of 127.0.0.1 now.
bool LoopbackPortAccepts(int port);

} // namespace ostrak

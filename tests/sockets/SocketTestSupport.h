#pragma once
// Helpers of the socket tests: an owner that records every event of a
// CSocket, and an observer that sees every message of the socket window.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sockets/CSocket.h"
#include "support/LoopbackPeer.h"

namespace ostrak {

struct ErrorEvent {
    int16_t Number = 0;
    std::string Description;
    int32_t Scode = -1;
    std::string Source;
    std::string HelpFile;
    int32_t HelpContext = -1;
    VbBool CancelDisplay = VbTrue;
    int32_t StateAtEvent = -1;
};

// Records the events of one socket in order ("Connect", "Data 5",
// "Progress 3/0", ...). Optional hooks run inside the handlers.
class Recorder final : public CSocketEvents {
public:
    explicit Recorder(CSocket* s = nullptr) : Socket(s) {
        if (s != nullptr)
            s->SetOwner(this);
    }
    void Attach(CSocket& s) {
        Socket = &s;
        s.SetOwner(this);
    }

    void OnClose() override;
    void OnConnect() override;
    void OnConnectionRequest(int32_t requestID) override;
    void OnDataArrival(int32_t bytesTotal) override;
    void OnError(int16_t Number, std::string& Description, int32_t Scode, const std::string& Source,
                 const std::string& HelpFile, int32_t HelpContext, VbBool& CancelDisplay) override;
    void OnSendComplete() override;
    void OnSendProgress(int32_t bytesSent, int32_t bytesRemaining) override;

    int Count(const std::string& prefix) const;
    bool Has(const std::string& prefix) const { return Count(prefix) > 0; }

    CSocket* Socket = nullptr;
    std::vector<std::string> Log;
    std::vector<ErrorEvent> Errors;
    std::vector<int32_t> Requests;
    std::vector<int32_t> StatesAtEvents;
    // When set, OnDataArrival reads everything as a string into Received.
    bool ReadOnArrival = false;
    std::string Received;
    int64_t BytesSent = 0;
    std::function<void()> OnConnectHook;
    std::function<void(int32_t)> OnRequestHook;
    std::function<void()> OnCloseHook;
};

// Wraps the socket window's procedure while it lives: records every message
// it passes on (with the state of Watched afterwards) and drops the messages
// Filter rejects. Create it while the window exists; it does not follow the
// service to a new window.
class WindowObserver {
public:
    struct Seen {
        uint32_t Message;
        uintptr_t WParam;
        intptr_t LParam;
        int32_t StateAfter;
    };
    explicit WindowObserver(CSocket* watched = nullptr);
    ~WindowObserver();
    WindowObserver(const WindowObserver&) = delete;
    WindowObserver& operator=(const WindowObserver&) = delete;

    // Socket notifications (WinsockMessage) seen for handle with event code.
    int Notifications(int32_t handle, int32_t event) const;
    int SocketMessages() const;

    CSocket* Watched;
    std::vector<Seen> Messages;
    std::function<bool(uint32_t, uintptr_t, intptr_t)> Filter;
};

// Port a test's listening CSocket got from the system.
uint16_t BoundPortOf(const CSocket& s);

} // namespace ostrak

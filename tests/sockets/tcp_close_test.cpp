// Closing: CloseSocket in every state, the close drain, and unsent data at
// the peer's close.
#include <gtest/gtest.h>

#include "SocketTestSupport.h"
#include "sockets/MSocketSupport.h"
#include "winsock/AsyncSelect.h"
#include "winsock/MessageWindow.h"
#include "winsock/SocketApi.h"

using namespace ostrak;

namespace {

// A client connected to a scripted peer.
struct Connected {
    LoopbackListener Listener;
    CSocket Socket;
    Recorder Events{&Socket};
    std::unique_ptr<LoopbackConnection> Peer;

    explicit Connected(int peerReceiveBuffer = 0) {
        Socket.Connect(std::string("127.0.0.1"), int32_t(Listener.Port()));
        Peer = Listener.Accept(5000, peerReceiveBuffer);
        EXPECT_TRUE(Peer);
        EXPECT_TRUE(WaitUntil([&] { return Events.Has("Connect"); }));
    }
};

bool IsOpenSocket(int32_t handle) {
    int32_t type = 0;
    return WsGetSockOpt(handle, WsSolSocket, WsSoType, type) == 0;
}

TEST(CloseSocket, WithoutSocketChangesNothingNotEvenErrorState) {
    CSocket s;
    Recorder r(&s);
    s.Connect(std::string("127.0.0.1"), int32_t(UnusedLoopbackPort()));
    ASSERT_TRUE(WaitUntil([&] { return s.State() == SocketState::Error; }));
    ASSERT_EQ(s.SocketHandle(), -1);
    s.CloseSocket();
    EXPECT_EQ(s.State(), SocketState::Error);
}

TEST(CloseSocket, ReleasesAtOnceOutsideConnected) {
    LoopbackListener listener;
    struct Case {
        const char* Name;
        std::function<void(CSocket&)> Enter;
        int32_t Expected;
    };
    const Case cases[] = {
        {"listening", [](CSocket& s) { s.Bind(0, "127.0.0.1"), s.Listen(); },
         SocketState::Listening},
        {"connecting",
         [&](CSocket& s) { s.Connect(std::string("127.0.0.1"), int32_t(listener.Port())); },
         SocketState::Connecting},
        {"resolving",
         [&](CSocket& s) { s.Connect(std::string("localhost"), int32_t(listener.Port())); },
         SocketState::ResolvingHost},
        {"bound only", [](CSocket& s) { s.Bind(0, "127.0.0.1"); }, SocketState::Closed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        CSocket s;
        Recorder r(&s);
        c.Enter(s);
        ASSERT_EQ(s.State(), c.Expected);
        int32_t handle = s.SocketHandle();
        ASSERT_TRUE(IsOpenSocket(handle));
        s.CloseSocket();
        EXPECT_EQ(s.State(), SocketState::Closed);
        EXPECT_EQ(s.SocketHandle(), -1);
        EXPECT_FALSE(IsOpenSocket(handle));
        RunEventsFor(30);
        EXPECT_TRUE(r.Log.empty()) << "no event: " << r.Log.front();
        EXPECT_EQ(s.State(), SocketState::Closed);
        while (auto stray = listener.Accept(0)) {
        }
    }
}

TEST(CloseSocket, WhileConnectedStopsSendingAndOnCloseFollowsThePeer) {
    Connected c;
    c.Socket.CloseSocket();
    EXPECT_EQ(c.Socket.State(), SocketState::Closing);
    EXPECT_NE(c.Socket.SocketHandle(), -1);
    EXPECT_TRUE(c.Peer->WaitForClose()) << "the peer sees our FIN";
    RunEventsFor(30);
    EXPECT_FALSE(c.Events.Has("Close"));
    c.Peer->Close();
    ASSERT_TRUE(WaitUntil([&] { return c.Events.Has("Close"); }));
    EXPECT_EQ(c.Socket.State(), SocketState::Closed);
    EXPECT_EQ(c.Socket.SocketHandle(), -1);
    EXPECT_EQ(c.Events.StatesAtEvents.back(), SocketState::Closed);
}

TEST(CloseDrain, DataIsOfferedAndWhatIsNotReadIsGoneAtOnClose) {
    Connected c;
    std::string atClose = "untouched";
    c.Events.OnCloseHook = [&] {
        Variant v = std::string("untouched");
        c.Socket.GetData(v);
        atClose = std::get<std::string>(v);
    };
    c.Peer->Send("abcdef");
    c.Peer->ShutdownWrite();
    ASSERT_TRUE(WaitUntil([&] { return c.Events.Has("Close"); }));
    EXPECT_EQ(c.Events.Log[1], "Data 6");
    EXPECT_EQ(c.Events.Log.back(), "Close");
    EXPECT_EQ(atClose, "untouched") << "unread data must be gone at OnClose";
    EXPECT_EQ(c.Socket.BytesReceived(), 6) << "the close leaves BytesReceived";
}

TEST(CloseDrain, CloseNotificationWithDataWaitingReceivesItFirst) {
    Connected c;
    WindowObserver seen(&c.Socket);
    // The read notification is held back, so the data is still on the
    // socket when the close notification is handled.
    int heldBack = 0;
    seen.Filter = [&](uint32_t m, uintptr_t, intptr_t lp) {
        if (m == MSocketSupport::WinsockMessage() && (lp & 0xFFFF) == FdRead) {
            ++heldBack;
            return false;
        }
        return true;
    };
    c.Events.ReadOnArrival = true;
    c.Peer->Send(std::string(60000, 'x'));
    c.Peer->ShutdownWrite();
    ASSERT_TRUE(WaitUntil([&] { return heldBack > 0; }));
    ASSERT_TRUE(PostWindowMessage(MSocketSupport::SocketWindow(), MSocketSupport::WinsockMessage(),
                                  uintptr_t(c.Socket.SocketHandle()), FdClose));
    ASSERT_TRUE(WaitUntil([&] { return c.Events.Has("Close"); }));
    EXPECT_EQ(c.Events.Received, std::string(60000, 'x'));
    EXPECT_GE(c.Events.Count("Data"), 1);
    EXPECT_EQ(c.Events.Log.back(), "Close");
    EXPECT_EQ(heldBack, 1) << "read notifications are not repeated without a receive";
}

TEST(PeerClose, UnsentDataGetsOneMoreSendWhileConnected) {
    Connected c(4096);
    WindowObserver seen(&c.Socket);
    // Write notifications are held back: only the close may send again.
    seen.Filter = [&](uint32_t m, uintptr_t, intptr_t lp) {
        return !(m == MSocketSupport::WinsockMessage() && (lp & 0xFFFF) == FdWrite);
    };
    const std::string data(8 << 20, 'd');
    c.Socket.SendData(data);
    ASSERT_EQ(c.Events.Count("Progress"), 1);
    ASSERT_LT(c.Events.BytesSent, int64_t(data.size())) << "the peer's window must stop the send";
    std::string got = c.Peer->ReadExactly(data.size(), 300);
    c.Peer->ShutdownWrite();
    ASSERT_TRUE(WaitUntil([&] { return c.Events.Has("Close"); }));
    ASSERT_GE(c.Events.Log.size(), 3u);
    EXPECT_EQ(c.Events.Count("Progress"), 2) << "one more send attempt at the close";
    EXPECT_EQ(c.Events.Log[c.Events.Log.size() - 2].rfind("Progress", 0), 0u);
    EXPECT_EQ(c.Events.Log.back(), "Close");
    std::string rest;
    EXPECT_TRUE(c.Peer->WaitForClose(5000, &rest));
    EXPECT_EQ(int64_t(got.size() + rest.size()), c.Events.BytesSent);
}

TEST(PeerClose, NoSendAttemptAfterCloseSocket) {
    Connected c(4096);
    WindowObserver seen(&c.Socket);
    seen.Filter = [&](uint32_t m, uintptr_t, intptr_t lp) {
        return !(m == MSocketSupport::WinsockMessage() && (lp & 0xFFFF) == FdWrite);
    };
    c.Socket.SendData(std::string(8 << 20, 'd'));
    ASSERT_EQ(c.Events.Count("Progress"), 1);
    c.Socket.CloseSocket();
    ASSERT_EQ(c.Socket.State(), SocketState::Closing);
    EXPECT_TRUE(c.Peer->WaitForClose());
    c.Peer->Close();
    ASSERT_TRUE(WaitUntil([&] { return c.Events.Has("Close"); }));
    EXPECT_EQ(c.Events.Count("Progress"), 1);
    EXPECT_EQ(c.Socket.State(), SocketState::Closed);
}

TEST(Reconnect, SameObjectConnectsAgainInsideOnClose) {
    LoopbackListener listener;
    CSocket s;
    Recorder r(&s);
    r.OnCloseHook = [&] {
        if (r.Count("Close") == 1)
            s.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    };
    s.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    auto first = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return r.Has("Connect"); }));
    first->Close();
    ASSERT_TRUE(WaitUntil([&] { return r.Count("Connect") == 2; }));
    EXPECT_EQ(s.State(), SocketState::Connected);
    EXPECT_TRUE(listener.Accept());
}

} // namespace

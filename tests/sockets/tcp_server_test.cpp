// A CSocket on the server side: binding, listening, accepting, and sending
// to a peer that reads slowly.
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "SocketTestSupport.h"
#include "runtime/ErrorRecord.h"
#include "sockets/MSocketSupport.h"
#include "winsock/MessageWindow.h"
#include "winsock/SocketApi.h"

using namespace ostrak;

namespace {

bool IsOpenSocket(int32_t handle) {
    int32_t type = 0;
    return WsGetSockOpt(handle, WsSolSocket, WsSoType, type) == 0;
}

ErrorRecord Raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const VbError& e) {
        return e.Record;
    }
    return ErrorRecord{};
}

TEST(Listen, AcceptsConnectionsThroughOnConnectionRequest) {
    CSocket server;
    Recorder serverEvents(&server);
    std::vector<std::unique_ptr<CSocket>> children;
    std::vector<std::unique_ptr<Recorder>> childEvents;
    serverEvents.OnRequestHook = [&](int32_t id) {
        children.push_back(std::make_unique<CSocket>());
        childEvents.push_back(std::make_unique<Recorder>(children.back().get()));
        childEvents.back()->ReadOnArrival = true;
        children.back()->Accept(id);
    };
    server.Bind(0, "127.0.0.1");
    server.Listen();
    ASSERT_EQ(server.State(), SocketState::Listening);
    uint16_t port = BoundPortOf(server);

    auto a = ConnectLoopback(port);
    auto b = ConnectLoopback(port);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(WaitUntil([&] { return children.size() == 2; }))
        << "accept must be re-armed by the previous accept";
    for (size_t i = 0; i < 2; ++i) {
        CSocket& child = *children[i];
        EXPECT_EQ(child.State(), SocketState::Connected);
        EXPECT_EQ(child.SocketHandle(), serverEvents.Requests[i]);
        EXPECT_EQ(child.LocalPort(), port);
        EXPECT_EQ(child.LocalIP(), "127.0.0.1");
        EXPECT_EQ(child.LocalHostName(), "127.0.0.1");
        EXPECT_EQ(child.RemoteHostIP(), "127.0.0.1");
        EXPECT_EQ(child.RemoteHost(), "127.0.0.1");
        EXPECT_GT(child.RemotePort(), 0);
        EXPECT_EQ(child.Protocol(), SocketProtocol::Tcp);
    }
    a->Send("from a");
    b->Send("from b");
    ASSERT_TRUE(WaitUntil([&] {
        return childEvents[0]->Received == "from a" && childEvents[1]->Received == "from b";
    }));
    children[1]->SendData(std::string("reply"));
    EXPECT_EQ(b->ReadExactly(5), "reply");
    EXPECT_EQ(server.State(), SocketState::Listening);
    EXPECT_EQ(MSocketSupport::RegisteredSocketCount(), 3);
}

TEST(Listen, FailedAcceptReportsMinusOne) {
    CSocket server;
    Recorder r(&server);
    server.Bind(0, "127.0.0.1");
    server.Listen();
    // An accept notification with no connection waiting.
    ASSERT_TRUE(PostWindowMessage(MSocketSupport::SocketWindow(), MSocketSupport::WinsockMessage(),
                                  uintptr_t(server.SocketHandle()), 8));
    ASSERT_TRUE(WaitUntil([&] { return r.Has("Request"); }));
    EXPECT_EQ(r.Requests, std::vector<int32_t>{-1});
    EXPECT_EQ(server.State(), SocketState::Listening);
}

TEST(Listen, AcceptOutOfDescriptorsRetriesCalmlyAndRecovers) {
    CSocket server;
    Recorder r(&server);
    std::vector<std::unique_ptr<CSocket>> children;
    r.OnRequestHook = [&](int32_t id) {
        if (id == -1)
            return;
        children.push_back(std::make_unique<CSocket>());
        children.back()->Accept(id);
    };
    server.Bind(0, "127.0.0.1");
    server.Listen();

    // A first connection is accepted while descriptors are plentiful. Besides
    // showing the server at work, this runs once every path the starved
    // accept takes below: UBSan checks the type of a polymorphic call the
    // first time it meets it, and that check opens a pipe, which fails
    // without a free descriptor and is then reported as an invalid vptr.
    auto first = ConnectLoopback(BoundPortOf(server));
    ASSERT_TRUE(first);
    ASSERT_TRUE(WaitUntil([&] { return children.size() == 1; }));
    r.Requests.clear();

    auto client = ConnectLoopback(BoundPortOf(server));
    ASSERT_TRUE(client);

    // No descriptor left: the lowest free number is the limit.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowest);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    RunEventsFor(300);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    // A failing accept is tried again about every 100 ms, not in a spin.
    const auto failures = std::count(r.Requests.begin(), r.Requests.end(), -1);
    EXPECT_GE(failures, 1);
    EXPECT_LE(failures, 6);
    ASSERT_TRUE(WaitUntil([&] { return children.size() == 2; }));
    EXPECT_EQ(children.back()->State(), SocketState::Connected);
    EXPECT_EQ(children.front()->State(), SocketState::Connected);
}

TEST(Listen, ConnectionOfferedToNoOwnerIsClosed) {
    CSocket server; // no owner to take the connection over
    server.Bind(0, "127.0.0.1");
    server.Listen();
    auto client = ConnectLoopback(BoundPortOf(server));
    ASSERT_TRUE(client);
    RunEventsFor(200); // the accept notification is handled meanwhile
    EXPECT_TRUE(client->WaitForClose(1000)) << "the accepted socket must not be left open";
    EXPECT_EQ(server.State(), SocketState::Listening);
}

TEST(Listen, ListeningAgainAfterCloseBindsTheSamePort) {
    struct Case {
        const char* Name;
        std::function<void(CSocket&, int32_t port)> Before;
    };
    const Case cases[] = {
        {"closed while listening",
         [](CSocket& s, int32_t port) {
             s.Bind(port, "127.0.0.1");
             s.Listen();
             ASSERT_EQ(BoundPortOf(s), port);
             s.CloseSocket();
         }},
        {"closed after Bind, before listening",
         [](CSocket& s, int32_t port) {
             s.Bind(port, "127.0.0.1");
             s.CloseSocket();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const int32_t port = UnusedLoopbackPort();
        CSocket s;
        c.Before(s, port);
        EXPECT_EQ(s.SocketHandle(), -1);
        s.Listen();
        EXPECT_EQ(s.State(), SocketState::Listening);
        EXPECT_EQ(BoundPortOf(s), port);
        EXPECT_EQ(s.LocalIP(), "127.0.0.1");
    }
}

TEST(Listen, FailuresCarryTheirSource) {
    LoopbackListener taken;
    {
        CSocket s;
        s.SetLocalPort(taken.Port());
        ErrorRecord e = Raised([&] { s.Listen(); });
        EXPECT_EQ(e, (ErrorRecord{10048, "Address already in use.", "CSocket.Listen"}))
            << "Listen passes on the failure of its own Bind";
        EXPECT_EQ(s.State(), SocketState::Closed);
    }
    {
        CSocket s;
        ErrorRecord e = Raised([&] { s.Bind(taken.Port(), "127.0.0.1"); });
        EXPECT_EQ(e, (ErrorRecord{10048, "Address already in use.", "CSocket.Bind"}));
    }
    {
        CSocket s;
        ErrorRecord e = Raised([&] { s.Bind(0, "255.255.255.255"); });
        EXPECT_EQ(e.Source, "CSocket.Bind") << "255.255.255.255 is no address";
        EXPECT_NE(e.Number, 0);
    }
    {
        CSocket s;
        ErrorRecord e = Raised([&] { s.Bind(70000, ""); });
        EXPECT_EQ(e, (ErrorRecord{6, "Overflow", "CSocket.Bind"}));
    }
    {
        CSocket s;
        s.SetProtocol(SocketProtocol::Udp);
        s.Bind(0, "127.0.0.1");
        ErrorRecord e = Raised([&] { s.Listen(); });
        EXPECT_EQ(e, (ErrorRecord{10045, "Operation not supported.", "CSocket.Listen"}));
        EXPECT_EQ(s.State(), SocketState::Error);
        EXPECT_NE(s.SocketHandle(), -1) << "the socket stays open";
    }
}

TEST(Accept, ReleasesTheSocketTheObjectAlreadyHolds) {
    CSocket server;
    Recorder serverEvents(&server);
    server.Bind(0, "127.0.0.1");
    server.Listen();
    LoopbackListener other;
    CSocket child;
    Recorder childEvents(&child);
    child.Connect(std::string("127.0.0.1"), int32_t(other.Port()));
    auto otherPeer = other.Accept();
    ASSERT_TRUE(WaitUntil([&] { return childEvents.Has("Connect"); }));
    int32_t old = child.SocketHandle();
    int registeredBefore = MSocketSupport::RegisteredSocketCount();

    auto peer = ConnectLoopback(BoundPortOf(server));
    ASSERT_TRUE(WaitUntil([&] { return serverEvents.Has("Request"); }));
    child.Accept(serverEvents.Requests[0]);

    EXPECT_EQ(child.SocketHandle(), serverEvents.Requests[0]);
    EXPECT_FALSE(IsOpenSocket(old)) << "the old socket is closed";
    EXPECT_EQ(MSocketSupport::RegisteredSocketCount(), registeredBefore)
        << "one socket left the registry, one joined";
    EXPECT_TRUE(otherPeer->WaitForClose());
    childEvents.ReadOnArrival = true;
    peer->Send("new");
    ASSERT_TRUE(WaitUntil([&] { return childEvents.Received == "new"; }));
}

TEST(Accept, RefusedRegistrationReturnsQuietlyAndLeavesNothingRegistered) {
    CSocket s;
    s.Accept(-1); // what a failed accept reports
    EXPECT_EQ(s.State(), SocketState::Closed);
    EXPECT_EQ(MSocketSupport::RegisteredSocketCount(), -1);
    EXPECT_EQ(MSocketSupport::SocketWindow(), 0);
}

TEST(SlowReader, PartialSendThenTheRestOnWriteNotifications) {
    LoopbackListener listener;
    CSocket s;
    Recorder r(&s);
    s.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    auto peer = listener.Accept(5000, 4096);
    ASSERT_TRUE(WaitUntil([&] { return r.Has("Connect"); }));

    std::string data(6 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + (i >> 12));
    s.SendData(data);
    ASSERT_EQ(r.Count("Progress"), 1) << "SendData makes one attempt";
    ASSERT_LT(r.BytesSent, int64_t(data.size()));
    EXPECT_EQ(r.Log.back(), "Progress " + std::to_string(r.BytesSent) + "/" +
                                std::to_string(data.size() - size_t(r.BytesSent)));
    EXPECT_FALSE(r.Has("SendComplete"));

    std::string got;
    ASSERT_TRUE(PollUntil(
        [&] {
            got += peer->ReadAvailable(64 << 10);
            return got.size() == data.size() && r.Has("SendComplete");
        },
        30000))
        << "peer got " << got.size() << " of " << data.size() << "; events " << r.Log.size()
        << " last " << r.Log.back();
    EXPECT_TRUE(got == data) << "the peer must receive every byte in order";
    EXPECT_GT(r.Count("Progress"), 1);
    EXPECT_EQ(r.BytesSent, int64_t(data.size()));
    EXPECT_EQ(r.Log[r.Log.size() - 2].substr(r.Log[r.Log.size() - 2].size() - 2), "/0");
    EXPECT_EQ(r.Log.back(), "SendComplete");
    RunEventsFor(30);
    EXPECT_EQ(r.Count("SendComplete"), 1);
}

} // namespace

// UDP on loopback: datagrams both ways, a destination given by name, and the
// broadcast option that follows RemoteHost.
#include <gtest/gtest.h>

#include "SocketTestSupport.h"
#include "sockets/MSocketSupport.h"
#include "winsock/SocketApi.h"

using namespace ostrak;

namespace {

int32_t BroadcastOption(const CSocket& s) {
    int32_t value = -1;
    EXPECT_EQ(WsGetSockOpt(s.SocketHandle(), WsSolSocket, WsSoBroadcast, value), 0);
    return value;
}

TEST(Udp, DatagramsBothWaysWithTheSenderLearned) {
    LoopbackUdp peer;
    CSocket s;
    Recorder r(&s);
    s.SetProtocol(SocketProtocol::Udp);
    s.SetRemoteHost("127.0.0.1");
    s.SetRemotePort(peer.Port());
    s.SendData(std::string("ping"));
    EXPECT_EQ(r.Log, std::vector<std::string>{"Progress 4/0"});
    std::string got;
    uint16_t from = 0;
    ASSERT_TRUE(peer.Receive(got, &from));
    EXPECT_EQ(got, "ping");
    ASSERT_TRUE(WaitUntil([&] { return r.Has("SendComplete"); }));

    // The socket was bound by the send; answer to where it came from.
    LoopbackUdp other;
    other.SendTo(from, "pong!");
    ASSERT_TRUE(WaitUntil([&] { return r.Has("Data"); }));
    EXPECT_EQ(r.Log.back(), "Data 5");
    EXPECT_EQ(s.BytesReceived(), 5);
    EXPECT_EQ(s.RemotePort(), other.Port()) << "a datagram tells its sender";
    EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(s.RemoteHost(), "localhost") << "found by reverse lookup";
    Variant v;
    s.GetData(v);
    EXPECT_EQ(std::get<std::string>(v), "pong!");
}

TEST(Udp, TwoObjectsExchangeDatagrams) {
    CSocket receiver;
    Recorder rr(&receiver);
    rr.ReadOnArrival = true;
    receiver.SetProtocol(SocketProtocol::Udp);
    receiver.Bind(0, "127.0.0.1");
    CSocket sender;
    Recorder sr(&sender);
    sender.SetProtocol(SocketProtocol::Udp);
    sender.SetRemoteHost("127.0.0.1");
    sender.SetRemotePort(BoundPortOf(receiver));
    sender.SendData(std::string("one"));
    sender.SendData(ByteArray{0, 1, 2});
    ASSERT_TRUE(WaitUntil([&] { return rr.Received.size() == 6; }));
    EXPECT_EQ(rr.Received, std::string("one\0\1\2", 6));
    EXPECT_EQ(rr.Count("Data"), 2) << "one event per datagram";
}

TEST(Udp, SendToANameWaitsForTheResolution) {
    LoopbackUdp peer;
    CSocket s;
    Recorder r(&s);
    s.SetProtocol(SocketProtocol::Udp);
    s.SetRemoteHost("localhost");
    s.SetRemotePort(peer.Port());
    EXPECT_EQ(s.RemoteHostIP(), "") << "a name does not set the address";
    s.SendData(std::string("by name"));
    EXPECT_EQ(r.Log, std::vector<std::string>{"Progress 0/7"});
    std::string got;
    bool arrived = false;
    ASSERT_TRUE(WaitUntil([&] { return arrived = arrived || peer.Receive(got, nullptr, 0); }));
    EXPECT_EQ(got, "by name");
    EXPECT_EQ(s.RemoteHost(), "localhost");
    EXPECT_EQ(s.RemoteHostIP(), "127.0.0.1");
    ASSERT_TRUE(WaitUntil([&] { return r.Has("SendComplete"); }));
    // Nothing is sent before the answer (Windows may report that once more,
    // on the write notification of the new socket), then all, then the end.
    ASSERT_GE(r.Log.size(), 3u);
    for (size_t i = 0; i + 2 < r.Log.size(); ++i)
        EXPECT_EQ(r.Log[i], "Progress 0/7");
    EXPECT_EQ(r.Log[r.Log.size() - 2], "Progress 7/0");
    EXPECT_EQ(r.Log.back(), "SendComplete");
    RunEventsFor(50);
    EXPECT_FALSE(peer.Receive(got, nullptr, 0)) << "sent once";
}

TEST(Udp, BroadcastOptionFollowsRemoteHost) {
    CSocket s;
    s.SetProtocol(SocketProtocol::Udp);
    s.SetRemoteHost("127.255.255.255");
    ASSERT_NE(s.SocketHandle(), -1) << "setting an address creates the UDP socket";
    EXPECT_EQ(BroadcastOption(s), 1);
    EXPECT_EQ(s.RemoteHostIP(), "127.255.255.255");
    s.SetRemoteHost("localhost");
    EXPECT_EQ(BroadcastOption(s), 1) << "a name changes neither address nor option";
    EXPECT_EQ(s.RemoteHostIP(), "127.255.255.255");
    s.SetRemoteHost("127.0.0.1");
    EXPECT_EQ(BroadcastOption(s), 0);
    s.SetRemoteHost("127.0.0.255");
    EXPECT_EQ(BroadcastOption(s), 1);
}

TEST(Udp, TcpObjectsIgnoreBroadcastAndCreateNoSocket) {
    CSocket s;
    s.SetRemoteHost("127.255.255.255");
    EXPECT_EQ(s.SocketHandle(), -1);
    EXPECT_EQ(s.RemoteHostIP(), "127.255.255.255");
}

TEST(Protocol, ChangesOnlyWhileThereIsNoSocket) {
    CSocket s;
    EXPECT_EQ(s.State(), SocketState::Closed);
    EXPECT_EQ(s.SocketHandle(), -1);
    s.SetProtocol(SocketProtocol::Udp);
    EXPECT_EQ(s.Protocol(), SocketProtocol::Udp);
    s.Bind(0, "127.0.0.1");
    s.SetProtocol(SocketProtocol::Tcp);
    EXPECT_EQ(s.Protocol(), SocketProtocol::Udp) << "ignored without an error";
    int32_t type = 0;
    WsGetSockOpt(s.SocketHandle(), WsSolSocket, WsSoType, type);
    EXPECT_EQ(type, 2) << "a datagram socket was created";
}

} // namespace

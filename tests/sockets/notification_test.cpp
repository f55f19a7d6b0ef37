// The notification layer under the socket service: stale notifications after
// fd reuse, and sockets that wait without costing CPU.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "SocketTestSupport.h"
#include "sockets/MSocketSupport.h"
#include "winsock/AsyncSelect.h"
#include "winsock/MessageWindow.h"
#include "winsock/SocketApi.h"

using namespace ostrak;

namespace {

double ThreadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(FdReuse, StaleNotificationNeverReachesTheNextSocket) {
    LoopbackListener listener;
    CSocket keeper;
    keeper.Bind(0, "127.0.0.1");
    auto first = std::make_unique<CSocket>();
    Recorder firstEvents(first.get());
    first->Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    auto p1 = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return firstEvents.Has("Connect"); }));
    const int32_t fd = first->SocketHandle();

    // A reset notification is queued for the first socket; the socket goes
    // before it is delivered and the next socket gets the same fd number.
    ASSERT_TRUE(WsPostSocketNotification(fd, FdClose, 10054));
    first.reset();
    // Lower free numbers are taken up, so that the next socket gets fd.
    std::vector<int> fillers;
    for (int f = ::socket(AF_INET, SOCK_DGRAM, 0); f >= 0 && f != fd;
         f = ::socket(AF_INET, SOCK_DGRAM, 0))
        fillers.push_back(f);
    ::close(fd);
    CSocket second;
    Recorder secondEvents(&second);
    second.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    ASSERT_EQ(second.SocketHandle(), fd) << "the system reuses the lowest free fd";
    auto p2 = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return secondEvents.Has("Connect"); }));
    RunEventsFor(30);
    EXPECT_TRUE(secondEvents.Errors.empty());
    EXPECT_EQ(second.State(), SocketState::Connected);
    EXPECT_EQ(second.SocketHandle(), fd);
    p2->Send("still here");
    secondEvents.ReadOnArrival = true;
    ASSERT_TRUE(WaitUntil([&] { return secondEvents.Received == "still here"; }));
    for (int f : fillers)
        ::close(f);
}

TEST(CloseNotification, IsPostedOnceAfterTheData) {
    LoopbackListener listener;
    CSocket keeper;
    keeper.Bind(0, "127.0.0.1");
    CSocket s;
    Recorder r(&s);
    s.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    auto peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return r.Has("Connect"); }));
    WindowObserver seen(&s);
    int32_t fd = s.SocketHandle();
    peer->Send(std::string(500000, 'q'));
    peer->Close();
    r.ReadOnArrival = true;
    ASSERT_TRUE(WaitUntil([&] { return r.Has("Close"); }));
    RunEventsFor(50);
    EXPECT_EQ(r.Received.size(), 500000u) << "data before the close is offered";
    EXPECT_EQ(seen.Notifications(fd, FdClose), 1);
    EXPECT_EQ(r.Count("Close"), 1);
    EXPECT_GE(seen.Notifications(fd, FdRead), 1);
}

TEST(NoBusyLoop, IdleConnectedListeningAndBlockedSocketsWaitQuietly) {
    LoopbackListener listener;
    CSocket server;
    server.Bind(0, "127.0.0.1");
    server.Listen();
    CSocket idle;
    Recorder idleEvents(&idle);
    idle.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    auto idlePeer = listener.Accept();
    CSocket blocked;
    Recorder blockedEvents(&blocked);
    blocked.Connect(std::string("127.0.0.1"), int32_t(listener.Port()));
    auto deafPeer = listener.Accept(5000, 4096);
    ASSERT_TRUE(
        WaitUntil([&] { return idleEvents.Has("Connect") && blockedEvents.Has("Connect"); }));
    // The peer never reads: the send stops with data left over.
    blocked.SendData(std::string(16 << 20, 'b'));
    ASSERT_FALSE(blockedEvents.Has("SendComplete"));
    // An unread byte waits on the idle socket after its read notification.
    idlePeer->Send("z");
    ASSERT_TRUE(WaitUntil([&] { return idleEvents.Has("Data"); }));
    RunEventsFor(50);

    WindowObserver seen;
    double cpu0 = ThreadCpuSeconds();
    RunEventsFor(400);
    double cpu = ThreadCpuSeconds() - cpu0;
    EXPECT_EQ(seen.SocketMessages(), 0) << "no notification while nothing changes";
    EXPECT_LT(cpu, 0.1) << "waiting sockets must not spin";
    EXPECT_EQ(server.State(), SocketState::Listening);
}

} // namespace

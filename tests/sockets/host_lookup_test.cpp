// Name lookups behind the socket objects: answers kept for a minute by the
// tick counter, lookups under way joined, forward and reverse alike.
#include <atomic>
#include <gtest/gtest.h>

#include "SocketTestSupport.h"
#include "platform/TickCount.h"
#include "support/HostLookupDouble.h"
#include "winsock/SocketApi.h"

using namespace ostrak;

namespace {

const uint32_t Loopback = WsInetAddr("127.0.0.1");

HostAnswer LoopbackAnswer(const std::string& name) {
    return HostAnswer{0, name, Loopback};
}

// Connects a fresh socket object to host and waits for the outcome:
// "connected" or the description of the error.
std::string ConnectVia(const std::string& host, const LoopbackListener& listener,
                       std::string* localHostName = nullptr) {
    CSocket s;
    Recorder r(&s);
    s.Connect(host, int32_t(listener.Port()));
    if (!WaitUntil([&] { return r.Has("Connect") || !r.Errors.empty(); }))
        return "no answer";
    if (localHostName != nullptr)
        *localHostName = s.LocalHostName();
    return r.Errors.empty() ? "connected" : r.Errors[0].Description;
}

TEST(HostLookup, AnswerIsFreshForAMinute) {
    const uint32_t keptAt[] = {1000, 0xFFFFF000u}; // the second wraps
    for (uint32_t k : keptAt) {
        EXPECT_TRUE(HostAnswerFresh(k, k));
        EXPECT_TRUE(HostAnswerFresh(k, k + HostAnswerKeepMs));
        EXPECT_FALSE(HostAnswerFresh(k, k + HostAnswerKeepMs + 1));
    }
    EXPECT_EQ(HostAnswerKeepMs, 60000u);
}

TEST(HostLookup, ForwardAnswerIsReusedUntilItExpires) {
    std::atomic<int> calls{0};
    ScopedHostLookups lookups([&](const std::string& name) {
        ++calls;
        return name == "kept.ostrak.test" ? LoopbackAnswer(name) : HostAnswer{11001, "", 0};
    });
    LoopbackListener listener;
    EXPECT_EQ(ConnectVia("kept.ostrak.test", listener), "connected");
    EXPECT_EQ(ConnectVia("kept.ostrak.test", listener), "connected");
    EXPECT_EQ(calls, 1);
    TickControl::Advance(HostAnswerKeepMs - 1000);
    EXPECT_EQ(ConnectVia("kept.ostrak.test", listener), "connected");
    EXPECT_EQ(calls, 1) << "still fresh";
    TickControl::Advance(2000);
    EXPECT_EQ(ConnectVia("kept.ostrak.test", listener), "connected");
    EXPECT_EQ(calls, 2) << "expired: looked up again";

    // Failures are not kept.
    EXPECT_EQ(ConnectVia("gone.ostrak.test", listener), "Host not found.");
    EXPECT_EQ(ConnectVia("gone.ostrak.test", listener), "Host not found.");
    EXPECT_EQ(calls, 4);
}

TEST(HostLookup, LookupUnderWayIsJoined) {
    auto gate = std::make_shared<LookupGate>();
    std::atomic<int> calls{0};
    ScopedHostLookups lookups([&calls, gate](const std::string& name) {
        ++calls;
        gate->Wait();
        return LoopbackAnswer(name);
    });
    LoopbackListener listener;
    CSocket a, b;
    Recorder ra(&a), rb(&b);
    a.Connect(std::string("slow.ostrak.test"), int32_t(listener.Port()));
    b.Connect(std::string("slow.ostrak.test"), int32_t(listener.Port()));
    RunEventsFor(30);
    EXPECT_EQ(a.State(), SocketState::ResolvingHost);
    EXPECT_EQ(b.State(), SocketState::ResolvingHost);
    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return ra.Has("Connect") && rb.Has("Connect"); }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(b.RemoteHost(), "slow.ostrak.test");
}

TEST(HostLookup, ReverseAnswerIsKeptAndASlowOneHoldsCallersUpOnce) {
    auto gate = std::make_shared<LookupGate>();
    std::atomic<int> calls{0};
    ScopedHostLookups lookups(LoopbackAnswer, [&calls, gate](uint32_t, std::string& name) {
        ++calls;
        gate->Wait();
        name = "reverse.ostrak.test";
        return true;
    });
    LoopbackListener listener;
    std::string local;
    // The first connect waits for the lookup up to its limit, then goes on
    // without a name; the second joins the lookup, whose time is used up.
    EXPECT_EQ(ConnectVia("127.0.0.1", listener, &local), "connected");
    EXPECT_EQ(local, "127.0.0.1");
    EXPECT_EQ(ConnectVia("127.0.0.1", listener, &local), "connected");
    EXPECT_EQ(local, "127.0.0.1");
    EXPECT_EQ(calls, 1);
    gate->Open();
    ASSERT_TRUE(PollUntil([&] {
        std::string name;
        return WsGetHostByAddr(Loopback, name);
    }));
    EXPECT_EQ(ConnectVia("127.0.0.1", listener, &local), "connected");
    EXPECT_EQ(local, "reverse.ostrak.test");
    EXPECT_EQ(calls, 1);
}

} // namespace

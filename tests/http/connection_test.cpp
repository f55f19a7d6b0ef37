// Connection attempts: the watchdog rhythm, and getting out of the error
// state that a refused connection leaves.
#include "FormDriver.h"
#include "winsock/SocketApi.h"
#include "platform/TickCount.h"
#include "support/HostLookupDouble.h"
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace ostrak;

namespace {

bool IsAttempt(int32_t state) {
    return state == SocketState::ResolvingHost || state == SocketState::HostResolved ||
           state == SocketState::Connecting || state == SocketState::Connected;
}

// Ticks n times and returns the ticks (from 1) in which a connect was made.
std::vector<int> ConnectTicks(FormDriver& d, int n) {
    std::vector<int> ticks;
    for (int i = 1; i <= n; ++i) {
        bool before = IsAttempt(d.Form.Winsock1().State());
        d.Form.Timer1_Timer();
        if (!before && IsAttempt(d.Form.Winsock1().State()))
            ticks.push_back(i);
        WaitForEvents(2);
    }
    return ticks;
}

TEST(Connection, UnansweredAttemptIsRenewedEvery22Ticks) {
    UnansweringPort port;
    TempDir dir;
    FormDriver d(port.Port());
    d.Form.RetrieveFile("127.0.0.1", "/f", dir.File("f"));
    // 21 counted ticks, a close on the 22nd, a fresh connect on the next:
    // about every 2.2 s with the 100 ms timer.
    EXPECT_EQ(ConnectTicks(d, 70), (std::vector<int>{1, 23, 45, 67}));
    EXPECT_FALSE(IsTrue(d.Form.DownDone));
    EXPECT_FALSE(IsTrue(d.Form.DownFailed));
}

TEST(Connection, FailedAttemptsKeepTheRhythm) {
    struct Case {
        const char* Name;
        std::string Host;
        int Port;
        std::string Error;
    };
    const Case cases[] = {
        {"refused loopback port", "127.0.0.1", FreeLoopbackPort(), "Connection refused."},
        // Linux refuses a TCP connect to a multicast address at once.
        {"network unreachable at once", "224.0.0.1", 80, "Network is unreachable."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempDir dir;
        FormDriver d(c.Port);
        d.Form.RetrieveFile(c.Host, "/f", dir.File("f"));
        // 50 ticks of 100 ms: three attempts, not one per tick.
        EXPECT_EQ(ConnectTicks(d, 50), (std::vector<int>{1, 23, 45}));
        EXPECT_EQ(d.Form.SocketErrorText, c.Error) << "OnError ran";
        EXPECT_FALSE(IsTrue(d.Form.DownFailed));
    }
}

TEST(Connection, RefusedPortRecoversWhenTheServerComesUp) {
    int port = FreeLoopbackPort();
    TempDir dir;
    TempDir site;
    site.Write("game.dat", "served at last");
    FormDriver d(port);
    d.Form.RetrieveFile("127.0.0.1", "/game.dat", dir.File("game.dat"));
    // Refused attempts leave the error state on the same rhythm.
    EXPECT_EQ(ConnectTicks(d, 50), (std::vector<int>{1, 23, 45}));
    EXPECT_FALSE(d.Form.SocketErrorText.empty());
    EXPECT_FALSE(IsTrue(d.Form.DownFailed));

    PythonHttpServer server(site.Path(), port);
    ASSERT_TRUE(d.TickUntilSettled(200));
    EXPECT_TRUE(IsTrue(d.Form.DownDone)) << d.Form.FailureText;
    EXPECT_EQ(TempDir::Read(dir.File("game.dat")), "served at last");
}

TEST(Connection, NameLookupSlowerThanTheWatchdogStillConnects) {
    // The lookup takes 3 s of the tick counter, which the test moves by
    // 100 ms with every tick (a real 20 s is the lookup's own safety limit).
    auto calls = std::make_shared<std::atomic<int>>(0);
    ScopedHostLookups lookups([calls](const std::string& name) {
        ++*calls;
        const uint32_t start = TickCount();
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ElapsedTicks(start, TickCount()) < 3000 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return HostAnswer{0, name, WsInetAddr("127.0.0.1")};
    });
    ScriptedHttpPeer peer({ScriptedHttpPeer::Answer(Response("Content-Length: 4\r\n", "slow"))});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("slow.ostrak.test", "/f", dir.File("f"));
    // The watchdog abandons the first lookup on tick 22; the connect of tick
    // 23 joins it, and its answer arrives on about tick 31.
    ASSERT_TRUE(d.TickUntil(
        [&] {
            TickControl::Advance(FrmConnect::TimerIntervalMs);
            return IsTrue(d.Form.DownDone) || IsTrue(d.Form.DownFailed);
        },
        60))
        << "not done after " << d.Ticks << " ticks";
    EXPECT_TRUE(IsTrue(d.Form.DownDone)) << d.Form.FailureText;
    EXPECT_EQ(TempDir::Read(dir.File("f")), "slow");
    EXPECT_GT(d.Ticks, 22) << "the first attempt was abandoned";
    EXPECT_EQ(*calls, 1);
}

} // namespace

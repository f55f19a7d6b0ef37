// Connection attempts: the watchdog rhythm, and getting out of the error
// state that a refused connection leaves.
#include "FormDriver.h"
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"

#include <gtest/gtest.h>

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

} // namespace

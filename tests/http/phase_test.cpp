// The phase of the fetch on the current connection, as the client moves
// through a stored fetch and a failed one.
#include "FormDriver.h"
#include "support/ScriptedHttpPeer.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

using Peer = ScriptedHttpPeer;
using Phase = FrmConnect::TransferPhase;

TEST(Phase, StoredFetchPassesEveryPhaseInOrder) {
    Peer peer({{Peer::Read(), Peer::SleepMs(150), Peer::Send("HTTP/1.0 200 OK\r\n"),
                Peer::SleepMs(150), Peer::Send("Content-Length: 8\r\n\r\nabcd"), Peer::SleepMs(150),
                Peer::Send("efgh"), Peer::Close()}});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/f", dir.File("f"));
    EXPECT_EQ(d.Form.Phase(), Phase::Idle);
    std::vector<Phase> seen{d.Form.Phase()};
    ASSERT_TRUE(d.TickUntil([&] {
        if (d.Form.Phase() != seen.back())
            seen.push_back(d.Form.Phase());
        return IsTrue(d.Form.DownDone);
    }));
    EXPECT_EQ(seen, (std::vector<Phase>{Phase::Idle, Phase::Requested, Phase::Header, Phase::Body,
                                        Phase::Idle}));
    EXPECT_EQ(TempDir::Read(dir.File("f")), "abcdefgh");
}

TEST(Phase, FailureInsideASocketEventReleasesTheConnectionOnTheNextTick) {
    // The server answers 404 and keeps the connection open.
    Peer peer(
        {{Peer::Read(), Peer::Send("HTTP/1.0 404 Not Found\r\n\r\nnone"), Peer::WaitForRelease()}});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/f", dir.File("f"));
    // The failure is found inside the data arrival, where the connection
    // cannot be released; the tick after it does that.
    ASSERT_TRUE(d.TickUntil([&] { return IsTrue(d.Form.DownFailed); }, 300));
    EXPECT_EQ(d.Form.Phase(), Phase::Releasing);
    EXPECT_EQ(d.Form.Winsock1().State(), SocketState::Connected);
    d.Tick();
    EXPECT_EQ(d.Form.Phase(), Phase::Idle);
    EXPECT_EQ(d.Form.Winsock1().State(), SocketState::Closed);
    peer.Release();
}

} // namespace

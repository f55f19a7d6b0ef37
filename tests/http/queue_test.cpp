// The five-slot queue and requests that follow one another.
#include "FormDriver.h"
#include "support/FolderNames.h"
#include "support/ScriptedHttpPeer.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

using Peer = ScriptedHttpPeer;

TEST(Queue, SixthRequestIsDropped) {
    std::vector<Peer::Script> scripts;
    for (int i = 1; i <= 6; ++i)
        scripts.push_back(Peer::Answer(Response("", "body" + std::to_string(i))));
    Peer peer(scripts);
    TempDir dir;
    FormDriver d(peer.Port());
    for (int i = 1; i <= 6; ++i)
        d.Form.RetrieveFile("127.0.0.1", "/" + std::to_string(i), dir.File(std::to_string(i)));
    EXPECT_EQ(d.Form.QueuedRequests(), 5);
    // A tick only once the last connection has closed: while requests wait,
    // idle ticks count against a transfer, and a slow machine would let the
    // watchdog cut one short.
    for (int i = 1; i <= 6; ++i) {
        d.Tick();
        for (int ms = 0; ms < 10000 && d.Form.Winsock1().State() != SocketState::Closed; ++ms)
            WaitForEvents(1);
    }
    ASSERT_EQ(d.Form.QueuedRequests(), 0);
    for (int i = 0; i < 30; ++i)
        d.Tick();
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(TempDir::Read(dir.File(std::to_string(i))), "body" + std::to_string(i));
    EXPECT_FALSE(std::filesystem::exists(dir.File("6")));
    ASSERT_EQ(peer.Requests().size(), 5u);
    EXPECT_EQ(peer.Requests()[4].substr(0, 7), "GET /5 ");
}

TEST(Queue, QueuedFilesAreFetchedOneAfterAnotherWithoutATick) {
    Peer peer({Peer::Answer(Response("Content-Length: 5\r\n", "first")),
               Peer::Answer(Response("Content-Length: 6\r\n", "second"))});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/1", dir.File("1"));
    d.Form.RetrieveFile("127.0.0.1", "/2", dir.File("2"));
    // The timer never ticks: the first request connects as events run, the
    // close stores its body, and the second connects right after.
    for (int i = 0; i < 5000 && !std::filesystem::exists(dir.File("2")); ++i)
        WaitForEvents(1);
    ASSERT_TRUE(IsTrue(d.Form.DownDone));
    EXPECT_EQ(TempDir::Read(dir.File("1")), "first");
    EXPECT_EQ(TempDir::Read(dir.File("2")), "second");
}

TEST(Queue, StalledTransferIsClosedAfter21TicksWhenAnotherWaits) {
    Peer peer({{Peer::Read(), Peer::Send(Response("Content-Length: 8\r\n", "abcd")),
                Peer::WaitForClientClose(), Peer::Close()},
               Peer::Answer(Response("Content-Length: 6\r\n", "second"))});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/1", dir.File("1"));
    d.Form.RetrieveFile("127.0.0.1", "/2", dir.File("2"));
    // The four body bytes, not the first four of a header block that
    // arrives in pieces.
    ASSERT_TRUE(d.TickUntil([&] {
        return d.Form.Phase() == FrmConnect::TransferPhase::Body && d.Form.BodyBytes() == 4;
    }));
    for (int i = 1; i <= 20; ++i) {
        d.Tick();
        ASSERT_EQ(d.Form.Winsock1().State(), SocketState::Connected) << "tick " << i;
    }
    d.Form.Timer1_Timer();
    EXPECT_EQ(d.Form.Winsock1().State(), SocketState::Closing);
    // The first fetch ends short of its announced length: a failure; the
    // second goes ahead.
    ASSERT_TRUE(d.TickUntil([&] { return std::filesystem::exists(dir.File("2")); }));
    EXPECT_EQ(TempDir::Read(dir.File("2")), "second");
    EXPECT_FALSE(std::filesystem::exists(dir.File("1")));
}

TEST(Queue, TransferCutByTheWatchdogIsNeverStoredEvenWithoutALength) {
    Peer peer({{Peer::Read(), Peer::Send(Response("", "abcd")), Peer::WaitForClientClose(),
                Peer::Close()},
               Peer::Answer(Response("Content-Length: 6\r\n", "second"))});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/1", dir.File("1"));
    d.Form.RetrieveFile("127.0.0.1", "/2", dir.File("2"));
    // The four body bytes, not the first four of a header block that
    // arrives in pieces.
    ASSERT_TRUE(d.TickUntil([&] {
        return d.Form.Phase() == FrmConnect::TransferPhase::Body && d.Form.BodyBytes() == 4;
    }));
    // The watchdog closes at the 21st tick; the failure follows once the
    // close has gone round. The second fetch may be stored within the same
    // round of events, which clears DownFailed again, so the failure is read
    // from its text, which stays.
    ASSERT_TRUE(d.TickUntil([&] { return std::filesystem::exists(dir.File("2")); }));
    EXPECT_NE(d.Form.FailureText.find("stalled"), std::string::npos) << d.Form.FailureText;
    EXPECT_EQ(TempDir::Read(dir.File("2")), "second");
    EXPECT_FALSE(std::filesystem::exists(dir.File("1")));
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"2"});
}

} // namespace

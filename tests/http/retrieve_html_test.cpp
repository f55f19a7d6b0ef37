// RetrieveHTML: the fetch the installer waits for (the version text).
#include "FormDriver.h"
#include "platform/TickCount.h"
#include "platform/Timer.h"
#include "runtime/Program.h"
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

using Peer = ScriptedHttpPeer;

// Moves the tick counter forward by 1 s every few milliseconds while
// shouldMove() holds, so that 15 s waits pass in a moment.
class ClockMover {
public:
    explicit ClockMover(std::function<bool()> shouldMove) : ShouldMove_(std::move(shouldMove)) {
        Timer_.SetEnabled(true);
    }
    uint32_t Moved() const { return Moved_; }

private:
    std::function<bool()> ShouldMove_;
    uint32_t Moved_ = 0;
    PeriodicTimer Timer_{3, [this] {
                             if (ShouldMove_()) {
                                 TickControl::Advance(1000);
                                 Moved_ += 1000;
                             }
                         }};
};

struct HtmlFixture {
    explicit HtmlFixture(int port) {
        Form.Port = port;
        Form.SetPauseHook([this](int32_t ms) { Pauses.push_back(ms); });
    }
    FrmConnect Form;
    std::vector<int32_t> Pauses;
};

TEST(RetrieveHTML, ReturnsTheBodyFromARealServer) {
    TempDir site;
    site.Write("index.php", "-1234567890");
    PythonHttpServer server(site.Path());
    HtmlFixture f(server.Port());
    std::optional<std::string> body = f.Form.RetrieveHTML("127.0.0.1", "/index.php?h=3");
    ASSERT_TRUE(body.has_value()) << f.Form.FailureText;
    EXPECT_EQ(*body, "-1234567890");
    EXPECT_EQ(f.Form.ResponseText(), "-1234567890");
    EXPECT_TRUE(f.Pauses.empty());
}

TEST(RetrieveHTML, EmptyBodyIsAnEmptyString) {
    Peer peer({Peer::Answer("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n")});
    HtmlFixture f(peer.Port());
    std::optional<std::string> body = f.Form.RetrieveHTML("127.0.0.1", "/v");
    ASSERT_TRUE(body.has_value());
    EXPECT_EQ(*body, "");
}

TEST(RetrieveHTML, StartsOverAfter15Seconds) {
    Peer peer({{Peer::Read(), Peer::WaitForClientClose()},
               Peer::Answer("HTTP/1.0 200 OK\r\n\r\nsecond time")});
    HtmlFixture f(peer.Port());
    ClockMover mover([&] { return peer.Connections() == 1 && f.Pauses.empty(); });
    std::optional<std::string> body = f.Form.RetrieveHTML("127.0.0.1", "/v");
    ASSERT_TRUE(body.has_value()) << f.Form.FailureText;
    EXPECT_EQ(*body, "second time");
    EXPECT_EQ(f.Pauses, std::vector<int32_t>{1000});
    ASSERT_EQ(peer.AcceptTicks().size(), 2u);
    EXPECT_GT(ElapsedTicks(peer.AcceptTicks()[0], peer.AcceptTicks()[1]), 15000u);
}

TEST(RetrieveHTML, GivesUpAfterFourAttempts) {
    Peer peer({{Peer::Read(), Peer::WaitForClientClose()}});
    HtmlFixture f(peer.Port());
    // The clock moves only once the current attempt has its connection.
    ClockMover mover([&] { return peer.Connections() == static_cast<int>(f.Pauses.size()) + 1; });
    std::optional<std::string> body = f.Form.RetrieveHTML("127.0.0.1", "/v");
    EXPECT_FALSE(body.has_value());
    EXPECT_TRUE(IsTrue(f.Form.DownFailed));
    EXPECT_EQ(peer.Connections(), 4);
    EXPECT_EQ(f.Pauses, (std::vector<int32_t>{1000, 1000, 1000}));
    EXPECT_GE(mover.Moved(), 4u * 15000u);
}

TEST(RetrieveHTML, FailedResponsesAreFailedAttempts) {
    const std::string big(FrmConnect::MaxMemoryBody + 1, 'x');
    const std::string exact(FrmConnect::MaxMemoryBody, 'y');
    Peer peer({Peer::Answer("HTTP/1.0 404 Not Found\r\n\r\nnope"),
               Peer::Answer("no header block at all"),
               Peer::Answer("HTTP/1.0 200 OK\r\n\r\n" + big),
               Peer::Answer("HTTP/1.0 200 OK\r\n\r\n" + exact)});
    HtmlFixture f(peer.Port());
    std::optional<std::string> body = f.Form.RetrieveHTML("127.0.0.1", "/v");
    ASSERT_TRUE(body.has_value()) << f.Form.FailureText;
    EXPECT_EQ(body->size(), exact.size());
    EXPECT_EQ(peer.Connections(), 4);
    EXPECT_EQ(f.Pauses.size(), 3u);

    Peer refusing({Peer::Answer("HTTP/1.0 500 Oops\r\n\r\n")});
    HtmlFixture g(refusing.Port());
    EXPECT_FALSE(g.Form.RetrieveHTML("127.0.0.1", "/v").has_value());
    EXPECT_NE(g.Form.FailureText.find("500"), std::string::npos);
    EXPECT_EQ(refusing.Connections(), 4);
}

TEST(RetrieveHTML, TheProgramsEndInsideTheWaitEndsTheFetchAtOnce) {
    Peer peer({{Peer::Read(), Peer::WaitForClientClose()}});
    HtmlFixture f(peer.Port());
    int ends = 0;
    SetEndProgramHook([&](int) { ++ends; });
    // The program ends once the first attempt has its connection; the clock
    // runs fast all along, so every further attempt would come at once.
    PeriodicTimer ender(3, [&] {
        if (peer.Connections() == 1 && ends == 0)
            EndProgram();
    });
    ender.SetEnabled(true);
    ClockMover mover([] { return true; });

    EXPECT_FALSE(f.Form.RetrieveHTML("127.0.0.1", "/v").has_value());
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(peer.Connections(), 1);
    EXPECT_TRUE(f.Pauses.empty());
    SetEndProgramHook(nullptr);
}

} // namespace

// The verified download against a scripted server on loopback: which files
// are fetched, what the file line says, how stalls, failures and wrong bodies
// are retried. The tick counter is moved instead of waiting out stalls.
#include "InstallerSandbox.h"
#include "checksum/clsCRC.h"
#include "http/FrmConnect.h"
#include "http/StallRule.h"
#include "installer/frmSplash.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/TickCount.h"
#include "platform/Timer.h"
#include "sockets/CSocket.h"
#include "support/LockedFile.h"
#include "support/ScriptedHttpPeer.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {

using Peer = ScriptedHttpPeer;

std::string Ok(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string TextOf(const std::string& bytes) {
    return ChecksumText(clsCRC().CalculateString(bytes));
}

class Download : public InstallerSandbox {
protected:
    void SetUp() override {
        InstallerSandbox::SetUp();
        Game = Sandbox.File("game");
        Files::MakeFolders(Game);
        W.ServerHost = "127.0.0.1";
        W.TotalSteps = 10;
        W.FileTextShown = [this](const std::string& t) { Texts.push_back(t); };
    }
    void UseServer(const Peer& peer) {
        W.ServerPort = peer.Port();
        if (W.ConnectForm)
            W.ConnectForm->Port = peer.Port();
    }

    // Moves the tick counter on by ms every few milliseconds of real time
    // while when() holds, so that stalls and pauses pass at once.
    void MoveClock(
        uint32_t ms, std::function<bool()> when = [] { return true; }) {
        ClockStep = [ms, when] {
            if (when())
                TickControl::Advance(ms);
        };
        Clock.SetEnabled(true);
    }
    bool ClientConnected() const {
        return W.ConnectForm && W.ConnectForm->Winsock1().State() == SocketState::Connected;
    }
    std::vector<std::string> Failures() const {
        std::vector<std::string> out;
        for (const auto& t : Texts)
            if (t.rfind("Failure", 0) == 0)
                out.push_back(t);
        return out;
    }
    std::vector<std::string> RetryTexts(const std::string& name, int n, bool final) const {
        std::vector<std::string> out;
        for (int i = 1; i <= n; ++i)
            out.push_back("Failure (" + name + "), retrying... (" + std::to_string(i) + ")");
        if (final)
            out.push_back("Failure (" + name + ")!");
        return out;
    }

    frmSplash W;
    std::string Game;
    std::vector<std::string> Texts;
    std::function<void()> ClockStep;
    PeriodicTimer Clock{5, [this] { ClockStep(); }};
};

TEST_F(Download, VerifyLocalFileKeepsRightFilesAndDeletesWrongOnes) {
    struct Case {
        const char* Name;
        const char* Bytes; // nullptr: no file
        std::string Expected;
        bool Result;
        bool Kept;
    } cases[] = {
        {"missing.dat", nullptr, "0", false, false},
        {"right.dat", "abc", TextOf("abc"), true, true},
        {"wrong.dat", "abd", TextOf("abc"), false, false},
        {"empty.dat", "", "", true, true},
        {"empty-vs-zero.dat", "", "0", false, false},
        {"case.dat", "abc", TextOf("abc") + " ", false, false},
    };
    for (const Case& c : cases) {
        const std::string path = Files::JoinPath(Game, c.Name);
        if (c.Bytes)
            Sandbox.Write("game/" + std::string(c.Name), c.Bytes);
        EXPECT_EQ(IsTrue(W.VerifyLocalFile(path, c.Expected)), c.Result) << c.Name;
        EXPECT_EQ(Files::Exists(path), c.Kept) << c.Name;
    }
}

TEST_F(Download, OnlyMissingOrWrongFilesAreRequestedAndEachIsVerified) {
    Peer peer({Peer::Answer(Ok("new bytes")), Peer::Answer(Ok("lib"))});
    UseServer(peer);
    Sandbox.Write("game/right.pak", "right");
    Sandbox.Write("game/wrong.pak", "stale");
    Sandbox.Write("game/unzip32.dll", "lower-case name on disk");

    EXPECT_TRUE(IsTrue(W.VerifyLocalFile(Files::JoinPath(Game, "right.pak"), TextOf("right"))));
    EXPECT_TRUE(
        IsTrue(W.DownloadFile("right.pak", 2, Game, frmSplash::HasChecksum(TextOf("right")))));
    EXPECT_EQ(Texts.back(), "File OK");

    EXPECT_FALSE(
        IsTrue(W.VerifyLocalFile(Files::JoinPath(Game, "wrong.pak"), TextOf("new bytes"))));
    EXPECT_TRUE(
        IsTrue(W.DownloadFile("wrong.pak", 3, Game, frmSplash::HasChecksum(TextOf("new bytes")))));
    EXPECT_EQ(TempDir::Read(Files::JoinPath(Game, "wrong.pak")), "new bytes");
    EXPECT_EQ(Texts.back(), "Download of wrong.pak done!");

    // The lookup is exact: a name that differs in case is not the file.
    EXPECT_TRUE(IsTrue(W.DownloadFile("Unzip32.dll", 4, Game)));
    EXPECT_EQ(TempDir::Read(Files::JoinPath(Game, "Unzip32.dll")), "lib");

    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].substr(0, 28), "GET /crc/wrong.pak HTTP/1.0\r");
    EXPECT_EQ(requests[1].substr(0, 30), "GET /crc/Unzip32.dll HTTP/1.0\r");
    // Done: the bar at (step + 1) / TotalSteps.
    EXPECT_DOUBLE_EQ(View.Bar().Fraction, 0.5);
}

TEST_F(Download, PercentagesRoundHalvesToEven) {
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\n";
    Peer peer(
        {{Peer::Read(), Peer::Send(head), Peer::SleepMs(150), Peer::Send("a"), Peer::SleepMs(150),
          Peer::Send("bc"), Peer::SleepMs(150), Peer::Send("defgh"), Peer::Close()}});
    UseServer(peer);
    ASSERT_TRUE(IsTrue(W.DownloadFile("p.dat", 0, Game)));
    for (const char* shown : {"Downloading p.dat, 0%...", "Downloading p.dat, 12%...",
                              "Downloading p.dat, 38%...", "Downloading p.dat, 100%..."})
        EXPECT_NE(std::find(Texts.begin(), Texts.end(), shown), Texts.end()) << shown;
    EXPECT_TRUE(Failures().empty());
    // On a line too short for the text, the name is what gets shortened.
    const ScriptedLabel& line = View.Label2();
    EXPECT_EQ(line.Shown.substr(line.Shortened.Start, line.Shortened.Length), "p.dat");
}

TEST_F(Download, ElevenStallsGiveTheRetryTextsThenTheFinalFailure) {
    // Ten answers that never come, then one that comes whole after the last stall.
    std::vector<Peer::Script> scripts(10, {Peer::Read(), Peer::WaitForClientClose()});
    scripts.push_back(
        {Peer::Read(), Peer::WaitForRelease(), Peer::Send(Ok("late")), Peer::Close()});
    Peer peer(scripts);
    UseServer(peer);
    // Once a request is sent and unanswered, the stall time passes at once.
    MoveClock(StallRule::StallMs + 1, [this] { return ClientConnected(); });
    EXPECT_FALSE(IsTrue(W.DownloadFile("big.pak", 0, Game)));
    EXPECT_EQ(Failures(), RetryTexts("big.pak", StallRule::MaxRetries, true));
    EXPECT_EQ(peer.Requests().size(), 11u);
    // The last attempt is abandoned too: its late answer is never stored.
    EXPECT_FALSE(ClientConnected());
    Clock.SetEnabled(false);
    peer.Release();
    WaitTicks(300);
    EXPECT_FALSE(Files::Exists(Files::JoinPath(Game, "big.pak")));
}

TEST_F(Download, SlowTransferNeverStallsAndOneWithoutLengthIsRetriedWhenItHangs) {
    // Every piece of the first body arrives 6.5 s after the one before, each
    // large enough that 30 s hold more than 256 bytes/s.
    const std::string piece(2000, 'x');
    Peer::Script slow = {Peer::Read(),
                         Peer::Send("HTTP/1.0 200 OK\r\nContent-Length: 40000\r\n\r\n")};
    for (int i = 0; i < 20; ++i) {
        slow.push_back(Peer::SleepMs(30));
        slow.push_back(Peer::Send(piece));
    }
    // The second file: no length (progress stays 0), first hangs (ignoring
    // the client's close until released), then comes whole.
    Peer peer({slow,
               {Peer::Read(), Peer::Send("HTTP/1.0 200 OK\r\n\r\nab"), Peer::WaitForRelease()},
               Peer::Answer("HTTP/1.0 200 OK\r\n\r\nabcd")});
    UseServer(peer);
    double seen = -1;
    MoveClock(6500, [this, &seen] {
        if (!W.ConnectForm || W.ConnectForm->DownPerc == seen)
            return false;
        seen = W.ConnectForm->DownPerc;
        return seen > 0;
    });
    const uint32_t start = TickCount();
    ASSERT_TRUE(IsTrue(W.DownloadFile("slow.pak", 0, Game)));
    EXPECT_GT(ElapsedTicks(start, TickCount()), 19u * 6500u);
    EXPECT_TRUE(Failures().empty());

    // Only the connection that hangs after its two bytes sees the time pass.
    MoveClock(StallRule::StallMs + 1,
              [this] { return ClientConnected() && W.ConnectForm->BodyBytes() == 2; });
    // The retry does not wait for the hanging server to close.
    int32_t stateAtRetry = -1;
    W.FileTextShown = [&](const std::string& t) {
        Texts.push_back(t);
        if (stateAtRetry < 0 && !Failures().empty() && t.rfind("Downloading", 0) == 0) {
            stateAtRetry = W.ConnectForm->Winsock1().State();
            peer.Release();
        }
    };
    ASSERT_TRUE(IsTrue(W.DownloadFile("nolength.pak", 1, Game)));
    EXPECT_NE(stateAtRetry, SocketState::Closing);
    EXPECT_EQ(Failures(), RetryTexts("nolength.pak", 1, false));
    EXPECT_EQ(TempDir::Read(Files::JoinPath(Game, "nolength.pak")), "abcd");
}

TEST_F(Download, FailedResponsesAreRetriedASecondApartAndWrongBodiesNeverStay) {
    MoveClock(50); // pauses pass quickly, in ticks
    const Peer::Script failing[] = {
        Peer::Answer("HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"),
        {Peer::Read(), Peer::Send("HTTP/1.0 200 OK\r\nContent-Length: 400000\r\n\r\n"),
         Peer::Send(std::string(50000, 'b')), Peer::Reset()}, // reset mid-body
    };
    for (const Peer::Script& script : failing) {
        Texts.clear();
        Peer peer({script});
        UseServer(peer);
        EXPECT_FALSE(IsTrue(W.DownloadFile("gone.pak", 0, Game)));
        EXPECT_EQ(Failures(), RetryTexts("gone.pak", StallRule::MaxRetries, true));
        const auto ticks = peer.AcceptTicks();
        ASSERT_EQ(ticks.size(), 11u);
        for (size_t i = 1; i < ticks.size(); ++i) {
            // A pause after each failure, but no waiting out a stall.
            EXPECT_GE(ElapsedTicks(ticks[i - 1], ticks[i]),
                      uint32_t(frmSplash::FailedAttemptPauseMs));
            EXPECT_LT(ElapsedTicks(ticks[i - 1], ticks[i]), StallRule::StallMs);
        }
        EXPECT_FALSE(Files::Exists(Files::JoinPath(Game, "gone.pak")));
    }

    // A body with the wrong checksum is deleted and fetched again; one that
    // is never right fails like any other attempt.
    Texts.clear();
    Peer corrupt({Peer::Answer(Ok("garbage")), Peer::Answer(Ok("payload"))});
    UseServer(corrupt);
    EXPECT_TRUE(
        IsTrue(W.DownloadFile("data.pak", 1, Game, frmSplash::HasChecksum(TextOf("payload")))));
    EXPECT_EQ(Failures(), RetryTexts("data.pak", 1, false));
    EXPECT_EQ(TempDir::Read(Files::JoinPath(Game, "data.pak")), "payload");

    Texts.clear();
    Peer alwaysWrong({Peer::Answer(Ok("garbage"))});
    UseServer(alwaysWrong);
    EXPECT_FALSE(
        IsTrue(W.DownloadFile("bad.pak", 1, Game, frmSplash::HasChecksum(TextOf("payload")))));
    EXPECT_EQ(Failures(), RetryTexts("bad.pak", StallRule::MaxRetries, true));
    EXPECT_EQ(alwaysWrong.Requests().size(), 11u);
    EXPECT_FALSE(Files::Exists(Files::JoinPath(Game, "bad.pak")));
}

TEST_F(Download, AWrongFileThatCannotBeDeletedIsNeverCalledPresent) {
    // The path as the download forms it (the kept wrong files are known by it).
    const std::string path = Files::JoinPath(Game, "locked.pak");
    ASSERT_TRUE(Files::WriteWholeFile(path, "stale"));
    LockedFile locked(path);
    if (!locked.Locked())
        GTEST_SKIP() << "files cannot be locked against removal here";
    Peer peer({Peer::Answer(Ok("fresh"))});
    UseServer(peer);
    MoveClock(100);
    EXPECT_FALSE(IsTrue(W.VerifyLocalFile(path, TextOf("fresh"))));
    EXPECT_TRUE(Files::Exists(path));
    // Fetched over it; the locked file refuses the rename, so it fails.
    EXPECT_FALSE(
        IsTrue(W.DownloadFile("locked.pak", 2, Game, frmSplash::HasChecksum(TextOf("fresh")))));
    ASSERT_FALSE(Failures().empty());
    EXPECT_EQ(Failures().back(), "Failure (locked.pak)!");
    EXPECT_EQ(peer.Requests().size(), 11u);
    EXPECT_EQ(TempDir::Read(path), "stale");
    // Once it can be replaced, the next run fetches it.
    locked.Release();
    EXPECT_FALSE(IsTrue(W.VerifyLocalFile(path, TextOf("fresh"))));
    EXPECT_TRUE(
        IsTrue(W.DownloadFile("locked.pak", 2, Game, frmSplash::HasChecksum(TextOf("fresh")))));
    EXPECT_EQ(TempDir::Read(path), "fresh");
}

TEST_F(Download, UnsafeNamesAreNeverJoinedToTheFolder) {
    Peer peer({Peer::Answer(Ok("x"))});
    UseServer(peer);
    for (const std::string name : {"../escape.pak", "sub/file.pak", "", "..", "a\\b"}) {
        Texts.clear();
        EXPECT_FALSE(IsTrue(W.DownloadFile(name, 0, Game))) << name;
        ASSERT_EQ(Texts.size(), 1u) << name;
        EXPECT_EQ(Texts[0].rfind("Failure (", 0), 0u) << name;
    }
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_FALSE(Files::Exists(Sandbox.File("escape.pak")));
}

} // namespace

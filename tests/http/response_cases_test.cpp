// Responses that complete: how the body is stored and how DownPerc moves.
#include "FormDriver.h"
#include "support/FolderNames.h"
#include "support/ScriptedHttpPeer.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

using Peer = ScriptedHttpPeer;

// The response leaves in pieces, 80 ms apart (long enough for each to arrive
// on its own), then the peer closes.
Peer::Script Pieces(const std::vector<std::string>& pieces) {
    Peer::Script script{Peer::Read()};
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            script.push_back(Peer::SleepMs(80));
        script.push_back(Peer::Send(pieces[i]));
    }
    script.push_back(Peer::Close());
    return script;
}

struct Case {
    const char* Name;
    std::vector<std::string> Pieces;
    std::string Body;
    double Perc;
    int64_t Length;
};

const std::string Ok = "HTTP/1.0 200 OK\r\n";

TEST(ResponseCases, BodyStoredAndProgress) {
    const Case cases[] = {
        {"4 bytes in one piece", {Ok + "Content-Length: 4\r\n\r\nabcd"}, "abcd", 0.0, 4},
        {"split after the blank line", {Ok + "Content-Length: 4\r\n\r\n", "abcd"}, "abcd", 1.0, 4},
        {"longer than announced",
         {Ok + "Content-Length: 4\r\n\r\n", "abcdefgh"},
         "abcdefgh",
         2.0,
         4},
        {"lower-case header", {Ok + "content-length: 4\r\n\r\n", "abcd"}, "abcd", 0.0, 0},
        {"X-prefixed header first",
         {Ok + "X-Content-Length: 2\r\nContent-Length: 4\r\n\r\n", "abcd"},
         "abcd",
         2.0,
         2},
        {"containing line announces more than the real header",
         {Ok + "X-Original-Content-Length: 999\r\nContent-Length: 5\r\n\r\n", "abcde"},
         "abcde",
         5.0 / 999,
         999},
        {"only a containing line, announcing more than arrives",
         {Ok + "X-Original-Content-Length: 999\r\n\r\n", "abcde"},
         "abcde",
         5.0 / 999,
         999},
        {"empty body", {Ok + "Content-Length: 0\r\n\r\n"}, "", 0.0, 0},
        {"no Content-Length", {Ok + "Server: t\r\n\r\n", "ab", "cd"}, "abcd", 0.0, 0},
        {"Content-Length not a number",
         {Ok + "Content-Length: four\r\n\r\n", "abcd"},
         "abcd",
         0.0,
         0},
        {"header in pieces",
         {"HTTP/1.0 200 OK\r\nContent-Le", "ngth: 4\r\n\r", "\nab", "cd"},
         "abcd",
         1.0,
         4},
        {"body in pieces", {Ok + "Content-Length: 8\r\n\r\nab", "cdef", "gh"}, "abcdefgh", 1.0, 8},
    };
    std::vector<Peer::Script> scripts;
    for (const Case& c : cases)
        scripts.push_back(Pieces(c.Pieces));
    Peer peer(scripts);
    TempDir dir;
    FormDriver d(peer.Port());
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string target = dir.File("case" + std::to_string(n++));
        d.Form.RetrieveFile("127.0.0.1", "/f", target);
        // One tick connects; the rest of the transfer needs no tick.
        d.Tick();
        int32_t state = d.Form.Winsock1().State();
        for (int i = 0; i < 3000 && state != SocketState::Closed; ++i) {
            d.RunEvents(1);
            state = d.Form.Winsock1().State();
        }
        // The close event stores the body, without a tick.
        ASSERT_EQ(state, SocketState::Closed);
        ASSERT_TRUE(IsTrue(d.Form.DownDone)) << d.Form.FailureText;
        EXPECT_FALSE(IsTrue(d.Form.DownFailed));
        EXPECT_EQ(TempDir::Read(target), c.Body);
        EXPECT_DOUBLE_EQ(d.Form.DownPerc, c.Perc);
        EXPECT_EQ(d.Form.ContentLength(), c.Length);
        // The body is on disk, not in memory.
        EXPECT_EQ(d.Form.ResponseText().find(c.Body.empty() ? "\x01" : c.Body), std::string::npos);
    }
    EXPECT_EQ(FolderNames(dir.Path()).size(), std::size(cases));
}

TEST(ResponseCases, SplitAtEveryByteGivesTheSameFile) {
    const std::string response = Ok + "Content-Length: 10\r\nX-A: b\r\n\r\n0123456789";
    std::vector<Peer::Script> scripts;
    for (size_t k = 1; k < response.size(); ++k)
        scripts.push_back({Peer::Read(), Peer::Send(response.substr(0, k)), Peer::SleepMs(3),
                           Peer::Send(response.substr(k)), Peer::Close()});
    Peer peer(scripts);
    TempDir dir;
    FormDriver d(peer.Port());
    for (size_t k = 1; k < response.size(); ++k) {
        std::string target = dir.File("split" + std::to_string(k));
        d.Form.RetrieveFile("127.0.0.1", "/f", target);
        ASSERT_TRUE(d.TickUntilSettled()) << "split at " << k;
        ASSERT_TRUE(IsTrue(d.Form.DownDone)) << "split at " << k << ": " << d.Form.FailureText;
        EXPECT_EQ(TempDir::Read(target), "0123456789") << "split at " << k;
        EXPECT_EQ(d.Form.ContentLength(), 10) << "split at " << k;
    }
    EXPECT_EQ(peer.Connections(), static_cast<int>(response.size() - 1));
}

// A body is stored while it runs at most MaxBodyExcess past its announced
// length; the byte after that fails the fetch.
TEST(ResponseCases, BodyLongerThanAnnouncedUpToTheLimit) {
    const std::string head = Ok + "Content-Length: 5\r\n\r\n";
    const int64_t limit = 5 + FrmConnect::MaxBodyExcess;
    Peer peer({Peer::Answer(head + std::string(limit, 'b')),
               Peer::Answer(head + std::string(limit + 1, 'b'))});
    TempDir dir;
    FormDriver d(peer.Port());

    d.Form.RetrieveFile("127.0.0.1", "/f", dir.File("at-limit"));
    ASSERT_TRUE(d.TickUntilSettled());
    EXPECT_TRUE(IsTrue(d.Form.DownDone)) << d.Form.FailureText;
    EXPECT_EQ(std::filesystem::file_size(dir.File("at-limit")), static_cast<uintmax_t>(limit));

    d.Form.RetrieveFile("127.0.0.1", "/f", dir.File("past-limit"));
    ASSERT_TRUE(d.TickUntilSettled());
    EXPECT_TRUE(IsTrue(d.Form.DownFailed));
    EXPECT_FALSE(IsTrue(d.Form.DownDone));
    EXPECT_NE(d.Form.FailureText.find("1 MiB past its announced length of 5"), std::string::npos)
        << d.Form.FailureText;
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"at-limit"});
}

TEST(ResponseCases, EndlessBodyFailsWhileTheServerStillSends) {
    // 2 MiB past the announced 5 bytes, and the server never closes.
    Peer::Script endless{Peer::Read(), Peer::Send(Ok + "Content-Length: 5\r\n\r\n")};
    for (int i = 0; i < 32; ++i)
        endless.push_back(Peer::Send(std::string(64 * 1024, 'x')));
    endless.push_back(Peer::WaitForRelease());
    Peer peer({endless});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/f", dir.File("f"));
    ASSERT_TRUE(d.TickUntilSettled());
    EXPECT_TRUE(IsTrue(d.Form.DownFailed));
    EXPECT_NE(d.Form.FailureText.find("1 MiB past"), std::string::npos) << d.Form.FailureText;
    // The connection is let go although the server keeps it open.
    ASSERT_TRUE(d.TickUntil([&] { return d.Form.Winsock1().State() == SocketState::Closed; }, 5));
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
    peer.Release();
}

TEST(ResponseCases, ExistingLongerFileIsReplacedWhole) {
    Peer peer({Peer::Answer(Ok + "Content-Length: 3\r\n\r\nnew")});
    TempDir dir;
    std::string target = dir.Write("game.dat", std::string(5000, 'o'));
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/f", target);
    ASSERT_TRUE(d.TickUntilSettled());
    EXPECT_TRUE(IsTrue(d.Form.DownDone));
    EXPECT_EQ(TempDir::Read(target), "new");
}

} // namespace

// ostrak_fetch, run as a program against a real server.
#include "support/FolderNames.h"
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

using Args = std::vector<std::string>;

ProcessResult Fetch(Args args) {
    args.insert(args.begin(), OSTRAK_FETCH_EXE);
    return RunProcess(args);
}

class FetchTool : public ::testing::Test {
protected:
    void SetUp() override {
        Site.Write("game.dat", std::string(300000, 'g'));
        Site.Write("index.php", "-98765");
        Server = std::make_unique<PythonHttpServer>(Site.Path());
        Address = Server->Address();
    }
    TempDir Site;
    TempDir Out;
    std::unique_ptr<PythonHttpServer> Server;
    std::string Address;
};

TEST_F(FetchTool, StoresAFileWithProgress) {
    std::string target = Out.File("game.dat");
    ProcessResult r = Fetch({Address, "/game.dat", target});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(TempDir::Read(target), std::string(300000, 'g'));
    EXPECT_NE(r.Err.find("%"), std::string::npos);
    EXPECT_NE(r.Err.find("stored 300000 bytes"), std::string::npos);
}

TEST_F(FetchTool, PrintsTheBodyWithoutFile) {
    ProcessResult r = Fetch({Address, "/index.php?h=3"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "-98765");
    // A name with bytes a request line cannot carry raw is encoded.
    Site.Write("caf\xC3\xA9 menu.txt", "served");
    EXPECT_EQ(Fetch({Address, "/caf\xC3\xA9 menu.txt"}).Out, "served");
}

TEST_F(FetchTool, FailureIsReportedAndNothingWritten) {
    std::string target = Out.Write("game.dat", "old");
    ProcessResult r = Fetch({Address, "/absent.dat", target});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("404"), std::string::npos) << r.Err;
    EXPECT_EQ(TempDir::Read(target), "old");
}

TEST_F(FetchTool, BadArguments) {
    EXPECT_EQ(Fetch({}).ExitCode, 2);
    EXPECT_EQ(Fetch({"127.0.0.1:99999", "/x"}).ExitCode, 2);
    EXPECT_EQ(Fetch({"127.0.0.1", "no-slash"}).ExitCode, 2);
}

TEST(FetchToolArguments, RefusedWithTheUsageLineBeforeAnyConnection) {
    ScriptedHttpPeer peer({ScriptedHttpPeer::Answer("HTTP/1.0 200 OK\r\n\r\nbody")});
    const std::string port = std::to_string(peer.Port());
    TempDir out;
    const std::string file = out.File("f");
    const Args cases[] = {
        {"127.0.0.1:" + port, "/x", ""},
        {"127.0.0.1:" + port + ":" + port, "/x"},
        {"127.0.0.1:80:" + port, "/x", file},
        {"[::1]:" + port, "/x"},
        {"::1", "/x"},
        {"127.0.0.1 :" + port, "/x"},
        {"host/evil:" + port, "/x"},
        {":" + port, "/x"},
        {"127.0.0.1:" + port, "", file},
    };
    for (const Args& args : cases) {
        std::string shown;
        for (const std::string& arg : args)
            shown += (shown.empty() ? "" : " | ") + arg;
        SCOPED_TRACE(shown);
        ProcessResult r = Fetch(args);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_NE(r.Err.find("\nUsage: ostrak_fetch HOST[:PORT] PATH [FILE]\n"), std::string::npos)
            << r.Err;
    }
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_TRUE(FolderNames(out.Path()).empty());
    // The accepted forms still fetch.
    ProcessResult ok = Fetch({"127.0.0.1:" + port, "/x"});
    EXPECT_EQ(ok.ExitCode, 0) << ok.Err;
    EXPECT_EQ(ok.Out, "body");
}

TEST(FetchToolOutput, WhatTheServerSaysIsEscaped) {
    const std::string hostile = "HTTP/1.0 404 \x1b[2J\x1b[H\x07\\x41 stored OK\xff";
    ScriptedHttpPeer peer({ScriptedHttpPeer::Answer(hostile + "\r\nContent-Length: 0\r\n\r\n")});
    TempDir out;
    ProcessResult r = Fetch({"127.0.0.1:" + std::to_string(peer.Port()), "/f", out.File("f")});
    EXPECT_EQ(r.ExitCode, 1);
    for (char c : r.Err)
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F))
            << "raw byte " << int(c) << " in " << r.Err;
    EXPECT_NE(r.Err.find(R"(404 \x1b[2J\x1b[H\x07\\x41 stored OK\xff)"), std::string::npos)
        << r.Err;
}

} // namespace

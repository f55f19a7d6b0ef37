// ostrak_fetch, run as a program against a real server.
#include "FormDriver.h"
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"
#include "support/TempDir.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {

struct FetchRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

FetchRun Fetch(const QStringList& args) {
    QProcess p;
    p.start(OSTRAK_FETCH_EXE, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

class FetchTool : public ::testing::Test {
protected:
    void SetUp() override {
        Site.Write("game.dat", std::string(300000, 'g'));
        Site.Write("index.php", "-98765");
        Server = std::make_unique<PythonHttpServer>(Site.Path());
        Address = QString::fromStdString(Server->Address());
    }
    TempDir Site;
    TempDir Out;
    std::unique_ptr<PythonHttpServer> Server;
    QString Address;
};

TEST_F(FetchTool, StoresAFileWithProgress) {
    std::string target = Out.File("game.dat");
    FetchRun r = Fetch({Address, "/game.dat", QString::fromStdString(target)});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(TempDir::Read(target), std::string(300000, 'g'));
    EXPECT_NE(r.Err.find("%"), std::string::npos);
    EXPECT_NE(r.Err.find("stored 300000 bytes"), std::string::npos);
}

TEST_F(FetchTool, PrintsTheBodyWithoutFile) {
    FetchRun r = Fetch({Address, "/index.php?h=3"});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Out, "-98765");
}

TEST_F(FetchTool, FailureIsReportedAndNothingWritten) {
    std::string target = Out.Write("game.dat", "old");
    FetchRun r = Fetch({Address, "/absent.dat", QString::fromStdString(target)});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("404"), std::string::npos) << r.Err;
    EXPECT_EQ(TempDir::Read(target), "old");
}

TEST_F(FetchTool, BadArguments) {
    EXPECT_EQ(Fetch({}).Exit, 2);
    EXPECT_EQ(Fetch({"127.0.0.1:99999", "/x"}).Exit, 2);
    EXPECT_EQ(Fetch({"127.0.0.1", "no-slash"}).Exit, 2);
}

TEST(FetchToolArguments, RefusedWithTheUsageLineBeforeAnyConnection) {
    ScriptedHttpPeer peer({ScriptedHttpPeer::Answer("HTTP/1.0 200 OK\r\n\r\nbody")});
    const QString port = QString::number(peer.Port());
    TempDir out;
    const QString file = QString::fromStdString(out.File("f"));
    const QStringList cases[] = {
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
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(" | ").toStdString());
        FetchRun r = Fetch(args);
        EXPECT_EQ(r.Exit, 2);
        EXPECT_NE(r.Err.find("\nUsage: ostrak_fetch HOST[:PORT] PATH [FILE]\n"), std::string::npos)
            << r.Err;
    }
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_TRUE(FolderEntries(out.Path()).empty());
    // The accepted forms still fetch.
    FetchRun ok = Fetch({"127.0.0.1:" + port, "/x"});
    EXPECT_EQ(ok.Exit, 0) << ok.Err;
    EXPECT_EQ(ok.Out, "body");
}

TEST(FetchToolOutput, WhatTheServerSaysIsEscaped) {
    const std::string hostile = "HTTP/1.0 404 \x1b[2J\x1b[H\x07\\x41 stored OK\xff";
    ScriptedHttpPeer peer({ScriptedHttpPeer::Answer(hostile + "\r\nContent-Length: 0\r\n\r\n")});
    TempDir out;
    FetchRun r = Fetch(
        {"127.0.0.1:" + QString::number(peer.Port()), "/f", QString::fromStdString(out.File("f"))});
    EXPECT_EQ(r.Exit, 1);
    for (char c : r.Err)
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F))
            << "raw byte " << int(c) << " in " << r.Err;
    EXPECT_NE(r.Err.find(R"(404 \x1b[2J\x1b[H\x07\\x41 stored OK\xff)"), std::string::npos)
        << r.Err;
}

} // namespace

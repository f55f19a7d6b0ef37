// ostrak_fetch, run as a program against a real server.
#include "support/HttpServers.h"
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

} // namespace

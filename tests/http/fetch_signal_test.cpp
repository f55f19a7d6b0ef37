// ostrak_fetch as a program: what it leaves in the target's folder when it
// is stopped by a signal in the middle of a body, when the rename at the end
// fails, and what it sweeps away when it starts a file.
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"
#include "support/TempDir.h"

#include <QProcess>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace ostrak;

namespace {

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

bool HasTemporaryFile(const std::string& folder) {
    for (const std::string& name : Names(folder))
        if (name.rfind(".ostrak-part-", 0) == 0)
            return true;
    return false;
}

// Starts ostrak_fetch; the caller waits for it.
void StartFetch(QProcess& p, const QStringList& args) {
    p.start(OSTRAK_FETCH_EXE, args);
    ASSERT_TRUE(p.waitForStarted(10000));
}

// The signal that ended p, 0 when it ended otherwise or not in time.
int EndingSignal(QProcess& p) {
    if (p.state() != QProcess::NotRunning)
        p.waitForFinished(20000);
    if (p.state() != QProcess::NotRunning || p.exitStatus() != QProcess::CrashExit)
        return 0;
    return p.exitCode(); // the signal number after a crash exit
}

} // namespace

// A server sends the header and part of the body, then waits: the fetcher
// has its temporary file open when the signal comes, and removes it.
TEST(FetchSignals, TemporaryFileGoesWithTheProgram) {
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 10000000\r\n\r\n";
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        ScriptedHttpPeer peer(
            {{ScriptedHttpPeer::Read(), ScriptedHttpPeer::Send(head + std::string(200000, 'p')),
              ScriptedHttpPeer::WaitForRelease()}});
        TempDir out;
        QProcess fetch;
        StartFetch(fetch, {QStringLiteral("127.0.0.1:%1").arg(peer.Port()), "/big.dat",
                           QString::fromStdString(out.File("big.dat"))});
        // The temporary file appears once the header is in.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HasTemporaryFile(out.Path()) && std::chrono::steady_clock::now() < deadline &&
               fetch.state() == QProcess::Running)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(HasTemporaryFile(out.Path())) << fetch.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(fetch.processId()), signal);
        EXPECT_EQ(EndingSignal(fetch), signal);
        EXPECT_EQ(Names(out.Path()), std::set<std::string>{});
        peer.Release();
    }
}

class FetchFiles : public ::testing::Test {
protected:
    void SetUp() override {
        Site.Write("game.dat", "game data");
        Server = std::make_unique<PythonHttpServer>(Site.Path());
    }
    int Fetch(const std::string& target, std::string* err = nullptr) {
        QProcess p;
        StartFetch(p, {QString::fromStdString(Server->Address()), "/game.dat",
                       QString::fromStdString(target)});
        p.waitForFinished(60000);
        if (err != nullptr)
            *err = p.readAllStandardError().toStdString();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    TempDir Site;
    TempDir Out;
    std::unique_ptr<PythonHttpServer> Server;
};

// The rename at the end fails on a folder: the fetch fails with the
// system's reason and no temporary file stays.
TEST_F(FetchFiles, TargetThatIsAFolderLeavesNoTemporaryFile) {
    std::filesystem::create_directory(Out.File("game.dat"));
    std::string err;
    EXPECT_EQ(Fetch(Out.File("game.dat"), &err), 1);
    EXPECT_NE(err.find("cannot write " + Out.File("game.dat") + ": Is a directory"),
              std::string::npos)
        << err;
    EXPECT_EQ(Names(Out.Path()), std::set<std::string>{"game.dat"});
}

TEST_F(FetchFiles, NamesOf243And255BytesAreStored) {
    for (size_t length : {size_t{243}, size_t{255}}) {
        const std::string target = Out.File(std::string(length, 'g'));
        std::string err;
        EXPECT_EQ(Fetch(target, &err), 0) << length << ": " << err;
        EXPECT_EQ(TempDir::Read(target), "game data");
    }
    EXPECT_EQ(Names(Out.Path()).size(), 2u);
}

// Temporary files that killed runs left over a minute ago go at the next
// fetch into the folder; a fresh one and names not of our form stay.
TEST_F(FetchFiles, StaleTemporaryFilesAreSweptByTheNextFetch) {
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const char* name : {".ostrak-part-Killed", ".game.dat.part-Abc123", "keep.dat"})
        std::filesystem::last_write_time(Out.Write(name, "left"), old);
    Out.Write(".ostrak-part-Fresh1", "another fetch's");
    EXPECT_EQ(Fetch(Out.File("game.dat")), 0);
    EXPECT_EQ(Names(Out.Path()),
              (std::set<std::string>{".game.dat.part-Abc123", ".ostrak-part-Fresh1", "game.dat",
                                     "keep.dat"}));
}

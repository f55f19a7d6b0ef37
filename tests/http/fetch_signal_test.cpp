// ostrak_fetch as a program: what it leaves in the target's folder when it
// is stopped by a signal in the middle of a body, when the rename at the end
// fails, and what it sweeps away when it starts a file.
#include "support/FolderNames.h"
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {

bool HasTemporaryFile(const std::string& folder) {
    for (const std::string& name : FolderNames(folder))
        if (name.rfind(".ostrak-part-", 0) == 0)
            return true;
    return false;
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
        ChildProcess fetch({OSTRAK_FETCH_EXE, "127.0.0.1:" + std::to_string(peer.Port()),
                            "/big.dat", out.File("big.dat")},
                           ProcessOptions{});
        // The temporary file appears once the header is in.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HasTemporaryFile(out.Path()) && std::chrono::steady_clock::now() < deadline &&
               !fetch.Wait(5)) {
        }
        ASSERT_TRUE(HasTemporaryFile(out.Path())) << fetch.Err();
        fetch.Signal(signal);
        fetch.Wait(20000);
        EXPECT_EQ(fetch.EndingSignal(), signal);
        EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{});
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
        const ProcessResult r =
            RunProcess({OSTRAK_FETCH_EXE, Server->Address(), "/game.dat", target});
        if (err != nullptr)
            *err = r.Err;
        return r.ExitCode;
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
    EXPECT_EQ(FolderNames(Out.Path()), std::vector<std::string>{"game.dat"});
}

TEST_F(FetchFiles, NamesOf243And255BytesAreStored) {
    for (size_t length : {size_t{243}, size_t{255}}) {
        const std::string target = Out.File(std::string(length, 'g'));
        std::string err;
        EXPECT_EQ(Fetch(target, &err), 0) << length << ": " << err;
        EXPECT_EQ(TempDir::Read(target), "game data");
    }
    EXPECT_EQ(FolderNames(Out.Path()).size(), 2u);
}

// Temporary files that killed runs left over a minute ago go at the next
// fetch into the folder; a fresh one and names not of our form stay.
TEST_F(FetchFiles, StaleTemporaryFilesAreSweptByTheNextFetch) {
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const char* name : {".ostrak-part-Killed", ".game.dat.part-Abc123", "keep.dat"})
        std::filesystem::last_write_time(Out.Write(name, "left"), old);
    Out.Write(".ostrak-part-Fresh1", "another fetch's");
    EXPECT_EQ(Fetch(Out.File("game.dat")), 0);
    EXPECT_EQ(FolderNames(Out.Path()),
              (std::vector<std::string>{".game.dat.part-Abc123", ".ostrak-part-Fresh1", "game.dat",
                                        "keep.dat"}));
}

// SIGKILL in the middle of a large body, for ostrak_fetch and for the
// installer: the target is absent or the old file, only a temporary file
// remains, and the next run ignores it while it is fresh and removes it once
// it is stale.
#include "faults/FaultCase.h"
#include "faults/FaultServer.h"
#include "platform/Files.h"
#include "platform/TemporaryFiles.h"
#include "support/LoopbackPeer.h"

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace ostrak;

namespace {

// A body large enough to be caught half written (the client writes in 64 KiB
// pieces).
std::string LargeBody() {
    std::string body;
    for (int i = 0; body.size() < 1024 * 1024; ++i)
        body += std::to_string(i * 7919) + ",";
    return body;
}

// Waits until a temporary file of at least 128 KiB is in folder, then kills child.
void KillMidBody(ChildProcess& child, const std::string& folder) {
    std::string temporary;
    ASSERT_TRUE(PollUntil(
        [&] {
            for (const std::string& name : FaultCase::Temporaries(folder)) {
                struct stat st {};
                if (::stat((folder + "/" + name).c_str(), &st) == 0 && st.st_size >= 128 * 1024)
                    return true;
            }
            return false;
        },
        10000, 10))
        << "no half-written temporary file in " << folder;
    child.Signal(SIGKILL);
    ASSERT_EQ(child.WaitForEndingSignal(), SIGKILL);
}

// Makes the temporary files in folder look two minutes old.
void AgeTemporaries(const std::string& folder) {
    for (const std::string& name : FaultCase::Temporaries(folder)) {
        timespec times[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder + "/" + name).c_str(), times, 0), 0);
    }
}

class Killed : public FaultCase {};

TEST_F(Killed, FetchLeavesTheOldTargetAndTheNextFetchesIgnoreThenSweepIt) {
    Publish({{"a.pak", LargeBody()}});
    FaultServer server(Release.Path());
    server.SetFault("/crc/a.pak", FaultServer::Fault::Hold, 1);
    const std::string target = Sandbox.Write("a.pak", "old copy");
    const std::vector<std::string> fetch = {OSTRAK_FETCH_BIN, server.Address(), "/crc/a.pak",
                                            target};
    {
        ChildProcess child(fetch, ProcessOptions());
        KillMidBody(child, Sandbox.Path());
    }
    EXPECT_EQ(TempDir::Read(target), "old copy");
    const std::vector<std::string> left = Temporaries(Sandbox.Path());
    ASSERT_EQ(left.size(), 1u);

    // A fresh leftover may belong to a live transfer: ignored.
    ProcessResult second = RunProcess(fetch, {}, 20000);
    EXPECT_EQ(second.ExitCode, 0) << second.Err;
    EXPECT_EQ(TempDir::Read(target), Served("a.pak"));
    EXPECT_EQ(Temporaries(Sandbox.Path()), left);

    // A stale one is swept by the next fetch into the folder.
    AgeTemporaries(Sandbox.Path());
    ProcessResult third = RunProcess(fetch, {}, 20000);
    EXPECT_EQ(third.ExitCode, 0) << third.Err;
    EXPECT_EQ(TempDir::Read(target), Served("a.pak"));
    EXPECT_TRUE(Temporaries(Sandbox.Path()).empty());
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(Killed, InstallerLeavesNoTornFileAndTheNextClickSweepsAndRepairs) {
    Publish({{"a.pak", LargeBody()}});
    FaultServer server(Release.Path());
    Server = server.Address();
    server.SetFault("/crc/a.pak", FaultServer::Fault::Hold, 1);
    Files::MakeFolders(Game);
    const std::string old = Sandbox.Write("old-a.pak", "old a.pak of an earlier release");
    ASSERT_TRUE(Files::WriteWholeFile(Game + "/a.pak", TempDir::Read(old)));
    {
        ChildProcess child({FAULT_INSTALL_BIN, Game}, InstallerEnvironment());
        KillMidBody(child, Game);
    }
    // The wrong a.pak was removed before its download; nothing torn is
    // under a real name.
    std::vector<std::string> names = Names(Game);
    const std::vector<std::string> left = Temporaries(Game);
    ASSERT_EQ(left.size(), 1u);
    names.erase(std::find(names.begin(), names.end(), left[0]));
    EXPECT_EQ(names, (std::vector<std::string>{"dta.lst", "ostrak.exe"}));
    ExpectServedCopies(Game, names);

    AgeTemporaries(Game);
    ProcessResult again = Installer(Game, false);
    EXPECT_EQ(again.ExitCode, 0) << again.Out << again.Err;
    EXPECT_EQ(Names(Game), InstallFolderFiles());
    ExpectServedCopies(Game, InstallFolderFiles());
    EXPECT_EQ(TempDir::Read(System32 + "/gdiplus.dll"), Served("gdiplus.dll"));
}

} // namespace

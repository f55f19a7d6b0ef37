// A full disk under the install folder (a small tmpfs where this process may
// mount one), and a file-size limit (RLIMIT_FSIZE, in a child process):
// the action ends in the error exit, no partial file is under a real name,
// and the files of the earlier install are intact.
#include "faults/FaultCase.h"
#include "faults/FaultServer.h"
#include "platform/Files.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {

// Larger than the disk and the size limit below.
const std::string LargePak(512 * 1024, 'p');

class DiskFull : public FaultCase {
protected:
    // Installs the small release into folder, then publishes one whose
    // a.pak no longer fits and runs the installer again (prefix: how it is
    // started); checks the error exit and what the folder holds.
    void InstallThenOutgrow(const std::string& folder, const std::vector<std::string>& prefix) {
        FaultServer server(Release.Path());
        Server = server.Address();
        ProcessResult first = Installer(folder, true);
        ASSERT_EQ(first.ExitCode, 0) << first.Out << first.Err;
        ExpectServedCopies(folder, InstallFolderFiles());
        const std::string oldB = Served("b.pak");

        Publish({{"a.pak", LargePak}});
        ProcessResult full = Installer(folder, true, prefix);
        EXPECT_EQ(full.Signal, 0);
        EXPECT_EQ(full.ExitCode, 3) << full.Out << full.Err;
        EXPECT_NE(full.Out.find("box: Disk full!\n"), std::string::npos) << full.Out;
        EXPECT_NE(full.Out.find("file line: Failure (a.pak)!\n"), std::string::npos) << full.Out;
        // a.pak was wrong, so it went before its download; nothing took its
        // place, no temporary file stayed, the rest is whole.
        EXPECT_EQ(Names(folder), (std::vector<std::string>{"CGZipLibrary.dll", "Unzip32.dll",
                                                           "b.pak", "dta.lst", "ostrak.exe"}));
        ExpectServedCopies(folder, {"CGZipLibrary.dll", "Unzip32.dll", "dta.lst", "ostrak.exe"});
        EXPECT_EQ(TempDir::Read(folder + "/b.pak"), oldB);
        // One attempt of a.pak after the first install's: no retry fills a full disk.
        const std::vector<std::string> asked = server.Requests();
        EXPECT_EQ(std::count(asked.begin(), asked.end(), "/crc/a.pak"), 2);
    }
};

TEST_F(DiskFull, SmallTmpfsAsTheInstallFolder) {
    if (!CanMount())
        GTEST_SKIP() << "this process may not mount a tmpfs; the size limit case covers it";
    const std::string folder = Sandbox.File("disk");
    Files::MakeFolders(folder);
    TmpfsMount disk(folder, "size=256k");
    ASSERT_TRUE(disk.Mounted());
    InstallThenOutgrow(folder, {});
}

TEST_F(DiskFull, FileSizeLimitEndsInTheErrorExitNotInSigxfsz) {
    InstallThenOutgrow(Game, {"prlimit", "--fsize=262144", "--"});
}

TEST_F(DiskFull, FileSizeLimitFailsTheFetchAndKeepsTheOldTarget) {
    Publish({{"a.pak", LargePak}});
    FaultServer server(Release.Path());
    const std::string target = Sandbox.Write("a.pak", "old copy");
    ProcessResult r = RunProcess({"prlimit", "--fsize=262144", "--", OSTRAK_FETCH_BIN,
                                  server.Address(), "/crc/a.pak", target},
                                 {}, 20000);
    EXPECT_EQ(r.Signal, 0);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Err.find("ostrak_fetch: failed: cannot write"), std::string::npos) << r.Err;
    EXPECT_EQ(TempDir::Read(target), "old copy");
    EXPECT_TRUE(Temporaries(Sandbox.Path()).empty());
}

} // namespace

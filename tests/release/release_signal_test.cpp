// ostrak_release interrupted: the new tree is built beside OUT_DIR, never
// inside the folder the web server serves; SIGINT, SIGTERM and SIGHUP take
// it away; a tree that a killed run left is swept by the next run.
//
// The tool is held mid-run deterministically: its standard output goes to a
// small pipe the test does not read, so once the pipe is full the tool
// blocks in the middle of its file lines, with the new tree half built.
#include "ReleaseTool.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace ostrak;

namespace {

constexpr int PipeBytes = 4096;

// A source whose file lines (about 130 bytes each) overflow the pipe and the
// tool's output buffer, whatever pipe size the system grants.
void WriteManyFiles(const std::string& source, int pipeCapacity) {
    WriteFixedFiles(source);
    const int count = std::min(250, (pipeCapacity + 8192) / 120 + 20);
    for (int i = 0; i < count; ++i)
        std::ofstream(source + "/f" + std::to_string(1000 + i) + std::string(110, 'x'))
            << RandomBytes(2000, static_cast<unsigned>(i));
}

// Waits until the tool's output fills its pipe (the tool is then mid-run).
bool WaitUntilBlocked(const ChildProcess& tool) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (tool.PendingOutput() < tool.PipeCapacity()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : FolderNames(folder))
        if (name.rfind(".ostrak-part-", 0) == 0)
            found.push_back(name);
    return found;
}

// root/src holds the release, root/site/crc an earlier one.
struct Site {
    TempDir Root;
    std::string Source = Root.File("src");
    std::string Out = Root.File("site");
    std::vector<std::string> Earlier;
    int Capacity = 0;

    Site() {
        std::filesystem::create_directory(Source);
        WriteFixedFiles(Source);
        EXPECT_EQ(RunRelease({Source, Out}).ExitCode, 0);
        Earlier = FolderNames(Out + "/crc");
        int fds[2];
        if (::pipe(fds) == 0) {
            ::fcntl(fds[0], F_SETPIPE_SZ, PipeBytes);
            Capacity = ::fcntl(fds[0], F_GETPIPE_SZ);
            ::close(fds[0]);
            ::close(fds[1]);
        }
        WriteManyFiles(Source, Capacity);
    }
    std::unique_ptr<ChildProcess> Start() {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{OSTRAK_RELEASE_BIN, Source, Out, "--seed", "4"}, PipeBytes);
    }
};

} // namespace

TEST(ReleaseSignals, TreeIsBuiltBesideOutDirAndGoesWithTheTool) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        Site s;
        auto tool = s.Start();
        ASSERT_TRUE(WaitUntilBlocked(*tool));
        // Mid-run: nothing new inside OUT_DIR, the new tree beside it.
        EXPECT_EQ(FolderNames(s.Out), std::vector<std::string>{"crc"});
        EXPECT_EQ(FolderNames(s.Out + "/crc"), s.Earlier);
        const auto building = Temporaries(s.Root.Path());
        ASSERT_EQ(building.size(), 1u);
        EXPECT_GT(FolderNames(s.Root.File(building[0])).size(), 4u);

        tool->Signal(signal);
        EXPECT_EQ(tool->WaitForEndingSignal(), signal);
        EXPECT_EQ(FolderNames(s.Root.Path()), (std::vector<std::string>{"site", "src"}));
        EXPECT_EQ(FolderNames(s.Out + "/crc"), s.Earlier);
    }
}

// SIGKILL cannot be caught: the half-built tree stays until a later run
// finds it unchanged for over a minute. A tree of another run still being
// built (fresh) is left alone.
TEST(ReleaseSignals, TreeOfAKilledRunIsSweptByTheNextRun) {
    Site s;
    auto tool = s.Start();
    ASSERT_TRUE(WaitUntilBlocked(*tool));
    tool->Signal(SIGKILL);
    EXPECT_EQ(tool->WaitForEndingSignal(), SIGKILL);
    const auto left = Temporaries(s.Root.Path());
    ASSERT_EQ(left.size(), 1u);
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const std::string& name : FolderNames(s.Root.File(left[0])))
        std::filesystem::last_write_time(s.Root.File(left[0] + "/" + name), old);
    std::filesystem::last_write_time(s.Root.File(left[0]), old);
    std::filesystem::create_directory(s.Root.File(".ostrak-part-Fresh1"));

    const ProcessResult r = RunRelease({s.Source, s.Out});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(FolderNames(s.Root.Path()),
              (std::vector<std::string>{".ostrak-part-Fresh1", "site", "src"}));
    EXPECT_GT(FolderNames(s.Out + "/crc").size(), s.Earlier.size());
}

// OUT_DIR as a file system of its own (a mount point, as a container's
// volume would be): a folder cannot be renamed into it from beside it, so
// the tree is built inside it under a hidden temporary name, and replaced
// as usual. Runs in a private mount namespace (unshare), skipped where the
// system does not allow one.
TEST(ReleaseSignals, OutDirThatIsAMountPoint) {
    if (RunProcess({"/usr/bin/unshare", "-rm", "true"}).ExitCode != 0)
        GTEST_SKIP() << "no private mount namespace here";
    TempDir root;
    const std::string source = root.File("src"), out = root.File("site");
    std::filesystem::create_directory(source);
    std::filesystem::create_directory(out);
    WriteFixedFiles(source);
    std::ofstream(source + "/a.pak") << "a";
    const std::string script = R"(mount -t tmpfs tmpfs "$1" && "$2" "$3" "$1" >/dev/null &&
        "$2" "$3" "$1" >/dev/null && ls -A "$1" && ls "$1/crc" | wc -l && ls -A "$4")";
    const ProcessResult r = RunProcess({"/usr/bin/unshare", "-rm", "/bin/sh", "-c", script, "sh",
                                        out, OSTRAK_RELEASE_BIN, source, root.Path()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "crc\n7\nsite\nsrc\n");
}

// The shared helpers themselves: starting processes and listing folders.
#include "support/FolderNames.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace ostrak;

TEST(Subprocess, RunsWithItsEnvironmentFolderAndOutputs) {
    TempDir dir;
    setenv("OSTRAK_HELPER_GONE", "set in the test", 1);
    const ProcessResult r =
        RunProcess({"/bin/sh", "-c",
                    "pwd; echo \"$OSTRAK_HELPER_NEW|${OSTRAK_HELPER_GONE-unset}\"; "
                    "cat; echo to-err >&2; exit 3"},
                   ProcessOptions()
                       .SetEnv("OSTRAK_HELPER_NEW", "new")
                       .UnsetEnv("OSTRAK_HELPER_GONE")
                       .InFolder(dir.Path()));
    unsetenv("OSTRAK_HELPER_GONE");
    EXPECT_TRUE(r.Ended);
    EXPECT_EQ(r.ExitCode, 3);
    EXPECT_EQ(r.Signal, 0);
    // stdin is empty: cat ends at once.
    EXPECT_EQ(r.Out, std::filesystem::canonical(dir.Path()).string() + "\nnew|unset\n");
    EXPECT_EQ(r.Err, "to-err\n");
    EXPECT_THROW(RunProcess({dir.File("missing")}), std::runtime_error);
}

TEST(Subprocess, BoundedWaitsSignalsAndStdin) {
    // Still running at the bound: killed.
    const ProcessResult late = RunProcess({"/bin/sleep", "30"}, {}, 50);
    EXPECT_FALSE(late.Ended);
    EXPECT_EQ(late.Signal, SIGKILL);
    EXPECT_EQ(late.ExitCode, -1);

    ChildProcess echo({"/bin/sh", "-c", "while read l; do echo \"got $l\"; done; exit 5"},
                      ProcessOptions().WithInput().WithLineOutput());
    std::string line;
    EXPECT_FALSE(echo.ReadLine(line, 20));
    ASSERT_TRUE(echo.Write("one\ntwo\n"));
    ASSERT_TRUE(echo.ReadLine(line, 10000));
    EXPECT_EQ(line, "got one");
    ASSERT_TRUE(echo.ReadLine(line, 10000));
    EXPECT_EQ(line, "got two");
    EXPECT_FALSE(echo.Wait(0));
    echo.CloseInput();
    EXPECT_TRUE(echo.Wait(10000));
    EXPECT_EQ(echo.ExitCode(), 5);
    EXPECT_FALSE(echo.Write("late\n")); // no SIGPIPE in the test

    ChildProcess sleeper({"/bin/sleep", "30"}, ProcessOptions{});
    EXPECT_FALSE(sleeper.Wait(20));
    sleeper.Stop();
    EXPECT_EQ(sleeper.EndingSignal(), SIGTERM);
    EXPECT_EQ(sleeper.ExitCode(), -1);
}

TEST(FolderNames, SortedHiddenIncludedLinksNotFollowed) {
    TempDir dir;
    dir.Write("b", "");
    dir.Write(".hidden", "");
    std::filesystem::create_directories(dir.File("A/sub"));
    dir.Write("A/sub/f", "");
    std::filesystem::create_directory_symlink(dir.File("A"), dir.File("link"));
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{".hidden", "A", "b", "link"}));
    EXPECT_EQ(FolderNames(dir.Path(), Depth::Tree),
              (std::vector<std::string>{".hidden", "A", "A/sub", "A/sub/f", "b", "link"}));
    EXPECT_EQ(FolderNames(dir.File("missing")), std::vector<std::string>{});
}

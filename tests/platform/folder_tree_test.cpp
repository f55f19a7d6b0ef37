// Removing a tree while something swaps parts of it for outside folders, and
// with another folder mounted inside it: nothing outside the tree is lost.
#include "platform/FolderTree.h"
#include "support/TempDir.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace ostrak;
namespace fs = std::filesystem;

namespace {

constexpr int FilesPerFolder = 200;

void Fill(const std::string& folder, const std::string& content) {
    fs::create_directories(folder);
    for (int i = 0; i < FilesPerFolder; ++i)
        std::ofstream(folder + "/f" + std::to_string(i)) << content;
}

// The files holding content under the given folders (links not followed).
int Count(std::initializer_list<std::string> folders, const std::string& content) {
    int n = 0;
    for (const std::string& folder : folders) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
             it.increment(ec))
            if (it->is_regular_file() && !it->is_symlink() && TempDir::Read(it->path()) == content)
                ++n;
    }
    return n;
}

// A thread swaps a subfolder with a link to an outside folder of the same
// files, over and over, while the tree is removed.
TEST(FolderTreeRemoval, ASwapRaceNeverReachesOutside) {
    TempDir dir;
    const std::string top = dir.File("top"), sub = top + "/sub", outside = dir.File("outside"),
                      link = dir.File("link");
    Fill(outside, "outside");
    int swaps = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        fs::remove_all(top);
        fs::remove_all(link); // the link, or the subfolder swapped to its place
        Fill(sub, "ours");
        Fill(sub + "/deeper", "ours");
        fs::create_directory_symlink(outside, link);
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            while (!stop)
                swaps += ::renameat2(AT_FDCWD, sub.c_str(), AT_FDCWD, link.c_str(),
                                     RENAME_EXCHANGE) == 0;
        });
        FolderTree::OpenFolder folder;
        ASSERT_TRUE(folder.Open(top));
        folder.OwnsModes = true;
        std::vector<std::string> kept;
        folder.RemoveContents({}, kept);
        stop = true;
        swapper.join();
        ASSERT_EQ(Count({outside}, "outside"), FilesPerFolder);
    }
    EXPECT_GT(swaps, 0);
}

// Run as root only: a private mount namespace, in a child process, binds a
// shared folder into the tree.
TEST(FolderTreeRemoval, AMountInsideIsNeverEntered) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "bind mounts need root";
    TempDir dir;
    const std::string top = dir.File("top"), shared = dir.File("shared");
    Fill(shared, "shared");
    Fill(top + "/mods", "ours");
    Fill(top + "/maps", "ours");
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(shared.c_str(), (top + "/mods").c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(2);
        FolderTree::OpenFolder folder;
        std::vector<std::string> kept;
        const bool removed = folder.Open(top) && folder.RemoveContents({}, kept);
        ::_exit(removed && kept == std::vector<std::string>{top + "/mods"} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Count({shared}, "shared"), FilesPerFolder);
    EXPECT_EQ(Count({top}, "ours"), FilesPerFolder); // mods, under the mount, was not entered
    EXPECT_FALSE(fs::exists(top + "/maps"));
}

} // namespace

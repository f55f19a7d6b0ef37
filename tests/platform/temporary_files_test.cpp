// Temporary names of ours and the sweep of those an ended run left behind.
#include "platform/Files.h"
#include "platform/TemporaryFiles.h"
#include "support/FolderNames.h"
#include "support/TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace ostrak;

namespace {

constexpr int64_t Then = 1'000'000'000; // seconds since 1970

// Sets the change time of path's contents (the link itself for a link).
void SetModified(const std::string& path, int64_t seconds) {
#ifdef _WIN32
    HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    ULARGE_INTEGER t;
    t.QuadPart = (static_cast<uint64_t>(seconds) + 11644473600ULL) * 10000000ULL;
    const FILETIME when{t.LowPart, t.HighPart};
    EXPECT_TRUE(::SetFileTime(h, nullptr, &when, &when)) << path;
    ::CloseHandle(h);
#else
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
#endif
}

} // namespace

TEST(TemporaryFiles, NamesAreOursAndOfOneLength) {
    std::set<std::string> drawn;
    for (int i = 0; i < 200; ++i) {
        const std::string name = Files::NewTemporaryName();
        EXPECT_TRUE(Files::IsTemporaryName(name)) << name;
        EXPECT_EQ(name.size(), 19u);
        drawn.insert(name);
    }
    EXPECT_GT(drawn.size(), 190u);
    for (const char* other : {".ostrak-part-abc12", ".ostrak-part-abc1234", ".ostrak-part-abc-12",
                              ".ostrak-part-abc\xE9"
                              "1",
                              "ostrak-part-abc123", ".game.dat.part-abc123", ""})
        EXPECT_FALSE(Files::IsTemporaryName(other)) << other;
}

// Only our names, only when unchanged for more than a minute: a file exactly
// 60 s old stays, one 61 s old goes; a folder counts as changed when a file
// in it changed.
TEST(TemporaryFiles, StaleSweepTakesOnlyOursUnchangedForMoreThanAMinute) {
    TempDir dir;
    const auto make = [&](const std::string& name, int64_t modified) {
        SetModified(dir.Write(name, "x"), modified);
    };
    make(".ostrak-part-aged61", Then - 61);
    make(".ostrak-part-aged60", Then - 60);
    make(".ostrak-part-fresh1", Then);
    make(".ostrak-part-toolong", Then - 3600); // not our form
    make(".game.dat.part-abc123", Then - 3600);
    make("game.dat", Then - 3600);
#ifndef _WIN32
    ASSERT_EQ(::symlink("game.dat", dir.File(".ostrak-part-link01").c_str()), 0);
    SetModified(dir.File(".ostrak-part-link01"), Then - 3600);
#endif

    // A tree whose folder is old but whose file is being written stays; a
    // tree old throughout goes with what it holds.
    for (const auto& [tree, inner] :
         {std::pair<std::string, int64_t>{".ostrak-part-Tree01", Then - 10},
          {".ostrak-part-Tree02", Then - 3600}}) {
        ASSERT_TRUE(Files::MakeDirectory(dir.File(tree)));
        make(tree + "/a.pak", Then - 3600);
        make(tree + "/.ostrak-part-inner1", inner);
        SetModified(dir.File(tree), Then - 3600);
    }

    ErrorRecord failure;
    EXPECT_EQ(Files::RemoveStaleTemporaries(dir.Path(), Then, &failure), 2) << failure.Description;
    std::vector<std::string> left{".game.dat.part-abc123",
                                  ".ostrak-part-Tree01",
                                  ".ostrak-part-aged60",
                                  ".ostrak-part-fresh1",
                                  ".ostrak-part-link01",
                                  ".ostrak-part-toolong",
                                  "game.dat"};
#ifdef _WIN32
    left.erase(std::find(left.begin(), left.end(), ".ostrak-part-link01"));
#endif
    EXPECT_EQ(FolderNames(dir.Path()), left);
    EXPECT_EQ(Files::RemoveStaleTemporaries(dir.Path(), Then + 1), 1); // aged60 is 61 s old now
    EXPECT_EQ(Files::RemoveStaleTemporaries(dir.File("missing"), Then, &failure), -1);
    EXPECT_EQ(failure.Description, dir.File("missing") + ": No such file or directory");
}

TEST(TemporaryFiles, FolderGoesWithTheObjectUnlessKept) {
    TempDir dir;
    std::string removed, kept;
    {
        Files::TemporaryFolder tree;
        ASSERT_TRUE(tree.Create(dir.Path()));
        removed = tree.Path();
        EXPECT_TRUE(Files::IsTemporaryName(Files::BaseName(removed)));
        ASSERT_TRUE(Files::WriteWholeFile(Files::JoinPath(removed, "a.pak"), "a"));
    }
    EXPECT_FALSE(Files::Exists(removed));
    {
        Files::TemporaryFolder tree;
        ASSERT_TRUE(tree.Create(dir.Path()));
        ASSERT_TRUE(Files::RenamePath(tree.Path(), dir.File("crc")));
        tree.Keep();
    }
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"crc"});
    ErrorRecord failure;
    Files::TemporaryFolder tree;
    EXPECT_FALSE(tree.Create(dir.File("missing"), &failure));
    EXPECT_EQ(failure.Description, dir.File("missing") + ": No such file or directory");
}

TEST(Files, PathParts) {
    const struct {
        const char* path;
        const char* parent;
        const char* base;
    } cases[] = {{"/a/b/c", "/a/b", "c"}, {"/a/b/", "/a", "b"}, {"a", ".", "a"},
                 {"a/b", "a", "b"},       {"/a", "/", "a"},     {"/", "/", "/"},
                 {"a//b", "a", "b"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Files::ParentFolder(c.path), c.parent) << c.path;
        EXPECT_EQ(Files::BaseName(c.path), c.base) << c.path;
    }
#ifndef _WIN32
    EXPECT_TRUE(Files::IsAbsolutePath("/a"));
    EXPECT_FALSE(Files::IsAbsolutePath("a/b"));
    EXPECT_FALSE(Files::IsAbsolutePath(""));
    EXPECT_TRUE(Files::IsRootPath("/"));
    EXPECT_FALSE(Files::IsRootPath("/a"));
#endif
}

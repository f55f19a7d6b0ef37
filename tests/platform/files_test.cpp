#include "platform/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace ostrak;

TEST(Files, InputFileOpensRegularFilesOnlyAndNeverWaits) {
    TempDir dir;
    const std::string data = dir.Write("data.bin", "abc");
    ::mkfifo(dir.File("pipe").c_str(), 0644);
    Files::InputFile in;
    // A pipe without a writer would block an ordinary open for good.
    EXPECT_FALSE(in.Open(dir.File("pipe")));
    EXPECT_FALSE(in.Open(dir.Path()));
    EXPECT_FALSE(in.Open(dir.File("missing")));
    ASSERT_TRUE(in.Open(data));
    char buf[8];
    EXPECT_EQ(in.Read(buf, sizeof buf), 3);
    EXPECT_EQ(in.Read(buf, sizeof buf), 0);
}

TEST(Files, AtomicWriterLeavesTheTargetAloneUntilCommit) {
    TempDir dir;
    const std::string target = dir.Write("game.dat", "old and longer");
    {
        Files::AtomicFileWriter w;
        ASSERT_TRUE(w.Begin(target));
        ASSERT_TRUE(w.Write("new", 3));
        EXPECT_EQ(TempDir::Read(target), "old and longer");
    } // abandoned: the temporary file goes
    EXPECT_EQ(TempDir::Read(target), "old and longer");
    std::vector<Files::DirEntry> entries;
    ASSERT_TRUE(Files::ListDirectory(dir.Path(), entries));
    EXPECT_EQ(entries.size(), 1u);

    Files::AtomicFileWriter w;
    ASSERT_TRUE(w.Begin(target));
    ASSERT_TRUE(w.Write("new", 3));
    ASSERT_TRUE(w.Sync());
    ASSERT_TRUE(w.Commit());
    EXPECT_EQ(TempDir::Read(target), "new");
}

TEST(Files, ExchangePathsSwapsTwoFolders) {
    TempDir dir;
    ASSERT_TRUE(Files::MakeDirectory(dir.File("a")));
    ASSERT_TRUE(Files::MakeDirectory(dir.File("b")));
    dir.Write("a/one", "1");
    dir.Write("b/two", "2");
    ASSERT_TRUE(Files::ExchangePaths(dir.File("a"), dir.File("b")));
    EXPECT_EQ(TempDir::Read(dir.File("a/two")), "2");
    EXPECT_EQ(TempDir::Read(dir.File("b/one")), "1");
    EXPECT_FALSE(Files::ExchangePaths(dir.File("a"), dir.File("missing")));
    EXPECT_TRUE(Files::SyncDirectory(dir.Path()));
}

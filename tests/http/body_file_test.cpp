#include "http/BodyFile.h"

#include "platform/TickCount.h"
#include "support/FolderNames.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace ostrak;

namespace {

size_t CountEntries(const std::string& folder) {
    return FolderNames(folder).size();
}

TEST(BodyFile, WritesInLargePiecesAndRenamesWhenFinished) {
    static_assert(BodyFile::MinWrite >= 64 * 1024);
    TempDir dir;
    std::string target = dir.File("game.dat");
    BodyFile body;
    ASSERT_TRUE(body.Begin(target));
    std::string temp = body.TemporaryPath();
    EXPECT_EQ(std::filesystem::path(temp).parent_path(), std::filesystem::path(dir.Path()));

    std::string piece(1000, 'x');
    size_t appended = 0;
    while (appended + piece.size() < BodyFile::MinWrite) {
        ASSERT_TRUE(body.Append(piece));
        appended += piece.size();
    }
    // Small pieces are gathered: nothing has reached the disk yet.
    EXPECT_EQ(std::filesystem::file_size(temp), 0u);
    ASSERT_TRUE(body.Append(piece));
    appended += piece.size();
    EXPECT_EQ(std::filesystem::file_size(temp), appended);
    EXPECT_FALSE(std::filesystem::exists(target));

    // A large append goes to disk whole, in pieces, the last one taking a
    // remainder just short of MinWrite.
    std::string expected(2 * BodyFile::WritePiece + BodyFile::MinWrite - 1, '\0');
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<char>(i * 7 % 251);
    ASSERT_TRUE(body.Append(expected));
    expected.insert(0, appended, 'x');
    EXPECT_EQ(std::filesystem::file_size(temp), expected.size());

    ASSERT_TRUE(body.Append("tail"));
    EXPECT_EQ(body.StoredChecksum(), "");
    ASSERT_TRUE(body.Finish());
    EXPECT_EQ(TempDir::Read(target), expected + "tail");
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
    // The checksum taken while streaming is the stored file's.
    clsCRC crc;
    EXPECT_EQ(body.StoredChecksum(), ChecksumText(crc.CalculateFile(target)));
    ASSERT_TRUE(body.Begin(dir.File("empty.dat")));
    ASSERT_TRUE(body.Finish());
    EXPECT_EQ(body.StoredChecksum(), "");
}

// Begin sweeps the folder of what killed runs left, but reads a folder again
// only once a minute has passed since its last sweep.
TEST(BodyFile, SweepsAFolderAtMostOnceAMinute) {
    TempDir dir;
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    const auto leave = [&](const char* name) {
        std::filesystem::last_write_time(dir.Write(name, "left"), old);
    };
    BodyFile body;
    leave(".ostrak-part-Early1");
    ASSERT_TRUE(body.Begin(dir.File("a.dat")));
    EXPECT_FALSE(std::filesystem::exists(dir.File(".ostrak-part-Early1")));
    leave(".ostrak-part-Later1");
    TickControl::Advance(59000);
    ASSERT_TRUE(body.Begin(dir.File("b.dat")));
    EXPECT_TRUE(std::filesystem::exists(dir.File(".ostrak-part-Later1"))) << "swept 59 s ago";
    TickControl::Advance(1000);
    ASSERT_TRUE(body.Begin(dir.File("c.dat")));
    EXPECT_FALSE(std::filesystem::exists(dir.File(".ostrak-part-Later1"))) << "a minute ago";
}

TEST(BodyFile, ReplacesALongerFileWhole) {
    TempDir dir;
    std::string target = dir.Write("old.dat", std::string(10000, 'o'));
    BodyFile body;
    ASSERT_TRUE(body.Begin(target));
    ASSERT_TRUE(body.Append("new"));
    ASSERT_TRUE(body.Finish());
    EXPECT_EQ(TempDir::Read(target), "new");
}

TEST(BodyFile, AbortLeavesTargetAndRemovesTemporaryFile) {
    TempDir dir;
    std::string target = dir.Write("keep.dat", "original");
    {
        BodyFile body;
        ASSERT_TRUE(body.Begin(target));
        ASSERT_TRUE(body.Append(std::string(BodyFile::MinWrite * 2, 'n')));
        body.Abort();
        EXPECT_FALSE(body.Finish());
    }
    {
        BodyFile body; // the destructor abandons an unfinished body
        ASSERT_TRUE(body.Begin(target));
        ASSERT_TRUE(body.Append("partial"));
    }
    EXPECT_EQ(TempDir::Read(target), "original");
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
}

TEST(BodyFile, FailedWriteLeavesTargetAsItWas) {
    TempDir dir;
    std::string target = dir.Write("keep.dat", "original");
    // A file size limit makes a later large write fail (EFBIG).
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = BodyFile::MinWrite + BodyFile::WritePiece + 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    BodyFile body;
    bool begun = body.Begin(target);
    bool first = body.Append(std::string(BodyFile::MinWrite, 'a'));
    // The limit falls inside the second piece of this append.
    bool second = body.Append(std::string(2 * BodyFile::WritePiece, 'b'));
    bool finished = body.Finish();

    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(begun);
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_FALSE(finished);
    EXPECT_EQ(TempDir::Read(target), "original");
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
}

TEST(BodyFile, FolderThatDoesNotExistCannotBegin) {
    TempDir dir;
    BodyFile body;
    ErrorRecord failure;
    EXPECT_FALSE(body.Begin(dir.File("missing/file.dat"), &failure));
    EXPECT_EQ(failure.Description, dir.File("missing/file.dat") + ": No such file or directory");
    EXPECT_FALSE(body.Append("x"));
    EXPECT_FALSE(body.Finish());
}

} // namespace

// ReadFileChunks hands over the whole file in order, in chunks of bounded
// size, and refuses what is not a readable regular file.
#include "checksum/CrcReference.h"
#include "checksum/FileChunks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

using namespace ostrak;

namespace {

TEST(ReadFileChunks, DeliversTheWholeFileInBoundedChunks) {
    TempDir dir;
    const auto data = RandomBytes(10007, 11);
    const std::string path = dir.Write("data", std::string(data.begin(), data.end()));
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{4096}, size_t{10007}, size_t{1} << 20}) {
        std::string seen;
        size_t calls = 0;
        const auto total = ReadFileChunks(
            path,
            [&](const uint8_t* p, size_t n) {
                EXPECT_GT(n, 0u);
                EXPECT_LE(n, chunk);
                seen.append(reinterpret_cast<const char*>(p), n);
                ++calls;
            },
            chunk);
        ASSERT_TRUE(total.has_value()) << chunk;
        EXPECT_EQ(*total, data.size()) << chunk;
        EXPECT_EQ(seen, std::string(data.begin(), data.end())) << chunk;
        EXPECT_EQ(calls, (data.size() + chunk - 1) / chunk) << chunk;
    }
}

TEST(ReadFileChunks, RefusesWhatIsNotARegularFile) {
    TempDir dir;
    std::vector<std::string> paths = {dir.Path(), dir.File("missing")};
#ifndef _WIN32
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    paths.push_back(fifo);
#endif
    int calls = 0;
    const auto sink = [&](const uint8_t*, size_t) { ++calls; };
    // A pipe would block the open; a directory has no contents.
    for (const std::string& path : paths)
        EXPECT_FALSE(ReadFileChunks(path, sink).has_value()) << path;
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ReadFileChunks(dir.Write("empty", ""), sink), std::optional<uint64_t>(0));
    EXPECT_EQ(calls, 0);
    // The reason comes from the system.
    ErrorRecord failure;
    EXPECT_FALSE(ReadFileChunks(dir.File("missing"), sink, 4096, &failure).has_value());
    EXPECT_EQ(failure.Description, dir.File("missing") + ": No such file or directory");
    EXPECT_FALSE(ReadFileChunks(dir.Path(), sink, 4096, &failure).has_value());
    EXPECT_EQ(failure.Description, dir.Path() + ": Is a directory");
}

} // namespace

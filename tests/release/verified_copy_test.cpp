// The copy step of the publisher's tool, driven directly: a source file that
// changes while it is copied is refused, never published torn. The hook
// after each chunk changes the file at a chosen point of the copy.
#include "ReleaseTool.h"
#include "ToolError.h"
#include "VerifiedCopy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace ostrak;

namespace {

constexpr size_t Chunk = 1 << 20; // the copy's read size
const std::string Original = RandomBytes(3 * Chunk + 12345, 21);

void Append(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

} // namespace

TEST(VerifiedCopy, CopiesAFileLeftAlone) {
    TempDir source, out;
    const std::string from = source.Write("level.pak", Original);
    std::vector<uint64_t> progress;
    const uint32_t crc =
        CopyVerified(from, out.File("level.pak"), [&](uint64_t n) { progress.push_back(n); });
    EXPECT_EQ(ChecksumText(static_cast<int32_t>(crc)), CrcText(Original));
    EXPECT_EQ(TempDir::Read(out.File("level.pak")), Original);
    EXPECT_EQ(progress, (std::vector<uint64_t>{Chunk, 2 * Chunk, 3 * Chunk, Original.size()}));
    EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{"level.pak"});
}

TEST(VerifiedCopy, RefusesAFileThatChangesWhileCopied) {
    const struct {
        const char* what;
        uint64_t at; // bytes copied when the file changes
        std::function<void(const std::string&)> change;
    } cases[] = {
        {"cut behind the copy", Chunk, [](const std::string& p) { ::truncate(p.c_str(), 1000); }},
        {"cut ahead of the copy", Chunk,
         [](const std::string& p) { ::truncate(p.c_str(), 2 * Chunk + 7); }},
        {"emptied", 2 * Chunk, [](const std::string& p) { ::truncate(p.c_str(), 0); }},
        {"grown in the middle", Chunk, [](const std::string& p) { Append(p, "more"); }},
        {"grown after the last byte was read", Original.size(),
         [](const std::string& p) { Append(p, "m"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir source, out;
        const std::string from = source.Write("level.pak", Original);
        std::string message;
        try {
            CopyVerified(from, out.File("level.pak"), [&](uint64_t copied) {
                if (copied == c.at)
                    c.change(from);
            });
        } catch (const ToolError& e) {
            message = e.what();
        }
        EXPECT_EQ(message.rfind(from + ": changed while publishing", 0), 0u) << message;
        EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{});
    }
}

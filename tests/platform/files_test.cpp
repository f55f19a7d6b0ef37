#include "platform/Files.h"
#include "platform/FolderTree.h"
#include "platform/TemporaryFiles.h"
#include "support/FolderNames.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace ostrak;

#ifndef _WIN32
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
#endif

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

    // A read-only target is replaced as any other (a game copied from a disc).
    std::filesystem::permissions(target, std::filesystem::perms(0444));
    Files::AtomicFileWriter w;
    ASSERT_TRUE(w.Begin(target));
    ASSERT_TRUE(w.Write("new", 3));
    ASSERT_TRUE(w.Sync());
    ErrorRecord failure;
    ASSERT_TRUE(w.Commit(&failure)) << failure.Description;
    EXPECT_EQ(TempDir::Read(target), "new");
}

#ifndef _WIN32 // Windows has no exchange of two names in one step
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
#endif

namespace {

std::string Reason(const std::string& path, int code) {
    return path + ": " + std::strerror(code);
}

// What a call named source fills in when it fails with code on path.
ErrorRecord Failed(const char* source, const std::string& path, int code) {
    return ErrorRecord{code, Reason(path, code), source};
}

#ifndef _WIN32
// The descriptor this process holds open on path, -1 when none.
int DescriptorOf(const std::string& path) {
    for (int fd = 0; fd < 1024; ++fd) {
        char link[4096];
        const std::string proc = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(proc.c_str(), link, sizeof link);
        if (n > 0 && std::string(link, static_cast<size_t>(n)) == path)
            return fd;
    }
    return -1;
}
#endif

} // namespace

// Every call that fails says why, as the system does, naming the path.
TEST(Files, FailuresCarryTheSystemsReason) {
    TempDir dir;
    const std::string file = dir.Write("file", "abc");
    const std::string missing = dir.File("missing");
    ASSERT_TRUE(Files::MakeDirectory(dir.File("full")));
    dir.Write("full/one", "1");

    std::vector<Files::DirEntry> entries;
    std::string text, real;
    Files::InputFile in;
    struct Case {
        const char* what;
        std::function<bool(ErrorRecord*)> call;
        ErrorRecord expected;
    };
    std::vector<Case> cases = {
        {"length", [&](ErrorRecord* e) { return Files::FileLength(missing, e) >= 0; },
         Failed("Files.FileLength", missing, ENOENT)},
        {"is directory", [&](ErrorRecord* e) { return Files::IsDirectory(file, e); },
         Failed("Files.IsDirectory", file, ENOTDIR)},
        {"exists", [&](ErrorRecord* e) { return Files::Exists(missing, e); },
         Failed("Files.Exists", missing, ENOENT)},
        {"delete", [&](ErrorRecord* e) { return Files::RemoveFile(missing, e); },
         Failed("Files.RemoveFile", missing, ENOENT)},
        {"make folder", [&](ErrorRecord* e) { return Files::MakeDirectory(file, e); },
         Failed("Files.MakeDirectory", file, EEXIST)},
        {"remove folder", [&](ErrorRecord* e) { return Files::RemoveFolder(dir.File("full"), e); },
         Failed("Files.RemoveFolder", dir.File("full"), ENOTEMPTY)},
        {"rename", [&](ErrorRecord* e) { return Files::RenamePath(missing, file, e); },
         Failed("Files.RenamePath", file, ENOENT)},
        {"real path", [&](ErrorRecord* e) { return Files::RealPath(missing, real, e); },
         Failed("Files.RealPath", missing, ENOENT)},
        {"list", [&](ErrorRecord* e) { return Files::ListDirectory(file, entries, e); },
         Failed("Files.ListDirectory", file, ENOTDIR)},
        {"sync folder", [&](ErrorRecord* e) { return Files::SyncDirectory(missing, e); },
         Failed("Files.SyncDirectory", missing, ENOENT)},
        {"read a folder", [&](ErrorRecord* e) { return Files::ReadWholeFile(dir.Path(), text, e); },
         Failed("Files.ReadWholeFile", dir.Path(), EISDIR)},
        {"make folders", [&](ErrorRecord* e) { return Files::MakeFolders(file + "/sub", e); },
         Failed("Files.MakeFolders", file + "/sub", ENOTDIR)},
        {"make writable", [&](ErrorRecord* e) { return Files::MakeWritable(missing, e); },
         Failed("Files.MakeWritable", missing, ENOENT)},
        {"make executable", [&](ErrorRecord* e) { return Files::MakeExecutable(missing, e); },
         Failed("Files.MakeExecutable", missing, ENOENT)},
        {"write into a missing folder",
         [&](ErrorRecord* e) { return Files::WriteWholeFile(dir.File("no/file"), "x", e); },
         Failed("Files.WriteWholeFile", dir.File("no/file"), ENOENT)},
    };
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = dir.File("pipe");
    ::mkfifo(device.c_str(), 0644);
#endif
#ifndef _WIN32
    cases.push_back({"exchange",
                     [&](ErrorRecord* e) { return Files::ExchangePaths(file, missing, e); },
                     Failed("Files.ExchangePaths", missing, ENOENT)});
#endif
    cases.push_back({"open a pipe or device",
                     [&](ErrorRecord* e) { return in.Open(device, e); },
                     {EINVAL, device + ": not a regular file", "InputFile.Open"}});
    const ErrorRecord untouched{1, "untouched", "test"};
    for (const auto& c : cases) {
        ErrorRecord failure = untouched;
        EXPECT_FALSE(c.call(nullptr)) << c.what;
        EXPECT_FALSE(c.call(&failure)) << c.what;
        EXPECT_EQ(failure, c.expected) << c.what << ": " << failure.Description;
    }
    // A call that succeeds leaves the record alone.
    ErrorRecord failure = untouched;
    EXPECT_EQ(Files::FileLength(file, &failure), 3);
    EXPECT_TRUE(Files::ReadWholeFile(file, text, &failure));
    EXPECT_EQ(failure, untouched);
}

#ifndef _WIN32
// Making writable adds only what changing or removing needs, and never
// reaches through a link to what it points to.
TEST(Files, MakeWritableAddsWhatRemovingNeedsAndNeverFollowsALink) {
    TempDir dir;
    const std::string file = dir.Write("file", "x");
    const std::string folder = dir.File("folder");
    const std::string target = dir.Write("target", "t");
    ASSERT_TRUE(Files::MakeDirectory(folder));
    ASSERT_EQ(::symlink(target.c_str(), dir.File("link").c_str()), 0);
    const auto modeOf = [](const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
    };
    const struct {
        std::string path;
        mode_t before, after;
    } cases[] = {
        {file, 0444, 0644},   {file, 0640, 0640},   {file, 0200, 0200},   {folder, 0500, 0700},
        {folder, 0000, 0700}, {folder, 0755, 0755}, {target, 0444, 0444}, // through the link below,
                                                                          // which needs nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.before));
        ASSERT_EQ(::chmod(c.path.c_str(), c.before), 0);
        const std::string given = c.path == target ? dir.File("link") : c.path;
        ErrorRecord failure;
        EXPECT_TRUE(Files::MakeWritable(given, &failure)) << failure.Description;
        EXPECT_EQ(modeOf(c.path), c.after);
    }
}
#endif

// The folder-tree calls and the temporary files report as the file calls do.
TEST(FolderTree, FailuresCarryNumberReasonAndSource) {
    TempDir dir;
    const std::string missing = dir.File("missing");
    const std::string file = dir.Write("file", "abc");
    const std::string folder = dir.File("folder");
    ASSERT_TRUE(Files::MakeDirectory(folder));
    FolderTree::OpenFolder opened, top;
    ASSERT_TRUE(top.Open(folder));
    std::string bytes;
    Files::TemporaryFolder temporary;
    struct Case {
        std::function<bool(ErrorRecord*)> call;
        ErrorRecord expected;
    };
    std::vector<Case> cases = {
        {[&](ErrorRecord* e) { return opened.Open(missing, e); },
         Failed("FolderTree.Open", missing, ENOENT)},
        {[&](ErrorRecord* e) { return opened.Open(file, e); },
         Failed("FolderTree.Open", file, ENOTDIR)},
        {[&](ErrorRecord* e) { return top.ReadFile("none", 9, bytes, e); },
         Failed("FolderTree.ReadFile", Files::JoinPath(folder, "none"), ENOENT)},
        {[&](ErrorRecord* e) { return temporary.Create(missing, e); },
         Failed("TemporaryFolder.Create", missing, ENOENT)},
        {[&](ErrorRecord* e) { return Files::RemoveStaleTemporaries(missing, e) >= 0; },
         Failed("Files.RemoveStaleTemporaries", missing, ENOENT)},
    };
#ifndef _WIN32 // Wine makes no symbolic links
    ::symlink(folder.c_str(), dir.File("link").c_str());
    for (const std::string& through : {dir.File("link"), dir.File("link/x")})
        cases.push_back({[&, through](ErrorRecord* e) { return opened.Open(through, e); },
                         Failed("FolderTree.Open", through, ENOTDIR)});
#endif
    for (const auto& c : cases) {
        ErrorRecord failure;
        EXPECT_FALSE(c.call(&failure)) << c.expected.Source;
        EXPECT_EQ(failure, c.expected) << failure.Description;
    }
}

#ifndef _WIN32
// The temporary name is the same 19 bytes whatever the target's name, so
// names up to the system's 255 bytes can be written; one byte more fails at
// the rename, with the reason, and leaves nothing behind.
TEST(Files, AtomicWriterTakesNamesUpTo255Bytes) {
    TempDir dir;
    for (size_t length : {size_t{1}, size_t{242}, size_t{243}, size_t{255}, size_t{256}}) {
        SCOPED_TRACE(length);
        const std::string target = dir.File(std::string(length, 'n'));
        Files::AtomicFileWriter w;
        ErrorRecord failure;
        ASSERT_TRUE(w.Begin(target, &failure)) << failure.Description;
        const std::string tempName = w.TemporaryPath().substr(dir.Path().size() + 1);
        EXPECT_TRUE(Files::IsTemporaryName(tempName)) << tempName;
        EXPECT_EQ(tempName.size(), 19u);
        ASSERT_TRUE(w.Write("data", 4));
        if (length <= 255) {
            EXPECT_TRUE(w.Commit(&failure)) << failure.Description;
            EXPECT_EQ(TempDir::Read(target), "data");
            ASSERT_TRUE(Files::RemoveFile(target));
        } else {
            EXPECT_FALSE(w.Commit(&failure));
            EXPECT_EQ(failure.Description, Reason(target, ENAMETOOLONG));
        }
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{});
    }
}
#endif

// Whichever step of Commit fails, the temporary file goes and the target
// stays as it was.
TEST(Files, FailedCommitRemovesTheTemporaryFile) {
    TempDir dir;
    const std::string folderTarget = dir.File("target.dat");
    ASSERT_TRUE(Files::MakeDirectory(folderTarget));
    dir.Write("target.dat/inside", "kept");
    struct Case {
        const char* what;
        std::string target;
        std::function<void(Files::AtomicFileWriter&)> interfere;
        int code;
    };
    std::vector<Case> cases = {
        {"rename onto a folder", folderTarget, [](Files::AtomicFileWriter&) {}, EISDIR},
        {"rename onto an empty folder", dir.File("empty"),
         [&](Files::AtomicFileWriter&) { ASSERT_TRUE(Files::MakeDirectory(dir.File("empty"))); },
         EISDIR},
    };
#ifndef _WIN32
    cases.push_back({"close", dir.File("closed.dat"),
                     [](Files::AtomicFileWriter& w) {
                         // The descriptor closed behind the writer's back: close() fails.
                         const int fd = DescriptorOf(w.TemporaryPath());
                         ASSERT_GE(fd, 0);
                         ::close(fd);
                     },
                     EBADF});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Files::AtomicFileWriter w;
        ASSERT_TRUE(w.Begin(c.target));
        ASSERT_TRUE(w.Write("new", 3));
        const std::string temp = w.TemporaryPath();
        c.interfere(w);
        ErrorRecord failure;
        EXPECT_FALSE(w.Commit(&failure));
        EXPECT_EQ(failure.Description, Reason(c.target, c.code));
        EXPECT_FALSE(Files::Exists(temp));
        EXPECT_EQ(w.TemporaryPath(), "");
    }
    EXPECT_EQ(TempDir::Read(dir.File("target.dat/inside")), "kept");
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"empty", "target.dat"}));
}

#ifndef _WIN32
// New files get 0666 (0777 for an executable) less the umask, like any file
// a program creates, also when they replace a file with other permissions.
TEST(Files, AtomicWriterCreatesFilesUnderTheUmask) {
    TempDir dir;
    const std::string target = dir.Write("game.dat", "old");
    ::chmod(target.c_str(), 0600);
    const mode_t saved = ::umask(022);
    for (mode_t mask : {mode_t{0}, mode_t{002}, mode_t{022}, mode_t{077}}) {
        for (auto mode : {Files::NewFileMode::Plain, Files::NewFileMode::Executable}) {
            ::umask(mask);
            Files::AtomicFileWriter w;
            const bool written = w.Begin(target, mode) && w.Write("x", 1) && w.Commit();
            ::umask(022);
            ASSERT_TRUE(written);
            struct stat st {};
            ASSERT_EQ(::stat(target.c_str(), &st), 0);
            const mode_t wanted = (mode == Files::NewFileMode::Plain ? 0666 : 0777) & ~mask;
            EXPECT_EQ(st.st_mode & 07777, wanted) << std::oct << "umask " << mask;
        }
    }
    ::umask(saved);
}
#endif

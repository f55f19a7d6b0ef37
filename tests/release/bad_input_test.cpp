#include "ReleaseTool.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ostrak;

namespace {

struct BadInput {
    const char* what;
    // Prepares the source folder (holding ostrak.exe and the libraries) and
    // returns the culprit the message must name.
    std::function<std::string(const TempDir& source)> setup;
};

// Runs the tool on a prepared source with an earlier tree in place and
// checks the refusal: exit 1, one line naming the culprit, the earlier tree
// untouched and nothing else left behind.
void ExpectRefused(const std::vector<std::string>& args, const std::string& outDir,
                   const std::string& culprit, int exitCode = 1) {
    const auto before = FolderNames(outDir);
    const ProcessResult r = RunRelease(args);
    EXPECT_EQ(r.ExitCode, exitCode) << r.Err;
    EXPECT_EQ(r.Err.rfind("ostrak_release: ", 0), 0u) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_NE(r.Err.find(culprit), std::string::npos) << "message: " << r.Err;
    EXPECT_EQ(FolderNames(outDir), before);
}

} // namespace

TEST(ReleaseRefuses, BadSourceFolders) {
    const BadInput cases[] = {
        {"no game executable",
         [](const TempDir& s) {
             ::unlink(s.File("ostrak.exe").c_str());
             return std::string("ostrak.exe");
         }},
        {"subfolder",
         [](const TempDir& s) {
             ::mkdir(s.File("levels").c_str(), 0755);
             return std::string("levels");
         }},
        {"256 listed files",
         [](const TempDir& s) {
             for (int i = 0; i < 256; ++i)
                 s.Write("f" + std::to_string(i), "x");
             return std::string("256 files");
         }},
        {"backslash",
         [](const TempDir& s) {
             s.Write("a\\b.pak", "x");
             return std::string("a\\x5Cb.pak");
         }},
        {"control character",
         [](const TempDir& s) {
             s.Write("bell\x07.pak", "x");
             return std::string("bell\\x07.pak");
         }},
        {"newline",
         [](const TempDir& s) {
             s.Write("two\nlines", "x");
             return std::string("two\\x0Alines");
         }},
        {"space",
         [](const TempDir& s) {
             s.Write("my file.pak", "x");
             return std::string("my file.pak");
         }},
        {"percent",
         [](const TempDir& s) {
             s.Write("100%.pak", "x");
             return std::string("100%.pak");
         }},
        {"fifo",
         [](const TempDir& s) {
             ::mkfifo(s.File("pipe.dat").c_str(), 0644);
             return std::string("pipe.dat");
         }},
        {"dangling symbolic link",
         [](const TempDir& s) {
             ::symlink("/nonexistent/ostrak-target", s.File("gone.pak").c_str());
             return std::string("gone.pak");
         }},
        {"empty file (its checksum text would be blank in the installer)",
         [](const TempDir& s) {
             s.Write("empty.dat", "");
             return std::string("empty.dat");
         }},
        {"missing support library",
         [](const TempDir& s) {
             ::unlink(s.File("gdiplus.dll").c_str());
             return std::string("gdiplus.dll");
         }},
        {"support library in another case",
         [](const TempDir& s) {
             ::rename(s.File("Unzip32.dll").c_str(), s.File("unzip32.dll").c_str());
             return std::string("Unzip32.dll");
         }},
        {"symbolic link out of the folder",
         [](const TempDir& s) {
             ::symlink("/etc/hostname", s.File("escape.pak").c_str());
             return std::string("escape.pak");
         }},
    };
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir source, out;
        WriteFixedFiles(source);
        const std::string culprit = c.setup(source);
        std::filesystem::create_directory(out.File("crc"));
        out.Write("crc/marker", "earlier release");
        ExpectRefused({source.Path(), out.Path(), "--seed", "5"}, out.Path(), culprit);
        EXPECT_EQ(FolderNames(out.File("crc")), std::vector<std::string>{"marker"});
    }
}

TEST(ReleaseRefuses, MissingSourceFolder) {
    TempDir out;
    ExpectRefused({out.File("no-such-folder"), out.Path()}, out.Path(), "no-such-folder");
}

// Root reads any file whatever its mode: as root the tool runs as nobody
// (util-linux setpriv) for this case. The output folder does not exist yet:
// the tool creates it and must take it away again.
TEST(ReleaseRefuses, UnreadableFile) {
    std::vector<std::string> prefix;
    if (::geteuid() == 0) {
        if (::access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "running as root without setpriv";
        prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        std::vector<std::string> probe = prefix;
        probe.insert(probe.end(), {OSTRAK_RELEASE_BIN, "--help"});
        if (RunProcess(probe).ExitCode != 0)
            GTEST_SKIP() << "nobody cannot run the built tool from here";
    }
    TempDir source, out;
    WriteFixedFiles(source);
    source.Write("secret.pak", "x");
    ::chmod(source.Path().c_str(), 0755);
    for (const std::string& name : FolderNames(source.Path()))
        ::chmod(source.File(name).c_str(), 0644);
    ::chmod(source.File("secret.pak").c_str(), 0);
    ::chmod(out.Path().c_str(), 0777);

    std::vector<std::string> args = prefix;
    args.insert(args.end(), {OSTRAK_RELEASE_BIN, source.Path(), out.File("new")});
    const ProcessResult r = RunProcess(args);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Err,
              "ostrak_release: cannot read " + source.File("secret.pak") + ": Permission denied\n");
    EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{});
}

TEST(ReleaseRefuses, OutputThatCannotBeWritten) {
    TempDir source, out;
    WriteFixedFiles(source);
    const std::string file = out.Write("plain-file", "not a folder");
    ExpectRefused({source.Path(), file}, out.Path(), file);
    ExpectRefused({source.Path(), file + "/below"}, out.Path(), file);
    TempDir other;
    other.Write("crc", "a file where the tree belongs");
    ExpectRefused({source.Path(), other.Path()}, other.Path(), other.File("crc"));
    EXPECT_EQ(TempDir::Read(other.File("crc")), "a file where the tree belongs");
}

TEST(ReleaseRefuses, WrongCommandLines) {
    TempDir source, out;
    WriteFixedFiles(source);
    const struct {
        std::vector<std::string> args;
        std::string culprit;
    } cases[] = {
        {{source.Path(), out.Path(), "--seed", "0"}, "--seed"},
        {{source.Path(), out.Path(), "--seed", "256"}, "--seed"},
        {{source.Path(), out.Path(), "--seed", "12x"}, "--seed"},
        {{source.Path(), out.Path(), "--seed"}, "--seed"},
        {{source.Path(), out.Path(), "--fast"}, "--fast"},
        {{source.Path()}, "OUT_DIR"},
    };
    for (const auto& c : cases)
        ExpectRefused(c.args, out.Path(), c.culprit, 2);
}

// Names a Windows player's folder cannot hold are refused; the names one
// step past each rule are published.
TEST(ReleaseRefuses, NamesWindowsCannotHold) {
    const struct {
        std::vector<std::string> names;
        std::string culprit;
        std::string why;
    } refused[] = {
        {{"CON"}, "CON", "device name"},
        {{"con.txt"}, "con.txt", "device name"},
        {{"Nul.tar.gz"}, "Nul.tar.gz", "device name"},
        {{"aux"}, "aux", "device name"},
        {{"PRN.dat"}, "PRN.dat", "device name"},
        {{"COM1"}, "COM1", "device name"},
        {{"com9.pak"}, "com9.pak", "device name"},
        {{"LPT1.txt"}, "LPT1.txt", "device name"},
        {{"lpt9"}, "lpt9", "device name"},
        {{"level."}, "level.", "ends in a dot"},
        {{"a:b.pak"}, "a:b.pak", "\":\""},
        {{"a*b.pak"}, "a*b.pak", "\"*\""},
        {{"a\"b.pak"}, "a\"b.pak", "\"\"\""},
        {{"a<b.pak"}, "a<b.pak", "\"<\""},
        {{"a>b.pak"}, "a>b.pak", "\">\""},
        {{"a|b.pak"}, "a|b.pak", "\"|\""},
        {{"Data.pak", "data.pak"}, "data.pak", "only in letter case"},
        {{"DTA.LST"}, "DTA.LST", "only in letter case"},
        {{"Index.php"}, "Index.php", "only in letter case"},
        {{"\xC9t\xC9.pak", "\xE9t\xE9.pak"}, "\\xE9t\\xE9.pak", "only in letter case"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.culprit);
        TempDir source, out;
        WriteFixedFiles(source);
        for (const std::string& name : c.names)
            source.Write(name, "x");
        const ProcessResult r = RunRelease({source.Path(), out.Path()});
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_NE(r.Err.find(c.culprit + ": "), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find(c.why), std::string::npos) << r.Err;
        EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{});
    }

    TempDir source, out;
    WriteFixedFiles(source);
    const std::vector<std::string> allowed = {"COM10.dat", "com0",  "LPT0.txt", "CONSOLE.txt",
                                              "nul_x.dat", "con-x", ".aux",     "a.b.c"};
    for (const std::string& name : allowed)
        source.Write(name, "x");
    const ProcessResult r = RunRelease({source.Path(), out.Path()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    for (const std::string& name : allowed)
        EXPECT_EQ(TempDir::Read(out.File("crc/" + name)), "x") << name;
}

// OUT_DIR must not be SOURCE_DIR or lie inside it, however it is spelt: the
// second run would find the published tree among the game files. Refused
// before anything is written.
TEST(ReleaseRefuses, OutDirInsideSourceDir) {
    TempDir root;
    const std::string source = root.File("src");
    ASSERT_TRUE(std::filesystem::create_directory(source));
    WriteFixedFiles(source);
    ASSERT_EQ(::symlink(source.c_str(), root.File("link").c_str()), 0);
    for (const std::string& outDir : {source, source + "/", source + "/out", source + "/.",
                                      root.File("link") + "/new", root.File("src/../src/deeper")}) {
        SCOPED_TRACE(outDir);
        const ProcessResult r = RunRelease({source, outDir});
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_NE(r.Err.find("is SOURCE_DIR or inside it"), std::string::npos) << r.Err;
        EXPECT_EQ(FolderNames(source).size(), 4u);
        EXPECT_EQ(FolderNames(root.Path()), (std::vector<std::string>{"link", "src"}));
    }
    // A folder beside it whose name merely starts the same is fine.
    const ProcessResult r = RunRelease({source, root.File("src2")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
}

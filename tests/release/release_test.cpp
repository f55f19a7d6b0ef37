#include "ReleaseTool.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListWriter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

using namespace ostrak;

namespace {

const std::map<std::string, std::string> GameFiles = {
    {"data1.pak", RandomBytes(5000, 2)},
    {"Data2.pak", "second"},
    {"music1.ogg", RandomBytes(2500000, 3)}, // larger than one copy chunk
    {"\xE9t\xE9.txt", "accented name"},
};

// The entries the list of GameFiles holds, in the order of the list.
std::vector<FileListEntry> ListedEntries() {
    std::vector<FileListEntry> entries;
    for (const auto& [name, bytes] : GameFiles)
        entries.push_back({name, clsCRC().CalculateString(bytes)});
    return entries;
}

void WriteGameFiles(const TempDir& source) {
    WriteFixedFiles(source);
    for (const auto& [name, bytes] : GameFiles)
        source.Write(name, bytes);
}

} // namespace

TEST(Release, PublishesTheTree) {
    TempDir source, out;
    WriteGameFiles(source);
    const ProcessResult r = RunRelease({source.Path(), out.Path(), "--seed", "37"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{"crc"});

    const std::string crc = out.File("crc");
    std::vector<std::string> expected = FolderNames(source.Path());
    expected.push_back("dta.lst");
    expected.push_back("index.php");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderNames(crc), expected);
    for (const std::string& name : FolderNames(source.Path()))
        EXPECT_EQ(TempDir::Read(crc + "/" + name), TempDir::Read(source.File(name))) << name;

    const std::string version = TempDir::Read(crc + "/index.php");
    EXPECT_EQ(version, CrcText(TempDir::Read(source.File("ostrak.exe"))));
    const std::string list = TempDir::Read(crc + "/dta.lst");
    EXPECT_EQ(list, EncodeFileList(37, ListedEntries()));
    EXPECT_NE(CrcText(list), version);

    FileListTable table;
    ASSERT_TRUE(ReadFileList(crc + "/dta.lst", table));
    // std::map orders names by their bytes, as the list must.
    ASSERT_EQ(table.EntryCount, GameFiles.size());
    int i = 0;
    for (const auto& [name, bytes] : GameFiles) {
        EXPECT_EQ(table.EntryNames[i], name);
        EXPECT_EQ(ChecksumText(table.EntryChecksums[i]), CrcText(bytes)) << name;
        ++i;
    }
    // What the tool prints of names is printable ASCII, odd bytes escaped.
    EXPECT_NE(r.Out.find(" \\xE9t\\xE9.txt\n"), std::string::npos) << r.Out;
    EXPECT_TRUE(std::all_of(r.Out.begin(), r.Out.end(),
                            [](char c) { return c == '\n' || (c >= 32 && c < 127); }));
}

// A release that changes only data files keeps the version text, so its
// list must not pass for the one installed copies already hold: the list's
// checksum text is never the version text.
TEST(Release, DataOnlyReleaseGivesANewList) {
    TempDir source, out;
    WriteGameFiles(source);
    ASSERT_EQ(RunRelease({source.Path(), out.Path(), "--seed", "37"}).ExitCode, 0);
    const std::string version = TempDir::Read(out.File("crc/index.php"));
    const std::string first = TempDir::Read(out.File("crc/dta.lst"));
    source.Write("Data2.pak", "second, changed");
    ASSERT_EQ(RunRelease({source.Path(), out.Path(), "--seed", "37"}).ExitCode, 0);
    EXPECT_EQ(TempDir::Read(out.File("crc/index.php")), version);
    const std::string second = TempDir::Read(out.File("crc/dta.lst"));
    EXPECT_NE(second, first);
    for (const std::string& list : {first, second})
        EXPECT_NE(CrcText(list), version);
}

// Should the list's checksum text equal the version text by chance, one
// byte more makes it differ; the reader ignores it. (Here by construction:
// the game executable is a copy of the list the same files and seed give.)
TEST(Release, ListMatchingTheVersionByChanceGetsOneMoreByte) {
    TempDir source, out;
    WriteGameFiles(source);
    ASSERT_EQ(RunRelease({source.Path(), out.Path(), "--seed", "7"}).ExitCode, 0);
    const std::string plain = TempDir::Read(out.File("crc/dta.lst"));
    source.Write("ostrak.exe", plain);
    const ProcessResult r = RunRelease({source.Path(), out.Path(), "--seed", "7"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const std::string version = TempDir::Read(out.File("crc/index.php"));
    EXPECT_EQ(version, CrcText(plain));
    const std::string list = TempDir::Read(out.File("crc/dta.lst"));
    ASSERT_EQ(list.size(), plain.size() + 1);
    EXPECT_EQ(list.substr(0, plain.size()), plain);
    EXPECT_NE(CrcText(list), version);
    FileListTable table;
    ASSERT_TRUE(ReadFileList(out.File("crc/dta.lst"), table));
    EXPECT_EQ(table.EntryCount, GameFiles.size());
}

TEST(Release, DumpPrintsSeedCountAndEntries) {
    TempDir source, out;
    WriteFixedFiles(source);
    source.Write("b.pak", "bee");
    source.Write("a.pak", "123456789");
    ASSERT_EQ(RunRelease({source.Path(), out.Path(), "--seed=200"}).ExitCode, 0);
    const ProcessResult r = RunRelease({"--dump", out.File("crc/dta.lst")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "seed: 200\ncount: 2\n-873187034 a.pak\n" + CrcText("bee") + " b.pak\n");
}

// A list from elsewhere may name odd files: the dump shows each on one line,
// every byte that is not printable ASCII escaped (0x9B alone starts a
// terminal command on some terminals), and marks the unsafe ones.
TEST(Release, DumpEscapesAndMarksOddNames) {
    TempDir dir;
    const std::vector<FileListEntry> entries = {{"ok.pak", 1},
                                                {"..", 2},
                                                {"a\nb", -3},
                                                {"\xE9t\xE9.ogg", 4},
                                                {"\x9B" + std::string("2Jx.pak"), 5},
                                                {"\x1B]0;t\x07", 6}};
    const std::string path = dir.Write("dta.lst", EncodeFileList(9, entries));
    const ProcessResult r = RunRelease({"--dump", path});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "seed: 9\ncount: 6\n1 ok.pak\n2 ..  (unsafe name)\n"
                     "-3 a\\x0Ab  (unsafe name)\n4 \\xE9t\\xE9.ogg\n5 \\x9B2Jx.pak\n"
                     "6 \\x1B]0;t\\x07  (unsafe name)\n");
}

TEST(Release, DumpRefusesWhatIsNotAList) {
    TempDir dir;
    const std::string bytes = {0, 1, 2, 3};
    for (const std::string& path :
         {dir.Write("zero.lst", bytes), dir.Write("cut.lst", "\x05"), dir.File("absent.lst")}) {
        const ProcessResult r = RunRelease({"--dump", path});
        EXPECT_EQ(r.ExitCode, 1) << path;
        EXPECT_NE(r.Err.find(path), std::string::npos) << r.Err;
        EXPECT_EQ(r.Out, "");
    }
}

TEST(Release, FullListOf255Files) {
    TempDir source, out;
    WriteFixedFiles(source);
    for (int i = 0; i < 255; ++i)
        source.Write("f" + std::to_string(1000 + i), std::to_string(i));
    const ProcessResult r = RunRelease({source.Path(), out.Path()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    FileListTable table;
    ASSERT_TRUE(ReadFileList(out.File("crc/dta.lst"), table));
    EXPECT_EQ(table.EntryCount, 255);
    EXPECT_EQ(table.EntryNames[254], "f1254");
}

TEST(Release, RandomSeedsAreValidAndVary) {
    TempDir source, out;
    WriteFixedFiles(source);
    source.Write("a.pak", "a");
    std::vector<int> seeds;
    for (int run = 0; run < 4; ++run) {
        ASSERT_EQ(RunRelease({source.Path(), out.Path()}).ExitCode, 0);
        const std::string list = TempDir::Read(out.File("crc/dta.lst"));
        FileListTable table;
        ASSERT_TRUE(ReadFileList(out.File("crc/dta.lst"), table));
        seeds.push_back(static_cast<uint8_t>(list[0]));
    }
    EXPECT_NE(std::count(seeds.begin(), seeds.end(), seeds[0]), 4) << "always seed " << seeds[0];
}

TEST(Release, ReplacesAnEarlierTreeWhole) {
    TempDir first, second, out;
    WriteFixedFiles(first);
    first.Write("old.pak", "old");
    WriteFixedFiles(second);
    second.Write("new.pak", "new");
    ASSERT_EQ(RunRelease({first.Path(), out.Path()}).ExitCode, 0);
    ASSERT_EQ(RunRelease({second.Path(), out.Path()}).ExitCode, 0);
    EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{"crc"});
    const auto names = FolderNames(out.File("crc"));
    EXPECT_EQ(std::count(names.begin(), names.end(), "old.pak"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "new.pak"), 1);
}

// Publishing again from a served tree: its list and version page are
// replaced by new ones, not copied.
TEST(Release, RepublishesFromItsOwnOutput) {
    TempDir source, out, again;
    WriteGameFiles(source);
    ASSERT_EQ(RunRelease({source.Path(), out.Path(), "--seed", "1"}).ExitCode, 0);
    const ProcessResult r = RunRelease({out.File("crc"), again.Path(), "--seed", "2"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Err.find("dta.lst is not copied"), std::string::npos) << r.Err;
    EXPECT_EQ(FolderNames(again.File("crc")), FolderNames(out.File("crc")));
    EXPECT_EQ(TempDir::Read(again.File("crc/index.php")), TempDir::Read(out.File("crc/index.php")));
    EXPECT_EQ(static_cast<uint8_t>(TempDir::Read(again.File("crc/dta.lst"))[0]), 2);

    // In place: the served tree is the source of its own replacement.
    const ProcessResult inPlace = RunRelease({again.File("crc"), again.Path(), "--seed", "3"});
    ASSERT_EQ(inPlace.ExitCode, 0) << inPlace.Err;
    EXPECT_EQ(FolderNames(again.Path()), std::vector<std::string>{"crc"});
    EXPECT_EQ(FolderNames(again.File("crc")), FolderNames(out.File("crc")));
    EXPECT_EQ(TempDir::Read(again.File("crc/music1.ogg")), GameFiles.at("music1.ogg"));
    EXPECT_EQ(static_cast<uint8_t>(TempDir::Read(again.File("crc/dta.lst"))[0]), 3);
}

TEST(Release, HelpExplainsUsage) {
    const ProcessResult r = RunRelease({"--help"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_NE(r.Out.find("ostrak_release SOURCE_DIR OUT_DIR [--seed N]"), std::string::npos);
    EXPECT_NE(r.Out.find("--dump LIST"), std::string::npos);
    EXPECT_LE(std::count(r.Out.begin(), r.Out.end(), '\n'), 25); // the details are in the manual
}

// Without arguments the tool shows how to call it, not only what is wrong.
TEST(Release, NoArgumentsPrintsTheUsage) {
    const ProcessResult r = RunRelease({});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Out, "");
    for (const char* line : {"Usage:\n", "  ostrak_release SOURCE_DIR OUT_DIR [--seed N]\n",
                             "  ostrak_release --dump LIST\n", "  ostrak_release --help\n"})
        EXPECT_NE(r.Err.find(line), std::string::npos) << line << r.Err;
}

// A dta.lst or index.php in the source is never copied (new ones are
// written), so an empty one is no reason to refuse the release.
TEST(Release, EmptyListAndVersionPageInTheSourceAreSkipped) {
    TempDir source, out;
    WriteFixedFiles(source);
    source.Write("a.pak", "a");
    source.Write("dta.lst", "");
    source.Write("index.php", "");
    const ProcessResult r = RunRelease({source.Path(), out.Path()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Err.find("dta.lst is not copied"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("index.php is not copied"), std::string::npos) << r.Err;
    EXPECT_EQ(TempDir::Read(out.File("crc/index.php")),
              CrcText(TempDir::Read(source.File("ostrak.exe"))));
    FileListTable table;
    ASSERT_TRUE(ReadFileList(out.File("crc/dta.lst"), table));
    EXPECT_EQ(table.EntryCount, 1);
}

// Names up to the system's 255 bytes are published: the temporary name of
// each copy does not grow with the file's.
TEST(Release, PublishesNamesOf243To255Bytes) {
    TempDir source, out;
    WriteFixedFiles(source);
    const std::string n243(243, 'm'), n255(255, 'n');
    source.Write(n243, "243");
    source.Write(n255, "255");
    const ProcessResult r = RunRelease({source.Path(), out.Path()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(TempDir::Read(out.File("crc/" + n243)), "243");
    EXPECT_EQ(TempDir::Read(out.File("crc/" + n255)), "255");
    FileListTable table;
    ASSERT_TRUE(ReadFileList(out.File("crc/dta.lst"), table));
    ASSERT_EQ(table.EntryCount, 2);
    EXPECT_EQ(table.EntryNames[1], n255);
}

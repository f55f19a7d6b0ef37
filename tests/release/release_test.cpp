#include "ReleaseTool.h"
#include "checksum/clsCRC.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListWriter.h"

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
    EXPECT_EQ(version,
              ChecksumText(clsCRC().CalculateString(TempDir::Read(source.File("ostrak.exe")))));
    const std::string list = TempDir::Read(crc + "/dta.lst");
    EXPECT_EQ(ChecksumText(clsCRC().CalculateString(list)), version);
    EXPECT_EQ(static_cast<uint8_t>(list[0]), 37);

    FileListTable table;
    ASSERT_TRUE(ReadFileList(crc + "/dta.lst", table));
    // std::map orders names by their bytes, as the list must.
    ASSERT_EQ(table.EntryCount, GameFiles.size());
    int i = 0;
    for (const auto& [name, bytes] : GameFiles) {
        EXPECT_EQ(table.EntryNames[i], name);
        EXPECT_EQ(ChecksumText(table.EntryChecksums[i]),
                  ChecksumText(clsCRC().CalculateString(bytes)))
            << name;
        ++i;
    }
}

TEST(Release, DumpPrintsSeedCountAndEntries) {
    TempDir source, out;
    WriteFixedFiles(source);
    source.Write("b.pak", "bee");
    source.Write("a.pak", "123456789");
    ASSERT_EQ(RunRelease({source.Path(), out.Path(), "--seed=200"}).ExitCode, 0);
    const ProcessResult r = RunRelease({"--dump", out.File("crc/dta.lst")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "seed: 200\ncount: 2\n-873187034 a.pak\n" +
                         ChecksumText(clsCRC().CalculateString("bee")) + " b.pak\n");
}

// A list from elsewhere may name odd files: the dump shows them on one line
// each and marks them.
TEST(Release, DumpMarksUnsafeNames) {
    TempDir dir;
    const std::string path =
        dir.Write("dta.lst", EncodeFileList(9, {{"ok.pak", 1}, {"..", 2}, {"a\nb", -3}}, 0));
    const ProcessResult r = RunRelease({"--dump", path});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out,
              "seed: 9\ncount: 3\n1 ok.pak\n2 ..  (unsafe name)\n-3 a\\x0Ab  (unsafe name)\n");
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
}

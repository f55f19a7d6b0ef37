#include "ListSamples.h"
#include "filelist/FileListReader.h"
#include "filelist/FileName.h"
#include "runtime/Rnd.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace ostrak;

namespace {

void ExpectTableHolds(const FileListTable& t, const std::vector<FileListEntry>& entries) {
    ASSERT_EQ(t.EntryCount, entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(t.EntryNames[i], entries[i].Name) << "entry " << i;
        EXPECT_EQ(t.EntryChecksums[i], entries[i].Checksum) << "entry " << i;
    }
}

bool SameTable(const FileListTable& a, const FileListTable& b) {
    return a.EntryCount == b.EntryCount && a.EntryNames == b.EntryNames &&
           a.EntryChecksums == b.EntryChecksums && a.EntryNameSafe == b.EntryNameSafe;
}

// A table whose every slot holds something recognisable.
FileListTable MarkedTable() {
    FileListTable t;
    t.EntryCount = 3;
    for (int i = 0; i < FileListTable::Slots; ++i) {
        t.EntryNames[i] = "old" + std::to_string(i);
        t.EntryChecksums[i] = -i;
        t.EntryNameSafe[i] = VbTrue;
    }
    return t;
}

} // namespace

TEST(ReadFileList, RoundTrips) {
    struct Case {
        const char* what;
        int count;
        size_t maxName;
    } cases[] = {{"empty", 0, 0}, {"one", 1, 40}, {"full", 255, 40}, {"long names", 255, 255}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto entries = SampleEntries(c.count, c.maxName);
        if (c.maxName == 255)
            for (auto& e : entries)
                e.Name.resize(255, 'n');
        const std::string path = dir.Write("dta.lst", EncodeFileList(77, entries));
        FileListTable table = MarkedTable();
        ASSERT_TRUE(ReadFileList(path, table));
        ExpectTableHolds(table, entries);
    }
}

TEST(ReadFileList, RoundTripsWithEverySeed) {
    const auto entries = SampleEntries(5);
    for (int seed = 1; seed <= 255; ++seed) {
        FileListTable table;
        ASSERT_EQ(DecodeFileList(EncodeFileList(static_cast<uint8_t>(seed), entries), table),
                  FileListStatus::Read)
            << "seed " << seed;
        ExpectTableHolds(table, entries);
    }
}

// A list written by hand from the layout with known keys (seed 37:
// 113, 74, 29, ...): count 1, name "ab", checksum 0x11223344.
TEST(ReadFileList, DecodesHandMadeList) {
    const std::string bytes = HandMadeList();
    FileListTable table;
    ASSERT_EQ(DecodeFileList(bytes, table), FileListStatus::Read);
    ExpectTableHolds(table, {{"ab", 0x11223344}});
}

TEST(ReadFileList, SecondReadGivesTheSameTable) {
    TempDir dir;
    const std::string path = dir.Write("dta.lst", EncodeFileList(9, SampleEntries(30)));
    FileListTable first = MarkedTable(), second = MarkedTable();
    ASSERT_TRUE(ReadFileList(path, first));
    // Connections reseed the generator from the clock between two runs.
    Randomize();
    Rnd(1.0f);
    ASSERT_TRUE(ReadFileList(path, second));
    EXPECT_TRUE(SameTable(first, second));
    ASSERT_TRUE(ReadFileList(path, second));
    EXPECT_TRUE(SameTable(first, second));
}

TEST(ReadFileList, LaterSlotsKeepWhatTheyHeld) {
    FileListTable table = MarkedTable();
    const auto entries = SampleEntries(2);
    ASSERT_EQ(DecodeFileList(EncodeFileList(5, entries), table), FileListStatus::Read);
    ExpectTableHolds(table, entries);
    EXPECT_EQ(table.EntryNames[2], "old2");
    EXPECT_EQ(table.EntryChecksums[254], -254);
}

TEST(ReadFileList, ListCutAnywhereIsNotRead) {
    // Bytes after the last entry (older publishers wrote four) are no field.
    const std::string entries = EncodeFileList(200, SampleEntries(6));
    const std::string whole = entries + "\x01\x02\x03\x04";
    const size_t entriesEnd = entries.size();
    for (size_t cut = 0; cut < entriesEnd; ++cut) {
        FileListTable table = MarkedTable();
        EXPECT_EQ(DecodeFileList(whole.substr(0, cut), table), FileListStatus::Truncated)
            << "cut at " << cut;
        EXPECT_TRUE(SameTable(table, MarkedTable())) << "cut at " << cut;
    }
    for (size_t cut = entriesEnd; cut <= whole.size(); ++cut) {
        FileListTable table;
        EXPECT_EQ(DecodeFileList(whole.substr(0, cut), table), FileListStatus::Read)
            << "cut at " << cut;
    }
}

TEST(ReadFileList, CutFileOnDiskIsNotRead) {
    TempDir dir;
    const std::string whole = EncodeFileList(3, SampleEntries(2));
    const std::string path = dir.Write("dta.lst", whole.substr(0, whole.size() - 5));
    FileListTable table = MarkedTable();
    EXPECT_FALSE(ReadFileList(path, table));
    EXPECT_TRUE(SameTable(table, MarkedTable()));
}

TEST(ReadFileList, SeedZeroIsNotRead) {
    std::string bytes = EncodeFileList(1, SampleEntries(3));
    bytes[0] = 0;
    FileListTable table = MarkedTable();
    EXPECT_EQ(DecodeFileList(bytes, table), FileListStatus::SeedZero);
    EXPECT_TRUE(SameTable(table, MarkedTable()));
    TempDir dir;
    EXPECT_FALSE(ReadFileList(dir.Write("dta.lst", bytes), table));
}

TEST(ReadFileList, MissingOrUnreadableFileIsNotRead) {
    TempDir dir;
    FileListTable table = MarkedTable();
    EXPECT_EQ(ReadFileListFile(dir.File("absent.lst"), table), FileListStatus::NotOpened);
    EXPECT_EQ(ReadFileListFile(dir.Path(), table), FileListStatus::NotOpened);
    EXPECT_FALSE(ReadFileList(dir.File("absent.lst"), table));
    EXPECT_TRUE(SameTable(table, MarkedTable()));
}

TEST(ReadFileList, FlagsUnsafeNames) {
    const std::vector<FileListEntry> entries = {{"", 1},
                                                {".", 2},
                                                {"..", 3},
                                                {"a/b", 4},
                                                {"a\\b", 5},
                                                {std::string("x\0y", 3), 6},
                                                {"tab\t", 7},
                                                {"del\x7f", 8},
                                                {"ok.pak", 9},
                                                {"\xE9t\xE9.ogg", 10},
                                                {"...", 11},
                                                {"a b", 12},
                                                // one file with an earlier entry on Windows
                                                {"OK.PAK", 13},
                                                {"\xC9T\xC9.oGG", 14},
                                                // the fixed files, in any case
                                                {"ostrak.exe", 15},
                                                {"DTA.LST", 16},
                                                {"cgziplibrary.dll", 17},
                                                {"Unzip32.dll", 18},
                                                {"gdiplus.DLL", 19},
                                                {"ostrak.exe2", 20}};
    FileListTable table;
    ASSERT_EQ(DecodeFileList(EncodeFileList(11, entries), table), FileListStatus::Read);
    const bool expected[] = {false, false, false, false, false, false, false, false, true,  true,
                             true,  true,  false, false, false, false, false, false, false, true};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(table.EntryNames[i], entries[i].Name) << i;
        EXPECT_EQ(IsTrue(table.EntryNameSafe[i]), expected[i]) << "entry " << i;
    }
}

TEST(IsSafeFileName, ControlCharacters) {
    for (int b = 0; b < 256; ++b) {
        const std::string name = "a" + std::string(1, static_cast<char>(b)) + "b";
        const bool control = b < 32 || b == 127 || b == '/' || b == '\\';
        EXPECT_EQ(IsSafeFileName(name), !control) << "byte " << b;
    }
}

#include "ListSamples.h"
#include "filelist/FileListReader.h"

#include <gtest/gtest.h>

using namespace ostrak;

// Nothing follows the last entry: the list is exactly its fields, so its
// checksum is that of the entries and changes whenever they do.
TEST(EncodeFileList, EndsWithTheLastEntry) {
    for (int count : {0, 1, 17, 255}) {
        const auto entries = SampleEntries(count);
        size_t fields = 2;
        for (const FileListEntry& e : entries)
            fields += 1 + e.Name.size() + 4;
        const std::string list = EncodeFileList(42, entries);
        EXPECT_EQ(list.size(), fields) << count << " entries";
        // One byte less cuts the last field.
        FileListTable table;
        EXPECT_EQ(DecodeFileList(list.substr(0, list.size() - 1), table), FileListStatus::Truncated)
            << count << " entries";
    }
}

// A list checked against the layout by hand: seed 37, count 1, "ab" with the
// first keys of seed 37 (113, 74, 29, 192, 9).
TEST(EncodeFileList, FollowsTheLayout) {
    EXPECT_EQ(EncodeFileList(37, {{"ab", 0x11223344}}), HandMadeList());
}

TEST(EncodeFileList, RefusesWhatCannotBeRead) {
    EXPECT_THROW(EncodeFileList(0, {}), std::invalid_argument);
    EXPECT_THROW(EncodeFileList(1, SampleEntries(256)), std::invalid_argument);
    EXPECT_THROW(EncodeFileList(1, {{std::string(256, 'x'), 0}}), std::invalid_argument);
    EXPECT_NO_THROW(EncodeFileList(1, {{std::string(255, 'x'), 0}}));
}

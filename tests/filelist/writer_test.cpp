#include "ListSamples.h"
#include "checksum/Crc32.h"
#include "checksum/Crc32Padding.h"
#include "checksum/clsCRC.h"
#include "filelist/FileListReader.h"

#include <gtest/gtest.h>
#include <random>

using namespace ostrak;

TEST(Crc32Padding, ReachesAnyTarget) {
    std::mt19937 random(1);
    for (int i = 0; i < 2000; ++i) {
        const uint32_t reg = random(), target = random();
        const auto pad = Crc32Padding(reg, target);
        EXPECT_EQ(~Crc32Update(reg, pad.data(), pad.size()), target) << reg << " " << target;
    }
    for (uint32_t target : {0u, 0xFFFFFFFFu}) {
        const auto pad = Crc32Padding(0xFFFFFFFFu, target);
        EXPECT_EQ(~Crc32Update(0xFFFFFFFFu, pad.data(), 4), target);
    }
}

// The list's own checksum text is the version text, so an up-to-date
// installation keeps its list.
TEST(EncodeFileList, ChecksumOfListIsTheVersionText) {
    const std::string exe = "MZ pretend game executable";
    const uint32_t version = static_cast<uint32_t>(clsCRC().CalculateString(exe));
    for (int count : {0, 1, 17, 255}) {
        const std::string list = EncodeFileList(42, SampleEntries(count), version);
        EXPECT_EQ(ChecksumText(clsCRC().CalculateString(list)),
                  ChecksumText(static_cast<int32_t>(version)))
            << count << " entries";
    }
}

// A list checked against the layout by hand: seed 37, count 1, "ab" with the
// first keys of seed 37 (113, 74, 29, 192, 9).
TEST(EncodeFileList, FollowsTheLayout) {
    const std::string list = EncodeFileList(37, {{"ab", 0x11223344}}, 0);
    ASSERT_EQ(list.size(), 13u);
    const std::string expected = HandMadeList();
    EXPECT_EQ(list.substr(0, 9), expected);
}

TEST(EncodeFileList, RefusesWhatCannotBeRead) {
    EXPECT_THROW(EncodeFileList(0, {}, 0), std::invalid_argument);
    EXPECT_THROW(EncodeFileList(1, SampleEntries(256), 0), std::invalid_argument);
    EXPECT_THROW(EncodeFileList(1, {{std::string(256, 'x'), 0}}, 0), std::invalid_argument);
    EXPECT_NO_THROW(EncodeFileList(1, {{std::string(255, 'x'), 0}}, 0));
}

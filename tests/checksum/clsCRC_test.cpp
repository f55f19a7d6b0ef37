// clsCRC: check values, algorithm selection, register semantics, array
// bounds, incremental use and files.
#include "checksum/CrcKernels.h"
#include "checksum/CrcReference.h"
#include "checksum/FileChunks.h"
#include "checksum/clsCRC.h"
#include "support/FolderNames.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

using namespace ostrak;

namespace {

clsCRC WithAlgorithm(int32_t algorithm) {
    clsCRC crc;
    crc.Algorithm(algorithm);
    return crc;
}

struct CheckValue {
    int32_t algorithm;
    std::string text;
    int32_t value;
    std::string checksumText;
};

TEST(clsCRC, CheckValues) {
    const CheckValue cases[] = {
        {clsCRC::CRC32, "123456789", -873187034, "-873187034"},
        {clsCRC::CRC32, "abc", 891568578, "891568578"},
        {clsCRC::CRC16, "abc", 40406, "40406"},
        {clsCRC::CRC16, "123456789", 12739, "12739"},
        {clsCRC::CRC32, "", 0, "0"},
        {clsCRC::CRC16, "", 0, "0"},
    };
    for (const auto& c : cases) {
        clsCRC crc = WithAlgorithm(c.algorithm);
        EXPECT_EQ(crc.CalculateString(c.text), c.value) << c.text;
        EXPECT_EQ(crc.Value(), c.value) << c.text;
        EXPECT_EQ(ChecksumText(crc.CalculateString(c.text)), c.checksumText) << c.text;
        EXPECT_EQ(crc.CalculateBytes(VbByteArray::FromText(c.text)), c.value) << c.text;
    }
    EXPECT_EQ(ChecksumText(std::nullopt), "");
    EXPECT_EQ(ChecksumText(INT32_MIN), "-2147483648");
}

TEST(clsCRC, StartsAsCrc32WithValueZero) {
    clsCRC crc;
    EXPECT_EQ(crc.Algorithm(), -1);
    EXPECT_EQ(crc.Value(), 0);
    EXPECT_EQ(crc.CalculateString("123456789"), -873187034);
}

// In a fresh process (the death-test child re-runs the binary): the CRC-16
// tables appear only when an object first selects CRC-16.
TEST(clsCRC, Crc16TablesAreBuiltOnFirstSelection) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            clsCRC crc;
            crc.CalculateString("abc");
            const bool before = crc_kernels::Crc16TablesBuilt();
            crc.Algorithm(clsCRC::CRC16);
            std::exit(!before && crc_kernels::Crc16TablesBuilt() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(clsCRC, AlgorithmReadsBackZeroOrMinusOne) {
    const std::pair<int32_t, int32_t> cases[] = {{1, -1}, {2, -1},         {-5, -1},
                                                 {0, 0},  {INT32_MIN, -1}, {-1, -1}};
    for (auto [set, read] : cases) {
        clsCRC crc;
        crc.Algorithm(set);
        EXPECT_EQ(crc.Algorithm(), read) << set;
    }
}

TEST(clsCRC, ClearAndAlgorithmChangeRestart) {
    for (int32_t algorithm : {clsCRC::CRC16, clsCRC::CRC32}) {
        clsCRC crc = WithAlgorithm(algorithm);
        crc.AddString("some bytes");
        ASSERT_NE(crc.Value(), 0);
        crc.Clear();
        EXPECT_EQ(crc.Value(), 0);
        crc.AddString("some bytes");
        crc.Algorithm(algorithm); // the same algorithm again still restarts
        EXPECT_EQ(crc.Value(), 0);
    }
}

TEST(clsCRC, ClearResetsBothRegisters) {
    clsCRC crc = WithAlgorithm(clsCRC::CRC16);
    crc.Value(1234);
    crc.Algorithm(clsCRC::CRC32); // clears both
    crc.AddString("abc");
    crc.Value(77);
    crc.Clear();
    crc.Algorithm(clsCRC::CRC16);
    EXPECT_EQ(crc.Value(), 0);
}

TEST(clsCRC, ValueSetLoadsTheRegister) {
    clsCRC crc32;
    crc32.Value(0);
    EXPECT_EQ(crc32.Value(), -1);
    crc32.Value(-1);
    EXPECT_EQ(crc32.Value(), 0);
    // A loaded register is continued from: -1 is the cleared register.
    crc32.AddString("123456789");
    EXPECT_EQ(crc32.Value(), -873187034);

    clsCRC crc16 = WithAlgorithm(clsCRC::CRC16);
    crc16.Value(70000);
    EXPECT_EQ(crc16.Value(), 4464);
    // The next bytes continue from the low 16 bits.
    crc16.AddString("abc");
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(crc16.Value(), RefCrc16(4464, abc, 3));
    // Only the selected algorithm's register is loaded.
    crc16.Algorithm(clsCRC::CRC32);
    crc16.Value(5);
    crc16.Algorithm(clsCRC::CRC16); // clears
    crc16.AddString("abc");
    EXPECT_EQ(crc16.Value(), 40406);
}

TEST(clsCRC, ArrayBounds) {
    for (int32_t algorithm : {clsCRC::CRC16, clsCRC::CRC32}) {
        clsCRC crc = WithAlgorithm(algorithm);
        const int32_t abc = crc.CalculateString("abc");
        // Lower bound 1 (or any other): all elements from lower to upper bound.
        for (int32_t lower : {1, -7, 1000}) {
            VbByteArray bytes({'a', 'b', 'c'}, lower);
            EXPECT_EQ(bytes.UBound(), lower + 2);
            EXPECT_EQ(bytes(lower), 'a');
            EXPECT_EQ(crc.CalculateBytes(bytes), abc) << lower;
        }
        // No bounds, or bounds without elements: the running value stays.
        crc.Clear();
        crc.AddString("ab");
        const int32_t ab = crc.Value();
        EXPECT_EQ(crc.AddBytes(VbByteArray()), ab);
        EXPECT_EQ(crc.AddBytes(VbByteArray({}, 0)), ab);
        EXPECT_EQ(crc.AddBytes(VbByteArray::FromText("")), ab);
        EXPECT_EQ(crc.AddString(""), ab);
        EXPECT_EQ(crc.AddString("c"), abc);
        EXPECT_EQ(crc.CalculateBytes(VbByteArray()), 0);
    }
    EXPECT_FALSE(VbByteArray().HasBounds());
    EXPECT_TRUE(VbByteArray::FromText("").HasBounds());
    EXPECT_EQ(VbByteArray::FromText("").UBound(), -1);
}

// Incremental runs split at every point (and in three pieces around the
// folding kernels' block sizes) equal the one-shot checksum.
TEST(clsCRC, IncrementalEqualsOneShot) {
    const auto data = RandomBytes(3000, 7);
    const std::span<const uint8_t> all(data);
    for (int32_t algorithm : {clsCRC::CRC16, clsCRC::CRC32}) {
        clsCRC crc = WithAlgorithm(algorithm);
        const int32_t whole = crc.CalculateBytes(all);
        for (size_t split = 0; split <= data.size(); ++split) {
            crc.Clear();
            crc.AddBytes(all.first(split));
            ASSERT_EQ(crc.AddBytes(all.subspan(split)), whole) << split;
        }
        for (size_t a : {15, 16, 63, 64, 127, 128, 255, 256, 511, 512, 1023}) {
            for (size_t b : {1, 17, 64, 256, 513, 1024}) {
                crc.Clear();
                crc.AddBytes(all.first(a));
                crc.AddBytes(all.subspan(a, b));
                ASSERT_EQ(crc.AddBytes(all.subspan(a + b)), whole) << a << "+" << b;
            }
        }
    }
}

TEST(clsCRC, ObjectsAreIndependent) {
    clsCRC a;
    clsCRC b = WithAlgorithm(clsCRC::CRC16);
    a.AddString("12345");
    b.AddString("ab");
    a.AddString("6789");
    b.AddString("c");
    EXPECT_EQ(a.Value(), -873187034);
    EXPECT_EQ(b.Value(), 40406);
}

TEST(clsCRC, TextIsOneBytePerCharacter) {
    const std::string text("\xE4\x00\xFF x", 5);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    clsCRC crc;
    EXPECT_EQ(static_cast<uint32_t>(crc.CalculateString(text)),
              ~RefCrc32(0xFFFFFFFFu, bytes, text.size()));
    crc.Algorithm(clsCRC::CRC16);
    EXPECT_EQ(crc.CalculateString(text), RefCrc16(0, bytes, text.size()));
}

class CalculateFileTest : public testing::Test {
protected:
    TempDir dir;
};

TEST_F(CalculateFileTest, EqualsCalculateBytesOfTheContents) {
    // Sizes around and beyond the chunk size, so that chunks join correctly.
    for (size_t size : {size_t{1}, size_t{4099}, kFileChunkSize, 2 * kFileChunkSize + 12345}) {
        const auto data = RandomBytes(size, static_cast<uint32_t>(size));
        const std::string path =
            dir.Write("f" + std::to_string(size), std::string(data.begin(), data.end()));
        for (int32_t algorithm : {clsCRC::CRC16, clsCRC::CRC32}) {
            clsCRC crc = WithAlgorithm(algorithm);
            const int32_t expected = crc.CalculateBytes(data);
            crc.Clear();
            crc.AddString("earlier");
            EXPECT_EQ(crc.CalculateFile(path), CrcResult(expected)) << size;
            EXPECT_EQ(crc.Value(), expected) << size;
        }
    }
}

TEST_F(CalculateFileTest, EmptyResultLeavesTheRunningValue) {
    const std::string empty = dir.Write("empty", "");
    const std::string cases[] = {empty, dir.File("missing"), dir.Path(), ""};
    for (int32_t algorithm : {clsCRC::CRC16, clsCRC::CRC32}) {
        for (const auto& path : cases) {
            clsCRC crc = WithAlgorithm(algorithm);
            crc.AddString("running");
            const int32_t running = crc.Value();
            const CrcResult result = crc.CalculateFile(path);
            EXPECT_FALSE(result.has_value()) << path;
            EXPECT_EQ(ChecksumText(result), "") << path;
            EXPECT_EQ(crc.Value(), running) << path;
            crc.AddString("!");
            crc.AddString("?");
            EXPECT_EQ(crc.Value(), WithAlgorithm(algorithm).CalculateString("running!?")) << path;
        }
    }
}

#ifndef _WIN32
// Permission bits and the process's open descriptors are POSIX matters.
TEST_F(CalculateFileTest, UnreadableFileGivesEmptyResult) {
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: permissions do not block reading";
    const std::string path = dir.Write("secret", "contents");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    clsCRC crc;
    EXPECT_EQ(crc.CalculateFile(path), std::nullopt);
}

size_t OpenFileCount() {
    return FolderNames("/proc/self/fd").size();
}

TEST_F(CalculateFileTest, LeavesNoFileOpen) {
    const std::string file = dir.Write("f", std::string(5000, 'x'));
    const std::string paths[] = {file, dir.Write("empty", ""), dir.Path(), dir.File("missing")};
    const size_t before = OpenFileCount();
    clsCRC crc;
    for (int i = 0; i < 50; ++i)
        for (const auto& path : paths)
            crc.CalculateFile(path);
    EXPECT_EQ(OpenFileCount(), before);
}
#endif

TEST_F(CalculateFileTest, ObjectKeepsWorkingForManyFiles) {
    clsCRC crc;
    for (int i = 0; i < 300; ++i) {
        const std::string text = "file " + std::to_string(i);
        const std::string path = dir.Write("n", text);
        ASSERT_EQ(crc.CalculateFile(path), CrcResult(clsCRC().CalculateString(text))) << i;
    }
}

} // namespace

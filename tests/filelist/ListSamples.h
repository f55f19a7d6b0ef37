#pragma once
// Sample entries for the release list tests.
#include "filelist/FileListWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrak {

// count entries with names of varied length and bytes (up to maxName bytes,
// including bytes from 128 up) and checksums that touch every byte.
inline std::vector<FileListEntry> SampleEntries(int count, size_t maxName = 40) {
    std::vector<FileListEntry> out;
    for (int i = 0; i < count; ++i) {
        std::string name = "file" + std::to_string(i);
        while (name.size() < std::min<size_t>(maxName, 5 + (i * 7) % 37))
            name.push_back(static_cast<char>(0x80 + (i * 13 + name.size()) % 128));
        const uint32_t v = 0x9E3779B9u * static_cast<uint32_t>(i + 1);
        out.push_back({name, static_cast<int32_t>(v)});
    }
    return out;
}

// A list written by hand from the layout with the known keys of seed 37
// (113, 74, 29, 192, 9): count 1, name "ab", checksum 0x11223344.
inline std::string HandMadeList() {
    return {37,
            static_cast<char>(1 ^ 113),
            static_cast<char>(2 ^ 74),
            static_cast<char>('a' ^ 29),
            static_cast<char>('b' ^ 192),
            static_cast<char>(0x44 ^ 9),
            0x33,
            0x22,
            0x11};
}

} // namespace ostrak

#pragma once
// Writing a release file list: the publisher's side of FileListReader.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostrak {

struct FileListEntry {
    std::string Name; // bytes, 0 to 255 of them
    int32_t Checksum = 0;
};

// The list bytes for seed (1 to 255) and entries (at most 255, names of at
// most 255 bytes), nothing after the last entry. Draws its keys from the
// process-wide generator, like the reader. Throws std::invalid_argument for
// seed 0, too many entries or a name that is too long; it does not judge
// whether names are safe.
std::string EncodeFileList(uint8_t seed, const std::vector<FileListEntry>& entries);

} // namespace ostrak

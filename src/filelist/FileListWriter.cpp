#include "filelist/FileListWriter.h"

#include "filelist/FileListKeys.h"

namespace ostrak {

std::string EncodeFileList(uint8_t seed, const std::vector<FileListEntry>& entries) {
    if (seed == 0)
        throw std::invalid_argument("seed byte 0 cannot be decoded; use 1 to 255");
    if (entries.size() > 255)
        throw std::invalid_argument(std::to_string(entries.size()) +
                                    " entries; a list holds at most 255");
    for (const FileListEntry& e : entries)
        if (e.Name.size() > 255)
            throw std::invalid_argument("name of " + std::to_string(e.Name.size()) +
                                        " bytes; at most 255");

    std::string out;
    out.push_back(static_cast<char>(seed));
    FileListKeys keys(seed);
    auto put = [&](uint8_t b) { out.push_back(static_cast<char>(b ^ keys.Next())); };
    put(static_cast<uint8_t>(entries.size()));
    for (const FileListEntry& e : entries) {
        put(static_cast<uint8_t>(e.Name.size()));
        for (char c : e.Name)
            put(static_cast<uint8_t>(c));
        // One key masks the checksum as a whole: only its lowest byte changes.
        const uint32_t v = static_cast<uint32_t>(e.Checksum) ^ keys.Next();
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>(v >> (8 * i)));
    }
    return out;
}

} // namespace ostrak

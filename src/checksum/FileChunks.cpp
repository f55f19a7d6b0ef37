#include "checksum/FileChunks.h"

#include "platform/Files.h"

#include <memory>

namespace ostrak {

std::optional<uint64_t> ReadFileChunks(const std::string& path,
                                       const std::function<void(const uint8_t*, size_t)>& sink,
                                       size_t chunkSize, ErrorRecord* failure) {
    // Only regular files: a directory has no contents, and a pipe or device
    // could block or never end.
    Files::InputFile file;
    if (!file.Open(path, failure))
        return std::nullopt;
    if (chunkSize == 0)
        chunkSize = kFileChunkSize;
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(chunkSize);
    uint64_t total = 0;
    for (;;) {
        const int64_t got = file.Read(buffer.get(), chunkSize, failure);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return total;
        sink(buffer.get(), static_cast<size_t>(got));
        total += static_cast<uint64_t>(got);
    }
}

} // namespace ostrak

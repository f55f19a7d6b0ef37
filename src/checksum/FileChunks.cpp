#include "checksum/FileChunks.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace ostrak {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
} // namespace

std::optional<uint64_t> ReadFileChunks(const std::string& path,
                                       const std::function<void(const uint8_t*, size_t)>& sink,
                                       size_t chunkSize) {
    // Only regular files: a directory has no contents, and a pipe or device
    // could block or never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || ec)
        return std::nullopt;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    if (chunkSize == 0)
        chunkSize = kFileChunkSize;
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(chunkSize);
    uint64_t total = 0;
    for (;;) {
        const size_t got = std::fread(buffer.get(), 1, chunkSize, file.get());
        if (got > 0) {
            sink(buffer.get(), got);
            total += got;
        }
        if (got < chunkSize) {
            if (std::ferror(file.get()))
                return std::nullopt;
            if (std::feof(file.get()))
                return total;
        }
    }
}

} // namespace ostrak

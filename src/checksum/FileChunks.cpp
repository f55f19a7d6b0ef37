#include "checksum/FileChunks.h"

#include "platform/Files.h"

#include <memory>

namespace ostrak {

namespace {
// The default-size buffer of the last finished call on this thread, kept for
// the next: a fresh one costs a page fault per 4 KiB on each file (under Wine,
// which makes each page of a read's buffer resident first, about 4 ms per
// file). A call made from inside a sink finds none and makes its own.
thread_local std::unique_ptr<uint8_t[]> SpareBuffer;
} // namespace

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
    const bool spareSize = chunkSize == kFileChunkSize;
    std::unique_ptr<uint8_t[]> buffer = spareSize && SpareBuffer
                                            ? std::move(SpareBuffer)
                                            : std::make_unique_for_overwrite<uint8_t[]>(chunkSize);
    std::optional<uint64_t> total = 0;
    for (;;) {
        const int64_t got = file.Read(buffer.get(), chunkSize, failure);
        if (got <= 0) {
            if (got < 0)
                total.reset();
            break;
        }
        sink(buffer.get(), static_cast<size_t>(got));
        *total += static_cast<uint64_t>(got);
    }
    if (spareSize)
        SpareBuffer = std::move(buffer);
    return total;
}

} // namespace ostrak

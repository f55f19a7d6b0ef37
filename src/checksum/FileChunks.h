#pragma once
// Streams a regular file through a caller's function in bounded chunks.
#include "runtime/ErrorRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ostrak {

// Size of the chunks CalculateFile reads: its memory use per call.
inline constexpr size_t kFileChunkSize = size_t{1} << 20;

// Reads the regular file at path from start to end in chunks of at most
// chunkSize bytes and hands each to sink, in order. Returns the number of
// bytes read, or nothing when the path does not name a regular file, cannot
// be opened, or a read fails (sink may have seen part of the file then; the
// platform's error record is in *failure when failure is given). Never throws for file
// problems; the file is closed before it returns.
std::optional<uint64_t> ReadFileChunks(const std::string& path,
                                       const std::function<void(const uint8_t*, size_t)>& sink,
                                       size_t chunkSize = kFileChunkSize,
                                       ErrorRecord* failure = nullptr);

} // namespace ostrak

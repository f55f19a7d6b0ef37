#pragma once
// Copying one file of a release, with the proof that what was copied is
// the file as it stood, whole.
#include <cstdint>
#include <functional>
#include <string>

namespace ostrak {

// Copies from to to (through a temporary file that is flushed to the device
// and renamed into place) and returns the CRC-32 of the bytes copied.
// Throws ToolError naming from when it cannot be read, or when it changed
// while it was copied: its size or change time after the copy differ from
// before, or the bytes read differ from its size. to is then not written.
// afterChunk, when given, runs after each chunk has been written, with the
// count of bytes copied so far.
uint32_t CopyVerified(const std::string& from, const std::string& to,
                      const std::function<void(uint64_t copied)>& afterChunk = {});

} // namespace ostrak

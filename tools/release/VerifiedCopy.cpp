#include "VerifiedCopy.h"

#include "ToolError.h"
#include "checksum/Crc32.h"
#include "platform/Files.h"

#include <vector>

namespace ostrak {

namespace {

constexpr size_t CopyChunk = 1 << 20;

[[noreturn]] void Changed(const std::string& from, const Files::FileStamp& before,
                          const Files::FileStamp& after, uint64_t copied) {
    throw ToolError(from + ": changed while publishing (" + std::to_string(before.Size) +
                    " bytes when opened, " + std::to_string(after.Size) + " after, " +
                    std::to_string(copied) + " copied); publish again once it is complete");
}

} // namespace

uint32_t CopyVerified(const std::string& from, const std::string& to,
                      const std::function<void(uint64_t copied)>& afterChunk) {
    ErrorRecord failure;
    Files::InputFile in;
    Files::FileStamp before, after;
    if (!in.Open(from, &failure) || !in.Stamp(before, &failure))
        throw ToolError("cannot read " + failure.Description);
    Files::AtomicFileWriter out;
    if (!out.Begin(to, &failure))
        throw ToolError("cannot create " + failure.Description);
    std::vector<char> buffer(CopyChunk);
    uint32_t reg = 0xFFFFFFFFu;
    uint64_t copied = 0;
    for (;;) {
        const int64_t got = in.Read(buffer.data(), buffer.size(), &failure);
        if (got < 0)
            throw ToolError("cannot read " + failure.Description);
        if (got == 0)
            break;
        reg = Crc32Update(reg, buffer.data(), static_cast<size_t>(got));
        if (!out.Write(buffer.data(), static_cast<size_t>(got), &failure))
            throw ToolError("cannot write " + failure.Description);
        copied += static_cast<uint64_t>(got);
        if (afterChunk)
            afterChunk(copied);
    }
    if (!in.Stamp(after, &failure))
        throw ToolError("cannot read " + failure.Description);
    if (after != before || copied != static_cast<uint64_t>(before.Size))
        Changed(from, before, after, copied);
    if (!out.Sync(&failure) || !out.Commit(&failure))
        throw ToolError("cannot write " + failure.Description);
    return ~reg;
}

} // namespace ostrak

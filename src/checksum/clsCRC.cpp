#include "checksum/clsCRC.h"

#include "checksum/Crc32.h"
#include "checksum/CrcKernels.h"
#include "checksum/FileChunks.h"

namespace ostrak {

std::string ChecksumText(CrcResult result) {
    return result ? std::to_string(*result) : std::string();
}

clsCRC::clsCRC() {
    Algorithm(CRC32);
}

void clsCRC::PrepareCRC16() {
    crc_kernels::PrepareCrc16Tables();
    Crc16Prepared_ = -1;
}

void clsCRC::PrepareCRC32() {
    // The CRC-32 tables are constants built into the program.
    Crc32Prepared_ = -1;
}

void clsCRC::Algorithm(int32_t New_Value) {
    UseCrc32_ = New_Value != 0 ? -1 : 0;
    if (UseCrc32_ && !Crc32Prepared_)
        PrepareCRC32();
    if (!UseCrc32_ && !Crc16Prepared_)
        PrepareCRC16();
    Clear();
}

int32_t clsCRC::Algorithm() const {
    return UseCrc32_ ? -1 : 0;
}

void clsCRC::Clear() {
    Crc16Register_ = 0;
    Crc32Register_ = 0xFFFFFFFFu;
}

int32_t clsCRC::Value() const {
    if (UseCrc32_)
        return static_cast<int32_t>(~Crc32Register_);
    return Crc16Register_ & 0xFFFF;
}

void clsCRC::Value(int32_t New_Value) {
    if (UseCrc32_)
        Crc32Register_ = static_cast<uint32_t>(New_Value);
    else
        Crc16Register_ = New_Value;
}

int32_t clsCRC::AddBytes(std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return Value();
    if (UseCrc32_) {
        Crc32Register_ = Crc32Update(Crc32Register_, bytes.data(), bytes.size());
    } else {
        // A run of bytes leaves only the low 16 bits of the register in play.
        Crc16Register_ = crc_kernels::Crc16Slice16(static_cast<uint16_t>(Crc16Register_),
                                                   bytes.data(), bytes.size());
    }
    return Value();
}

int32_t clsCRC::AddBytes(const VbByteArray& bytes) {
    if (!bytes.HasBounds())
        return Value();
    return AddBytes(bytes.Bytes());
}

int32_t clsCRC::AddString(std::string_view Text) {
    return AddBytes(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(Text.data()), Text.size()));
}

int32_t clsCRC::CalculateBytes(std::span<const uint8_t> bytes) {
    Clear();
    return AddBytes(bytes);
}

int32_t clsCRC::CalculateBytes(const VbByteArray& bytes) {
    Clear();
    return AddBytes(bytes);
}

int32_t clsCRC::CalculateString(std::string_view Text) {
    Clear();
    return AddString(Text);
}

CrcResult clsCRC::CalculateFile(const std::string& Filename) {
    // Checksum into a separate object so that a failure part-way leaves this
    // one's registers as they were.
    clsCRC scratch = *this;
    scratch.Clear();
    const auto length = ReadFileChunks(Filename, [&scratch](const uint8_t* data, size_t n) {
        scratch.AddBytes(std::span<const uint8_t>(data, n));
    });
    if (!length || *length == 0)
        return std::nullopt;
    *this = scratch;
    return Value();
}

} // namespace ostrak

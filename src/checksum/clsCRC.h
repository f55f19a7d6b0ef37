#pragma once
// clsCRC: CRC-32 (ISO-HDLC / IEEE 802.3, the default) and CRC-16 (XMODEM)
// over byte arrays, text and whole files, in one call or incrementally.
//
// Use: create (CRC-32 selected, registers cleared); optionally set
// Algorithm; then either one Calculate... call, or Clear followed by any
// number of AddBytes / AddString calls and a final read of Value.
//
// One object per caller and thread; it owns nothing of the operating system
// between calls. The lookup tables are read-only and shared by all objects:
// CRC-32's are built into the program, CRC-16's are built once, when an
// object first selects CRC-16. File problems never raise: CalculateFile
// gives the empty result instead.
#include "checksum/VbByteArray.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrak {

// A checksum result: a signed 32-bit integer, or empty.
using CrcResult = std::optional<int32_t>;

// The checksum text of a result: signed decimal ("-873187034", "40406"),
// "" for an empty result.
std::string ChecksumText(CrcResult result);

class clsCRC {
public:
    // Values of Algorithm.
    static constexpr int32_t CRC16 = 0;
    static constexpr int32_t CRC32 = 1;

    clsCRC();

    // Feeds the array's elements, from its lower to its upper bound, into the
    // selected algorithm's running register; an array without bounds or
    // without elements changes nothing. Returns Value().
    int32_t AddBytes(const VbByteArray& bytes);
    int32_t AddBytes(std::span<const uint8_t> bytes);
    // AddBytes of the text's bytes, one byte per character.
    int32_t AddString(std::string_view Text);

    // 0 selects CRC-16, any other value CRC-32 (preparing it on its first
    // selection); always restarts the checksum (Clear).
    void Algorithm(int32_t New_Value);
    // 0 under CRC-16, -1 under CRC-32.
    int32_t Algorithm() const;

    // Clear, then AddBytes / AddString: the checksum of exactly these bytes.
    int32_t CalculateBytes(const VbByteArray& bytes);
    int32_t CalculateBytes(std::span<const uint8_t> bytes);
    int32_t CalculateString(std::string_view Text);

    // The checksum of the file's contents, the same as CalculateBytes of
    // them; the file is read in bounded chunks and closed on every path.
    // Empty when the file has length 0, is missing, is not a regular file,
    // or cannot be opened or read; the registers are then left as they were.
    CrcResult CalculateFile(const std::string& Filename);

    // The current checksum: under CRC-32 the complement of the register as
    // a signed integer, under CRC-16 the register's low 16 bits (0..65535).
    int32_t Value() const;
    // Loads the selected algorithm's register with New_Value unchanged:
    // under CRC-32 the register before the final inversion (so Value reads
    // back its complement); under CRC-16 all 32 bits are kept, Value shows
    // the low 16 and the next bytes continue from them.
    void Value(int32_t New_Value);

    // Restarts the running checksum of both algorithms.
    void Clear();

private:
    void PrepareCRC16();
    void PrepareCRC32();

    // Flags are 16-bit booleans: -1 true, 0 false.
    int16_t UseCrc32_ = -1;
    int32_t Crc16Register_ = 0;
    int16_t Crc16Prepared_ = 0;
    uint32_t Crc32Register_ = 0xFFFFFFFFu;
    int16_t Crc32Prepared_ = 0;
};

} // namespace ostrak

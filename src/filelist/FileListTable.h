#pragma once
// The release file list as the installer keeps it: the table that
// ReadFileList fills and the install flow walks. frmSplash holds one for the
// life of the program; entry i (1-based in the flow) sits at index i - 1.
#include "runtime/VbTypes.h"

#include <array>
#include <cstdint>
#include <string>

namespace ostrak {

struct FileListTable {
    static constexpr int Slots = 255;

    // Number of entries of the list as last read whole.
    uint8_t EntryCount = 0;
    // File names relative to the installation folder, as bytes.
    std::array<std::string, Slots> EntryNames;
    // The checksum each file must have (compared as its decimal text).
    std::array<int32_t, Slots> EntryChecksums{};
    // True when the name is safe to use as a plain file name inside the
    // installation folder (see IsSafeFileName), is none of the fixed files
    // and differs from every earlier entry's also after letter case folding
    // (FileName.h); the flow refuses the others.
    std::array<VbBool, Slots> EntryNameSafe{};
};

} // namespace ostrak

#pragma once
// Helpers of the ostrak_release tests: running the built tool and looking at
// the folders it reads and writes.
#include "checksum/clsCRC.h"
#include "support/FolderNames.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace ostrak {

inline ProcessResult RunRelease(std::vector<std::string> args) {
    args.insert(args.begin(), OSTRAK_RELEASE_BIN);
    return RunProcess(args);
}

inline std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(n, '\0');
    for (char& c : out)
        c = static_cast<char>(random());
    return out;
}

// The checksum text of bytes (CRC-32, signed decimal).
inline std::string CrcText(const std::string& bytes) {
    return ChecksumText(clsCRC().CalculateString(bytes));
}

// A release folder with the game executable and the three support libraries.
inline void WriteFixedFiles(const std::string& folder) {
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
    };
    write("ostrak.exe", "MZ" + RandomBytes(3000, 1));
    write("CGZipLibrary.dll", "MZ cgzip");
    write("gdiplus.dll", "MZ gdiplus");
    write("Unzip32.dll", "MZ unzip");
}
inline void WriteFixedFiles(const TempDir& source) {
    WriteFixedFiles(source.Path());
}

} // namespace ostrak

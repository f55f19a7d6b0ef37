#include "filelist/FileName.h"

#include <cstdint>
#include <utility>

namespace ostrak {

namespace {

// Windows-1252 lower-case letters from 128 up and their capitals.
constexpr std::array<std::pair<uint8_t, uint8_t>, 3> CodePagePairs = {{
    {0x9A, 0x8A}, // s with caron
    {0x9C, 0x8C}, // oe
    {0x9E, 0x8E}, // z with caron
}};

uint8_t FoldByte(uint8_t b) {
    if (b >= 'a' && b <= 'z')
        return static_cast<uint8_t>(b - 'a' + 'A');
    // a-grave to thorn, except the division sign
    if (b >= 0xE0 && b <= 0xFE && b != 0xF7)
        return static_cast<uint8_t>(b - 0x20);
    if (b == 0xFF) // y with diaeresis
        return 0x9F;
    for (const auto& [lower, upper] : CodePagePairs)
        if (b == lower)
            return upper;
    return b;
}

} // namespace

bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127 || c == '/' || c == '\\')
            return false;
    }
    return true;
}

std::string FoldedCase(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        c = static_cast<char>(FoldByte(static_cast<uint8_t>(c)));
    return out;
}

bool IsFixedFileName(const std::string& name) {
    const std::string folded = FoldedCase(name);
    for (const std::string& fixed : FixedFileNames)
        if (FoldedCase(fixed) == folded)
            return true;
    return false;
}

} // namespace ostrak

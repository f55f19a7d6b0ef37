#include "WindowsNames.h"

#include <array>
#include <cstdint>

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

bool IsReservedDeviceName(const std::string& name) {
    // The part before the first dot, less trailing spaces, decides:
    // "con.txt", "Con.tar.gz" and "CON .txt" are the console too.
    std::string stem = FoldedCase(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

} // namespace

std::string FoldedCase(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        c = static_cast<char>(FoldByte(static_cast<uint8_t>(c)));
    return out;
}

std::string WindowsNameProblem(const std::string& name) {
    if (IsReservedDeviceName(name))
        return "is a device name on Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9), whatever the "
               "case or extension";
    if (!name.empty() && (name.back() == '.' || name.back() == ' '))
        return std::string("ends in a ") + (name.back() == '.' ? "dot" : "space") +
               ", which Windows drops from file names";
    for (char c : name)
        if (c == ':' || c == '*' || c == '"' || c == '<' || c == '>' || c == '|')
            return std::string("holds \"") + c + "\", which Windows does not allow in file names";
    return "";
}

} // namespace ostrak

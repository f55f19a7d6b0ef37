#include "platform/AnsiText.h"

#include <cstdint>
#include <cstdio>

namespace ostrak {

namespace {

// Windows-1252 for 0x80..0x9F (0: undefined); the rest of the high half is
// Latin-1, equal to its Unicode code point.
constexpr char16_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendEscaped(std::string& out, uint8_t b) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    out += hex;
}

// Decodes the UTF-8 sequence at i into c and its length; false when the
// bytes there are not a well-formed, shortest-form sequence of a scalar value.
bool DecodeUtf8(const std::string& s, size_t i, char32_t& c, size_t& length) {
    const auto at = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t b = at(i);
    if (b < 0x80) {
        c = b;
        length = 1;
        return true;
    }
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        length = 2, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        length = 3, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        length = 4, c = b & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + length > s.size())
        return false;
    for (size_t k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (at(i + k) & 0x3F);
    }
    return c >= min && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

bool IsUtf8(const std::string& s) {
    for (size_t i = 0, n = 0; i < s.size(); i += n) {
        char32_t c;
        if (!DecodeUtf8(s, i, c, n))
            return false;
    }
    return true;
}

bool IsControl(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

} // namespace

std::string AnsiToDisplay(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    const bool utf8 = IsUtf8(bytes);
    for (size_t i = 0, n = 1; i < bytes.size(); i += n) {
        const uint8_t b = static_cast<uint8_t>(bytes[i]);
        char32_t c = b;
        n = 1;
        if (utf8)
            DecodeUtf8(bytes, i, c, n);
        else if (b >= 0x80 && b < 0xA0)
            c = HighControls[b - 0x80];
        if (c == '\\')
            out += "\\\\";
        else if (IsControl(c)) // undefined Windows-1252 bytes read as 0
            for (size_t k = 0; k < n; ++k)
                AppendEscaped(out, static_cast<uint8_t>(bytes[i + k]));
        else
            AppendUtf8(out, c);
    }
    return out;
}

} // namespace ostrak

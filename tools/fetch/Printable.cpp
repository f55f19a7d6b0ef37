#include "Printable.h"

namespace ostrak {

std::string Printable(std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            out += "\\x";
            out += Hex[c >> 4];
            out += Hex[c & 0xF];
        }
    }
    return out;
}

} // namespace ostrak

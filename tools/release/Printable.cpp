#include "Printable.h"

#include <cstdio>

namespace ostrak {

std::string Printable(const std::string& text) {
    std::string shown;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32 || b >= 127 || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            shown += hex;
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace ostrak

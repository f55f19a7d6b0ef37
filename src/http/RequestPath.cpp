#include "http/RequestPath.h"

namespace ostrak {

namespace {

bool NeedsEncoding(unsigned char c, bool keepEscapesAndQuery) {
    if (c >= 0x80 || c < 0x20 || c == 0x7F || c == ' ' || c == '"' || c == '#')
        return true;
    return (c == '%' || c == '?') && !keepEscapesAndQuery;
}

std::string Encode(std::string_view text, bool keepEscapesAndQuery) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (!NeedsEncoding(c, keepEscapesAndQuery)) {
            out += ch;
            continue;
        }
        out += '%';
        out += Hex[c >> 4];
        out += Hex[c & 0x0F];
    }
    return out;
}

} // namespace

std::string EncodeFileName(std::string_view name) {
    return Encode(name, false);
}

std::string EncodeRequestPath(std::string_view path) {
    return Encode(path, true);
}

} // namespace ostrak

#include "signature/Sha256.h"

namespace ostrak {

Sha256::Digest Sha256::Of(std::string_view bytes) {
    Sha256 sha;
    sha.Update(bytes);
    return sha.Final();
}

std::string Sha256::Hex(const Digest& digest) {
    static const char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (uint8_t b : digest) {
        text.push_back(Digits[b >> 4]);
        text.push_back(Digits[b & 15]);
    }
    return text;
}

} // namespace ostrak

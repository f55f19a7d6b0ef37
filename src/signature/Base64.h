#pragma once
// Base64 (RFC 4648, the standard alphabet, with "=" padding) for keys and
// signatures written as one line of text.
#include <optional>
#include <string>
#include <string_view>

namespace ostrak {

std::string Base64Encode(std::string_view bytes);
// The bytes of text, or nothing when text is not canonical base64: a length
// that is not a multiple of 4, a character outside the alphabet, padding
// anywhere but at the end, or unused bits that are not zero. Surrounding
// white space is not accepted either; callers trim it.
std::optional<std::string> Base64Decode(std::string_view text);

} // namespace ostrak

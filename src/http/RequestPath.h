#pragma once
// Percent-encoding of what goes into the path of a request line, so that
// every server finds the same bytes: a byte that a request path cannot carry
// as it is becomes "%" and two uppercase hex digits. Every other byte stays,
// so a path that needs no encoding is sent exactly as given. Pure functions
// on byte strings.
#include <string>
#include <string_view>

namespace ostrak {

// A file name as one part of a path: every byte >= 0x80, every control
// (below 0x20, and 0x7F), the space and '"', '#', '%' and '?' are encoded.
std::string EncodeFileName(std::string_view name);

// A whole path as a user typed it: the same, except that '%' and '?' stay,
// so escapes already written and a query ("?h=3") keep their meaning.
std::string EncodeRequestPath(std::string_view path);

} // namespace ostrak

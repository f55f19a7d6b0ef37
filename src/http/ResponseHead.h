#pragma once
// Reading the header block of an HTTP/1.0 response, as the download client
// needs it. Pure functions over byte text; nothing here allocates beyond the
// strings it returns.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrak {

namespace ResponseHead {

// The blank line that ends a header block: CR LF CR LF.
inline constexpr std::string_view BlankLine = "\r\n\r\n";

// Index (from 0) of the first CR LF CR LF in text at or after from, or
// std::string::npos. A caller that appends to text and searches again passes
// the old length minus 3 as from, so each byte is looked at about once.
size_t FindBlankLine(std::string_view text, size_t from = 0);

// The announced body length of a header block (the bytes before the blank
// line): the first line, split at CR LF, that contains "Content-Length"
// anywhere (case-sensitive; the status line counts like any other) decides.
// Its value is the text after the line's first blank, which must be decimal
// digits (blanks around them allowed); anything else, a missing line, or a
// value beyond 2^62 gives 0, as does a header without any such line.
int64_t ContentLength(std::string_view headerBlock);

// The value of the first real "Content-Length:" header of a header block:
// a line that starts with that name exactly, colon included. Its value (blanks
// around it allowed) must be decimal digits up to 2^62; otherwise, and when
// there is no such line, 0. Unlike ContentLength, a line that merely contains
// the name ("X-Original-Content-Length: 999") never counts here, so this is
// the length that the body is held to.
int64_t DeclaredLength(std::string_view headerBlock);

// The first line of a header block (without its CR LF).
std::string_view StatusLine(std::string_view headerBlock);

// True when the status line reads "HTTP/" version, a blank and a status code
// from 200 to 299 (followed by a blank or the end of the line).
bool IsSuccessStatus(std::string_view statusLine);

} // namespace ResponseHead

} // namespace ostrak

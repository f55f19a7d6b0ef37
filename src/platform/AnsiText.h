#pragma once
// Byte text as the user sees it. Names from the release list are bytes in the
// system's single-byte ANSI code page (Windows-1252 here); the window shows
// UTF-8.
#include <string>

namespace ostrak {

// The display form of bytes: kept as they are when they are valid UTF-8,
// else read as Windows-1252. Control characters (and bytes that
// Windows-1252 leaves undefined) become \xNN, and a backslash becomes "\\",
// so that no byte can change what the line shows.
std::string AnsiToDisplay(const std::string& bytes);

} // namespace ostrak

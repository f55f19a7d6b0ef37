#pragma once
// Names as the publisher's tool prints them in one-line messages.
#include <string>

namespace ostrak {

// The bytes of text, with control characters and backslashes shown as \xNN,
// so that a message about an odd name stays on one line.
std::string Printable(const std::string& text);

} // namespace ostrak

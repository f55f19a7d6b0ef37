#pragma once
// Text from outside (names, paths, list contents) as the publisher's tool
// prints it.
#include <string>

namespace ostrak {

// The bytes of text with every byte that is not printable ASCII (below 32,
// 127 and up) and every backslash shown as \xNN, so that a printed name
// stays on one line and cannot steer the terminal.
std::string Printable(const std::string& text);

} // namespace ostrak
